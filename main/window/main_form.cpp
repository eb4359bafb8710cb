#include "main/window/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QTextEdit>
#include <QUrl>
#include <algorithm>

#include "formathandlers/image/png_codec.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/rtf_writer.h"
#include "main/window/glyph_button.h"
#include "main/window/process_group.h"
#include "main/window/window_settings.h"
#include "misc/errors.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

constexpr int kClientWidth = 688;
constexpr int kClientHeight = 464;
constexpr int kToolBarHeight = 26;
constexpr int kLogListHeight = 189;
constexpr int kGroupHeight = 66;

QFont WindowFont() {
  if (QFontDatabase::families().contains("MS Sans Serif")) return QFont("MS Sans Serif", 8);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  return font;
}

// Qt's Fusion style with its button-face palette, so that the window looks the
// same on every desktop. Called before the window's controls are made.
void UseWindowStyle() {
  if (QApplication::style()->name().compare("fusion", Qt::CaseInsensitive) != 0)
    QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(QApplication::style()->standardPalette());
}

}  // namespace

TMainForm::TMainForm(WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
  UseWindowStyle();
  setWindowTitle("Tessary");
  setFixedSize(kClientWidth, kClientHeight);
  setFont(WindowFont());
  setAcceptDrops(true);
  BuildToolBar();
  LogList = new QListWidget(this);
  LogList->setGeometry(0, kToolBarHeight, kClientWidth, kLogListHeight);
  LogList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  LogList->setUniformItemSizes(true);
  LogList->setTextElideMode(Qt::ElideMiddle);  // long paths keep their file name
  LogList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(LogList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = QueueMenu();
    menu->exec(LogList->viewport()->mapToGlobal(at));
    menu->deleteLater();
  });
  Results = new QTextEdit(this);
  Results->setReadOnly(true);
  Results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Results->setGeometry(0, kToolBarHeight + kLogListHeight, kClientWidth,
                       kClientHeight - kToolBarHeight - kLogListHeight - kGroupHeight);
  // A focused list or pane shows it plainly, not by a faint tint.
  for (QWidget* pane : {static_cast<QWidget*>(LogList), static_cast<QWidget*>(Results)})
    pane->setStyleSheet(QString("%1:focus { border: 2px solid palette(highlight); }")
                            .arg(pane->metaObject()->className()));
  QueueHint = new QLabel("Drop files here or press Ctrl+O", LogList->viewport());
  QueueHint->setAlignment(Qt::AlignCenter);
  QueueHint->setGeometry(0, 0, kClientWidth, kLogListHeight - 4);
  QueueHint->setAttribute(Qt::WA_TransparentForMouseEvents);
  QueueHint->setStyleSheet("color: palette(mid);");
  OpenFolder = [](const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
  };
  BuildStatusGroup();
  BuildShortcuts();
  BuildImageHooks();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
}

// Creates the context; the add dialog's file type and the last output
// directory (the chooser opens there) come from the settings of earlier runs.
void TMainForm::FormCreate() {
  context_ = std::make_unique<ProcessContext>(*this, dialogs_);
  lastFileType_ = WindowSettings::AddFileType();
  for (const WindowOption& option : kWindowOptions)
    context_.get()->*option.member = WindowSettings::Option(option.key) && option.available();
  const QString output = WindowSettings::OutputDirectory();
  if (!output.isEmpty() && QDir(output).exists()) QDir::setCurrent(output);
  RefreshQueue();
}

// Frees the context (its lists and code table) before the controls go.
void TMainForm::FormDestroy() {
  context_.reset();
}

void TMainForm::BuildToolBar() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setGeometry(0, 0, kClientWidth, kToolBarHeight);
  ToolBar1->setStyleSheet("#ToolBar1 { border: 1px solid palette(mid); }");
  const auto button = [this](Glyph glyph, int x, void (TMainForm::*handler)()) {
    auto* b = new GlyphButton(glyph, ToolBar1);
    b->setGeometry(x + 2, 2, 23, 22);
    connect(b, &QToolButton::clicked, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    return b;
  };
  BAddLog = button(Glyph::AddFiles, 0, &TMainForm::BAddLogClick);
  BSaveList = button(Glyph::SaveList, 23, &TMainForm::BSaveListClick);
  BRemLog = button(Glyph::RemoveFiles, 46, &TMainForm::BRemLogClick);
  BProcess = button(Glyph::Process, 69, &TMainForm::BProcessClick);
  BExit = button(Glyph::Exit, 92, &TMainForm::BExitClick);
  BAddLog->setToolTip("Add files to the queue (Ctrl+O)");
  BSaveList->setToolTip("Save the queue as a project list (Ctrl+S)");
  BRemLog->setToolTip("Remove the selected files from the queue (Del)");
  BExit->setToolTip("Exit (Ctrl+Q)");
  // The free part of the tool bar says what Process will do.
  JobLabel = new QLabel(ToolBar1);
  JobLabel->setGeometry(128, 4, kClientWidth - 136, 18);
  SetQueueCommandsEnabled(false);
}

void TMainForm::BuildStatusGroup() {
  GroupBox1 = new ProcessGroup(" Process ", this);
  GroupBox1->setGeometry(0, kClientHeight - kGroupHeight, kClientWidth, kGroupHeight);
  CurrentMessage = new QLabel(GroupBox1);
  CurrentMessage->setGeometry(12, 16, 320, 13);
  Extracted = new QLabel("Extracted: 0", GroupBox1);
  Extracted->setGeometry(334, 14, 170, 15);
  SaveLog = new QPushButton("Save results", GroupBox1);
  SaveLog->setGeometry(506, 10, 105, 19);
  SaveLog->setEnabled(false);
  SaveLog->setToolTip("Save the result lines as a document");
  Stop = new QPushButton("Stop", GroupBox1);
  Stop->setGeometry(612, 10, 71, 19);
  Stop->setEnabled(false);
  Stop->setToolTip("Stop after the current file (Esc)");
  connect(SaveLog, &QPushButton::clicked, this, [this] { Guarded([this] { SaveLogClick(); }); });
  connect(Stop, &QPushButton::clicked, this, [this] { Guarded([this] { StopClick(); }); });
  SaveLog->installEventFilter(this);  // Enter presses a focused button
  Stop->installEventFilter(this);
  for (QProgressBar** bar : {&Progress, &Total}) {
    *bar = new QProgressBar(GroupBox1);
    (*bar)->setRange(0, 100);
    (*bar)->setValue(0);
    (*bar)->setTextVisible(false);  // words only while a batch runs
    (*bar)->setAlignment(Qt::AlignCenter);
  }
  Progress->setGeometry(12, 32, 671, 13);
  Progress->setToolTip("Progress of the current file");
  Total->setGeometry(12, 48, 671, 13);
  Total->setToolTip("Progress of the batch");
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    dialogs_.ShowError(WithFullStop(error.what()));
  }
}

void TMainForm::SetQueueCommandsEnabled(bool enabled) {
  BRemLog->setEnabled(enabled);
  BProcess->setEnabled(enabled);
  BSaveList->setEnabled(enabled);
}

void TMainForm::BSaveListClick() {
  if (const auto path = dialogs_.SaveProjectListAs())
    SaveProjectList(*path, context_->Queue, context_->RelativePaths);
}

// The queue commands are disabled while a batch runs, so the queue cannot
// change under the driver; a close request waits for the current file.
void TMainForm::BProcessClick() {
  RunLikeABatch([this] {
    outputNote_.clear();
    const BatchOutcome outcome = RunBatch(*context_, ErrorEcho::DialogAndResults);
    if (outcome != BatchOutcome::DirectoryCancelled && outcome != BatchOutcome::EmptyQueue) {
      WindowSettings::SetOutputDirectory(QString::fromStdString(context_->OutputDirectory));
      NoteOutputFolder();
    }
  });
}

void TMainForm::RunLikeABatch(const std::function<void()>& work) {
  if (batchRunning_) return;
  const auto setRunning = [this](bool running) {
    batchRunning_ = running;
    Progress->setTextVisible(false);  // until the batch moves a bar
    Total->setTextVisible(false);
    BAddLog->setEnabled(!running);
    SetQueueCommandsEnabled(!running && !context_->Queue.empty());
  };
  setRunning(true);
  try {
    work();
  } catch (...) {
    setRunning(false);
    throw;
  }
  setRunning(false);
  if (closeRequested_) close();
}

void TMainForm::SaveLogClick() {
  const auto path = dialogs_.SaveResultsAs();
  if (!path) return;
  const std::string rtf = ResultsToRtf(context_->Status.Results());
  SaveBytes(*path, {reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size()});
  dialogs_.ShowInformation(FileNameOf(*path), "Operation status");
  context_->Status.SetSaveLogEnabled(false);
}

void TMainForm::StopClick() {
  context_->RequestStop();
}

void TMainForm::BExitClick() {
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (batchRunning_) {
    closeRequested_ = true;
    context_->RequestStop();
    event->ignore();
    return;
  }
  event->accept();
}

void TMainForm::StatusTextChanged(const std::string& text) {
  CurrentMessage->setText(QString::fromStdString(text));
}

void TMainForm::ResultAppended(const std::string& line) {
  Results->append(QString::fromStdString(line).toHtmlEscaped());
  UpdateSaveLog();
}

void TMainForm::ResultsCleared() {
  Results->clear();
  UpdateSaveLog();
}

void TMainForm::ExtractedChanged(int, const std::string& caption) {
  Extracted->setText(QString::fromStdString(caption));
}

// A bar with maximum 0 (the Total bar of a one-file batch) is shown empty:
// Qt would draw a range of 0..0 as a busy animation that never ends.
void TMainForm::BarChanged(Bar bar, int maximum, int position) {
  QProgressBar* target = bar == Bar::Progress ? Progress : Total;
  target->setMaximum(std::max(maximum, 1));
  target->setValue(maximum > 0 ? position : 0);
  // Words on the bars while a batch runs: a percentage, "File 2 of 5".
  target->setTextVisible(batchRunning_);
  if (bar != Bar::Total) {
    Progress->setFormat("%p%");
    return;
  }
  const bool logs = context_ && IsLogQueue(context_->FormatIndex);
  const QString files =
      QString("File %1 of %2").arg(std::min(position + 1, maximum + 1)).arg(maximum + 1);
  Total->setFormat(logs ? QString("%p%") : files);
  Total->setToolTip(logs && batchRunning_ ? QString("Progress through the result log") : files);
}

void TMainForm::StopEnabledChanged(bool enabled) {
  Stop->setEnabled(enabled);
}

void TMainForm::SaveLogEnabledChanged(bool enabled) {
  saveLogWanted_ = enabled;
  UpdateSaveLog();
}

// "Save results" only when there are results to save.
void TMainForm::UpdateSaveLog() {
  SaveLog->setEnabled(saveLogWanted_ && context_ && !context_->Status.Results().empty());
}

void TMainForm::FocusResults() {
  Results->setFocus();
}

void TMainForm::PumpEvents() {
  QCoreApplication::processEvents();
}

}  // namespace tessary
