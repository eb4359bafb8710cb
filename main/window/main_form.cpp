#include "main/window/main_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/rtf_writer.h"
#include "main/window/glyphs.h"
#include "misc/byte_buffer.h"
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

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont WindowFont() {
  if (QFontDatabase::families().contains("MS Sans Serif")) return QFont("MS Sans Serif", 8);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  return font;
}

}  // namespace

TMainForm::TMainForm(WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
  setWindowTitle("Tessary");
  setFixedSize(kClientWidth, kClientHeight);
  setFont(WindowFont());
  BuildToolBar();
  LogList = new QListWidget(this);
  LogList->setGeometry(0, kToolBarHeight, kClientWidth, kLogListHeight);
  LogList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  LogList->setUniformItemSizes(true);
  Results = new QTextEdit(this);
  Results->setReadOnly(true);
  Results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Results->setGeometry(0, kToolBarHeight + kLogListHeight, kClientWidth,
                       kClientHeight - kToolBarHeight - kLogListHeight - kGroupHeight);
  BuildStatusGroup();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
}

void TMainForm::FormCreate() {
  context_ = std::make_unique<ProcessContext>(*this, dialogs_);
}

void TMainForm::FormDestroy() {
  context_.reset();
}

void TMainForm::BuildToolBar() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setGeometry(0, 0, kClientWidth, kToolBarHeight);
  ToolBar1->setStyleSheet("#ToolBar1 { border: 1px solid palette(mid); }");
  const auto button = [this](Glyph glyph, int x, const char* tip, void (TMainForm::*handler)()) {
    auto* b = new QToolButton(ToolBar1);
    b->setIcon(GlyphIcon(glyph));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setToolTip(tip);
    b->setGeometry(x + 2, 2, 23, 22);
    connect(b, &QToolButton::clicked, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    return b;
  };
  BAddLog = button(Glyph::AddFiles, 0, "Add files to the queue", &TMainForm::BAddLogClick);
  BSaveList =
      button(Glyph::SaveList, 23, "Save the queue as a project list", &TMainForm::BSaveListClick);
  BRemLog = button(Glyph::RemoveFiles, 46, "Remove the selected files", &TMainForm::BRemLogClick);
  BProcess = button(Glyph::Process, 69, "Process the queue", &TMainForm::BProcessClick);
  BExit = button(Glyph::Exit, 92, "Exit", &TMainForm::BExitClick);
  SetQueueCommandsEnabled(false);
}

void TMainForm::BuildStatusGroup() {
  GroupBox1 = new QGroupBox(" Process ", this);
  GroupBox1->setGeometry(0, kClientHeight - kGroupHeight, kClientWidth, kGroupHeight);
  CurrentMessage = new QLabel(GroupBox1);
  CurrentMessage->setGeometry(12, 16, 320, 13);
  Extracted = new QLabel("Extracted: 0", GroupBox1);
  Extracted->setGeometry(334, 14, 170, 15);
  SaveLog = new QPushButton("Save results", GroupBox1);
  SaveLog->setGeometry(506, 10, 105, 19);
  SaveLog->setFlat(true);
  SaveLog->setEnabled(false);
  Stop = new QPushButton("Stop", GroupBox1);
  Stop->setGeometry(612, 10, 71, 19);
  Stop->setFlat(true);
  Stop->setEnabled(false);
  connect(SaveLog, &QPushButton::clicked, this, [this] { Guarded([this] { SaveLogClick(); }); });
  connect(Stop, &QPushButton::clicked, this, [this] { Guarded([this] { StopClick(); }); });
  for (QProgressBar** bar : {&Progress, &Total}) {
    *bar = new QProgressBar(GroupBox1);
    (*bar)->setRange(0, 100);
    (*bar)->setValue(0);
    (*bar)->setTextVisible(false);
  }
  Progress->setGeometry(12, 32, 671, 13);
  Total->setGeometry(12, 48, 671, 13);
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

void TMainForm::RefreshQueue() {
  LogList->clear();
  for (const auto& path : context_->Queue) LogList->addItem(Q(path));
}

void TMainForm::BAddLogClick() {
  const bool wasEnabled = BProcess->isEnabled();
  SetQueueCommandsEnabled(false);
  std::optional<FileChoice> choice;
  try {
    choice = dialogs_.SelectFiles(lastFileType_);
    if (choice) AddFilesToQueue(*context_, choice->fileType, choice->files);
  } catch (...) {
    SetQueueCommandsEnabled(wasEnabled);
    throw;
  }
  if (!choice) {
    SetQueueCommandsEnabled(wasEnabled);  // a cancel changes nothing
    return;
  }
  lastFileType_ = choice->fileType;
  RefreshQueue();
  SetQueueCommandsEnabled(true);
}

void TMainForm::BRemLogClick() {
  std::vector<std::size_t> selected;
  for (int row = 0; row < LogList->count(); ++row) {
    if (LogList->item(row)->isSelected()) selected.push_back(static_cast<std::size_t>(row));
  }
  RemoveFromQueue(*context_, selected);
  RefreshQueue();
  if (LogList->count() > 0) {
    LogList->setCurrentRow(LogList->count() - 1, QItemSelectionModel::NoUpdate);
  } else {
    SetQueueCommandsEnabled(false);
    LogList->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
  }
}

void TMainForm::BSaveListClick() {
  if (const auto path = dialogs_.SaveProjectListAs()) SaveProjectList(*path, context_->Queue);
}

// The queue commands are disabled while a batch runs, so the queue cannot
// change under the driver; a close request waits for the current file.
void TMainForm::BProcessClick() {
  if (batchRunning_) return;
  batchRunning_ = true;
  BAddLog->setEnabled(false);
  SetQueueCommandsEnabled(false);
  RunBatch(*context_);
  batchRunning_ = false;
  BAddLog->setEnabled(true);
  SetQueueCommandsEnabled(!context_->Queue.empty());
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
  CurrentMessage->setText(Q(text));
}

void TMainForm::ResultAppended(const std::string& line) {
  Results->append(Q(line).toHtmlEscaped());
}

void TMainForm::ResultsCleared() {
  Results->clear();
}

void TMainForm::ExtractedChanged(int, const std::string& caption) {
  Extracted->setText(Q(caption));
}

// A bar with maximum 0 (the Total bar of a one-file batch) is shown empty:
// Qt would draw a range of 0..0 as a busy animation that never ends.
void TMainForm::BarChanged(Bar bar, int maximum, int position) {
  QProgressBar* target = bar == Bar::Progress ? Progress : Total;
  target->setMaximum(std::max(maximum, 1));
  target->setValue(maximum > 0 ? position : 0);
}

void TMainForm::StopEnabledChanged(bool enabled) {
  Stop->setEnabled(enabled);
}

void TMainForm::SaveLogEnabledChanged(bool enabled) {
  SaveLog->setEnabled(enabled);
}

void TMainForm::FocusResults() {
  Results->setFocus();
}

void TMainForm::PumpEvents() {
  QCoreApplication::processEvents();
}

}  // namespace tessary
