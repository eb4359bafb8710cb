#include "main/window/main_form.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextEdit>
#include <algorithm>

#include "formathandlers/image/png_codec.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/rtf_writer.h"
#include "main/window/glyph_button.h"
#include "main/window/process_group.h"
#include "main/window/tim_result_lines.h"
#include "main/window/tim_thumbnails.h"
#include "main/window/tim_viewer.h"
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
  for (QProgressBar** bar : {&Progress, &Total}) {
    *bar = new QProgressBar(GroupBox1);
    (*bar)->setRange(0, 100);
    (*bar)->setValue(0);
    (*bar)->setTextVisible(false);
  }
  Progress->setGeometry(12, 32, 671, 13);
  Progress->setToolTip("Progress of the current file");
  Total->setGeometry(12, 48, 671, 13);
  Total->setToolTip("Progress of the batch");
}

void TMainForm::BuildImageHooks() {
  connect(LogList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const std::string& path = context_->Queue.at(static_cast<std::size_t>(LogList->row(item)));
    if (IsQueuedTim(*context_, path)) OpenTimViewer(path);
  });
  Results->viewport()->installEventFilter(this);
  Results->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Results, &QTextEdit::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = ResultsMenu(at);
    menu->exec(Results->viewport()->mapToGlobal(at));
    menu->deleteLater();
  });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Results->viewport() || event->type() != QEvent::MouseButtonDblClick)
    return QWidget::eventFilter(watched, event);
  return OpenResultLine(ResultLineAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
}

// The result line under a point of the viewport; empty below the last line.
std::string TMainForm::ResultLineAt(const QPoint& at) const {
  const QTextBlock block = Results->cursorForPosition(at).block();
  const QRectF bounds = Results->document()->documentLayout()->blockBoundingRect(block).translated(
      0, -Results->verticalScrollBar()->value());
  return bounds.top() <= at.y() && at.y() < bounds.bottom() ? block.text().toStdString() : "";
}

TimViewer* TMainForm::OpenTimViewer(const std::string& path) {
  auto* viewer = new TimViewer(path, this);
  viewer->show();
  viewer->raise();
  return viewer;
}

TimThumbnails* TMainForm::BrowseFoundImages() {
  auto* grid = new TimThumbnails(FoundImages(*context_), this);
  grid->show();
  grid->raise();
  return grid;
}

bool TMainForm::OpenResultLine(const std::string& line) {
  if (IsFoundCountLine(line) && !FoundImages(*context_).empty()) {
    BrowseFoundImages();
    return true;
  }
  const auto tim = TimOfResultLine(*context_, line);
  if (tim) OpenTimViewer(*tim);
  return tim.has_value();
}

// The text edit's own commands, then the image viewer of the line under the
// pointer and the grid of the last search's images.
QMenu* TMainForm::ResultsMenu(const QPoint& at) {
  QMenu* menu = Results->createStandardContextMenu(at);
  menu->addSeparator();
  const auto tim = TimOfResultLine(*context_, ResultLineAt(at));
  QAction* view = menu->addAction("View image");
  view->setEnabled(tim.has_value());
  connect(view, &QAction::triggered, this, [this, tim] { OpenTimViewer(*tim); });
  QAction* browse = menu->addAction("Browse found images");
  browse->setEnabled(!FoundImages(*context_).empty());
  connect(browse, &QAction::triggered, this, [this] { BrowseFoundImages(); });
  return menu;
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

// The queue's entries (each with its full path as tooltip), and the operation
// the queue will get, in the tooltips of the queue and of Process.
void TMainForm::RefreshQueue() {
  LogList->clear();
  for (const auto& path : context_->Queue) {
    auto* item = new QListWidgetItem(QString::fromStdString(path), LogList);
    item->setToolTip(QString::fromStdString(path));
  }
  const std::string operation = OperationText(context_->FormatIndex, context_->Queue.size());
  LogList->setToolTip(QString::fromStdString(operation));
  BProcess->setToolTip(QString::fromStdString(operation.empty() ? "Process the queue" : operation) +
                       " (F5)");
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
  WindowSettings::SetAddFileType(lastFileType_);
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
  RunLikeABatch([this] {
    const BatchOutcome outcome = RunBatch(*context_);
    if (outcome != BatchOutcome::DirectoryCancelled && outcome != BatchOutcome::EmptyQueue)
      WindowSettings::SetOutputDirectory(QString::fromStdString(context_->OutputDirectory));
  });
}

void TMainForm::RunLikeABatch(const std::function<void()>& work) {
  if (batchRunning_) return;
  const auto setRunning = [this](bool running) {
    batchRunning_ = running;
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
}

void TMainForm::ResultsCleared() {
  Results->clear();
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
  if (bar != Bar::Total) return;
  const bool logs = context_ && IsLogQueue(context_->FormatIndex);
  if (logs && batchRunning_)
    Total->setToolTip("Progress through the result log");
  else
    Total->setToolTip(
        QString("File %1 of %2").arg(std::min(position + 1, maximum + 1)).arg(maximum + 1));
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
