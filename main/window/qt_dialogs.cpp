#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
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
        const auto answer = QMessageBox::question(
            this, "Confirm", "The specified directory does not exist. Create it?");
        if (answer != QMessageBox::Yes) return;
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
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  if (folder) WindowSettings::SetFolder(*folder, dialog.directory().absolutePath());
  return S(dialog.selectedFiles().front());
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
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  WindowSettings::SetFolder(DialogFolder::Add, dialog.directory().absolutePath());
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
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return S(dialog.selectedFiles().front());
}

std::optional<std::string> QtDialogs::ChooseCodeTable() {
  const QString file = QFileDialog::getOpenFileName(
      owner_, "Select code table...", WindowSettings::Folder(DialogFolder::CodeTable),
      "Code Tables (*.tbl);;Text tables (*.txt);;All files (*)");
  if (file.isEmpty()) return std::nullopt;
  WindowSettings::SetFolder(DialogFolder::CodeTable, QFileInfo(file).absolutePath());
  return S(file);
}

void QtDialogs::ShowInformation(const std::string& text, const std::string& caption) {
  QMessageBox::information(owner_, QString::fromStdString(caption), QString::fromStdString(text));
}

// A long list of problems (a plan of logs that found many) goes behind the
// box's details, which scroll; its first line says what happened.
void QtDialogs::ShowError(const std::string& text) {
  constexpr auto kLinesShown = 12;
  if (std::count(text.begin(), text.end(), '\n') < kLinesShown) {
    QMessageBox::critical(owner_, "Tessary", QString::fromStdString(text));
    return;
  }
  const std::size_t newline = text.find('\n');
  QMessageBox box(QMessageBox::Critical, "Tessary", QString::fromStdString(text.substr(0, newline)),
                  QMessageBox::Ok, owner_);
  box.setDetailedText(QString::fromStdString(text.substr(newline + 1)));
  box.exec();
}

}  // namespace tessary
