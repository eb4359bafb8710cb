#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "main/format_registry.h"
#include "main/window/window_dialogs.h"
#include "main/window/window_settings.h"
#include "misc/paths.h"

namespace tessary {

namespace {

std::string S(const QString& text) {
  return QDir::toNativeSeparators(text).toUtf8().toStdString();
}

// Room for the columns of a file dialog (name, size, type, date) without
// cutting them; only Qt's own dialog takes it, a desktop's dialog sizes itself.
constexpr QSize kFileDialogSize(900, 550);
// A window manager's title bar holds the icon and up to three buttons beside
// the title, each about two lines of its font wide.
constexpr int kTitleBarExtraLines = 8;

// Gives the owner's window the activation and its focus widget back once a
// dialog it opened has closed. When the focused window closes, the window
// manager falls back to another; when two close at once (the question box,
// then the directory chooser it was asked over), it may pick none and leave
// the main window inactive, its shortcuts (Esc to stop) dead until clicked.
class FocusReturn final {
 public:
  explicit FocusReturn(QWidget* owner)
      : window_(owner != nullptr ? owner->window() : nullptr),
        focus_(window_ != nullptr ? window_->focusWidget() : nullptr) {}
  ~FocusReturn() {
    if (window_ == nullptr || !window_->isVisible()) return;
    window_->raise();
    window_->activateWindow();
    if (focus_ != nullptr) focus_->setFocus(Qt::ActiveWindowFocusReason);
  }
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;

 private:
  QPointer<QWidget> window_, focus_;
};

// Runs a dialog modally; its owner is active again afterwards.
int RunModal(QDialog& dialog) {
  const FocusReturn focusReturn(dialog.parentWidget());
  return dialog.exec();
}

// Qt's own file dialog opens at a size that cuts its columns.
void SizeForColumns(QFileDialog& dialog) {
  QSize size = dialog.sizeHint().expandedTo(kFileDialogSize);
  if (const QScreen* screen = dialog.screen()) size = size.boundedTo(screen->availableSize());
  dialog.resize(size);
}

// A message box sizes itself for its text; a short text under a longer title
// leaves the title cut in the title bar ("O... us"). A spacer row widens the
// box to the title in the bold face title bars use, plus the bar's buttons.
int RunMessageBox(QMessageBox& box) {
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const QFontMetrics metrics(titleFont);
  const int width =
      metrics.horizontalAdvance(box.windowTitle()) + kTitleBarExtraLines * metrics.height();
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(width, 0), grid->rowCount(), 0, 1, grid->columnCount());
  return RunModal(box);
}

// Accepts a typed directory that does not exist after asking, and creates it
// together with its parents; "no" keeps the dialog open.
class DirectoryChooser final : public QFileDialog {
 public:
  DirectoryChooser(QWidget* owner, const QString& start)
      : QFileDialog(owner, "Select Directory", start) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setOption(QFileDialog::DontUseNativeDialog);
  }

 protected:
  void accept() override {
    const QStringList chosen = selectedFiles();
    if (!chosen.isEmpty()) {
      const std::filesystem::path path = NativePath(chosen.front().toUtf8().toStdString());
      std::error_code error;
      if (!std::filesystem::exists(path, error)) {
        QMessageBox question(QMessageBox::Question, "Confirm",
                             "The specified directory does not exist. Create it?",
                             QMessageBox::Yes | QMessageBox::No, this);
        if (RunMessageBox(question) != QMessageBox::Yes) return;
        std::filesystem::create_directories(path, error);
      }
    }
    QFileDialog::accept();
  }
};

// A save dialog; the default extension follows the chosen filter ("txt" for
// "Text files (*.txt)"). With `folder`, it opens in that remembered folder and
// a choice remembers the chosen file's folder.
std::optional<std::string> SaveAs(QWidget* owner, const QString& title, const QStringList& filters,
                                  std::optional<DialogFolder> folder) {
  QFileDialog dialog(owner, title, folder ? WindowSettings::Folder(*folder) : QString());
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  const auto suffixOf = [](const QString& filter) {
    const auto star = filter.lastIndexOf("*.");
    return star < 0 ? QString() : filter.mid(star + 2).chopped(1);
  };
  dialog.setDefaultSuffix(suffixOf(filters.front()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
  SizeForColumns(dialog);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  const QString file = dialog.selectedFiles().front();
  if (folder) WindowSettings::SetFolder(*folder, QFileInfo(file).absolutePath());
  return S(file);
}

}  // namespace

QStringList FileTypeFilters() {
  QStringList filters;
  for (const FormatRow& row : FormatRegistry())
    filters << QString::fromLatin1(row.filterText.data(),
                                   static_cast<qsizetype>(row.filterText.size()));
  return filters;
}

std::optional<FileChoice> QtDialogs::SelectFiles(FileType fileType) {
  const QStringList filters = FileTypeFilters();
  QFileDialog dialog(owner_, "Select file...", WindowSettings::Folder(DialogFolder::Add));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(PositionOf(fileType), filters.front()));
  SizeForColumns(dialog);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  // The folder of the file chosen: a full path typed from another folder
  // leaves the dialog showing the folder it started in.
  WindowSettings::SetFolder(DialogFolder::Add,
                            QFileInfo(dialog.selectedFiles().front()).absolutePath());
  FileChoice choice;
  choice.fileType = FileTypeAt(static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
  for (const QString& file : dialog.selectedFiles()) choice.files.push_back(S(file));
  return choice;
}

std::optional<std::string> QtDialogs::SaveProjectListAs() {
  return SaveAs(owner_, "Select file...", {"Project list files (*.lst)"},
                DialogFolder::ProjectList);
}

std::optional<std::string> QtDialogs::SaveResultsAs() {
  return SaveAs(owner_, "Select target...", {"Text files (*.txt)", "Rich Text (*.rtf)"},
                std::nullopt);
}

std::optional<std::string> QtDialogs::ChooseDirectory(const std::string& start) {
  DirectoryChooser dialog(owner_, QString::fromStdString(start));
  SizeForColumns(dialog);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return S(dialog.selectedFiles().front());
}

std::optional<std::string> QtDialogs::ChooseCodeTable() {
  QFileDialog dialog(owner_, "Select code table...",
                     WindowSettings::Folder(DialogFolder::CodeTable),
                     "Code Tables (*.tbl);;Text tables (*.txt);;All files (*)");
  dialog.setFileMode(QFileDialog::ExistingFile);
  SizeForColumns(dialog);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  const QString file = dialog.selectedFiles().front();
  WindowSettings::SetFolder(DialogFolder::CodeTable, QFileInfo(file).absolutePath());
  return S(file);
}

void QtDialogs::ShowInformation(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Information, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, owner_);
  RunMessageBox(box);
}

// A long list of problems (a plan of logs that found many) goes behind the
// box's details, which scroll; its first line says what happened.
void QtDialogs::ShowError(const std::string& text) {
  constexpr auto kLinesShown = 12;
  const bool shortText = std::count(text.begin(), text.end(), '\n') < kLinesShown;
  const std::size_t newline = shortText ? std::string::npos : text.find('\n');
  QMessageBox box(QMessageBox::Critical, "Tessary", QString::fromStdString(text.substr(0, newline)),
                  QMessageBox::Ok, owner_);
  if (!shortText) box.setDetailedText(QString::fromStdString(text.substr(newline + 1)));
  RunMessageBox(box);
}

}  // namespace tessary
