// The real main window driven through scripted dialogs (QT_QPA_PLATFORM=offscreen).
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest/QtTest>
#include <deque>
#include <filesystem>

#include "main/format_registry.h"
#include "main/window/main_form.h"
#include "main/window/process_group.h"
#include "main/window/window_settings.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {

class ScriptedDialogs final : public WindowDialogs {
 public:
  std::optional<FileChoice> SelectFiles(FileType fileType) override {
    selectStarts.push_back(fileType);
    return Next(selections);
  }
  std::optional<std::string> SaveProjectListAs() override { return Next(saveNames); }
  std::optional<std::string> SaveResultsAs() override { return Next(saveNames); }
  std::optional<std::string> ChooseDirectory(const std::string&) override {
    return Next(directories);
  }
  std::optional<std::string> ChooseCodeTable() override { return std::nullopt; }
  void ShowInformation(const std::string& text, const std::string& caption) override {
    informations.push_back(caption + "|" + text);
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  template <typename T>
  static std::optional<T> Next(std::deque<std::optional<T>>& replies) {
    if (replies.empty()) return std::nullopt;
    auto reply = replies.front();
    replies.pop_front();
    return reply;
  }

  std::deque<std::optional<FileChoice>> selections;
  std::deque<std::optional<std::string>> saveNames, directories;
  std::vector<FileType> selectStarts;
  std::vector<std::string> informations, errors;
};

class MainFormTest final : public QObject {
  Q_OBJECT

 private:
  testing::TempDir settingsDir_;
  static void Activate(TMainForm& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
  }
  static QStringList Queue(const TMainForm& form) {
    QStringList items;
    for (int i = 0; i < form.LogList->count(); ++i) items << form.LogList->item(i)->text();
    return items;
  }
  static bool QueueCommandsEnabled(const TMainForm& form) {
    return form.BRemLog->isEnabled() && form.BProcess->isEnabled() && form.BSaveList->isEnabled();
  }

 private slots:
  // Settings go to a folder of their own, emptied before every test.
  void initTestCase() {
    QCoreApplication::setOrganizationName("TessaryTests");
    QCoreApplication::setApplicationName("WindowTests");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.Path()));
  }
  void init() { QSettings().clear(); }

  void FixedClientSizeAndGeometry() {
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    QCOMPARE(form.size(), QSize(688, 464));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.windowTitle(), QString("Tessary"));
    QCOMPARE(form.LogList->geometry(), QRect(0, 26, 688, 189));
    QCOMPARE(form.Results->geometry(), QRect(0, 215, 688, 183));
    QCOMPARE(form.GroupBox1->geometry(), QRect(0, 398, 688, 66));
    QCOMPARE(form.GroupBox1->title(), QString(" Process "));
    QCOMPARE(form.SaveLog->geometry(), QRect(506, 10, 105, 19));
    QCOMPARE(form.Stop->geometry(), QRect(612, 10, 71, 19));
    QCOMPARE(form.Progress->geometry(), QRect(12, 32, 671, 13));
    QCOMPARE(form.Total->geometry(), QRect(12, 48, 671, 13));
    QCOMPARE(form.Extracted->text(), QString("Extracted: 0"));
    QVERIFY(form.BAddLog->isEnabled() && form.BExit->isEnabled());
    QVERIFY(!form.BRemLog->isEnabled() && !form.BProcess->isEnabled() &&
            !form.BSaveList->isEnabled());
    QVERIFY(!form.Stop->isEnabled() && !form.SaveLog->isEnabled());
  }

  void FiltersComeFromTheRegistryAndAnEmptyTotalBarIsNotBusy() {
    QCOMPARE(FileTypeFilters(),
             QStringList({"Grimhold 3 data (*.dat)", "TIM Image (*.tim)", "TIM Search in.. (*.*)",
                          "Resource files (*.res)", "Project list files (*.lst)",
                          "Log files (*.log)", "ARD PS-X Files (*.ard)", "RDT PC Files (*.rdt)"}));
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    form.BarChanged(Bar::Total, 0, 0);                       // a one-file batch
    QVERIFY(form.Total->maximum() > form.Total->minimum());  // 0..0 would animate for ever
    QCOMPARE(form.Total->value(), 0);
    form.BarChanged(Bar::Total, 4, 2);
    QCOMPARE(form.Total->maximum(), 4);
    QCOMPARE(form.Total->value(), 2);
  }

  // The group's frame line runs clear of every control, and of its title.
  void NoControlCrossesTheGroupFrame() {
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    const QRect frame = form.GroupBox1->FrameRect();
    const QRect inside = frame.adjusted(1, 1, -1, -1);
    const auto children = form.GroupBox1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(children.size(), 6);
    for (const QWidget* child : children) {
      QVERIFY2(inside.contains(child->geometry()), qPrintable(child->metaObject()->className()));
      QVERIFY(!child->geometry().intersects(form.GroupBox1->TitleRect()));
    }
    const QRect title = form.GroupBox1->TitleRect();
    QVERIFY(title.top() < frame.top() && title.bottom() > frame.top());  // on the line
    QVERIFY(!form.SaveLog->isFlat() && !form.Stop->isFlat());
    QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
  }

  void ShortcutsActAsTheirButtons() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    Activate(form);
    dialogs.selections = {FileChoice{{"/a", "/b", "/c"}, FileType::Stim}};
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(Queue(form), QStringList({"/a", "/b", "/c"}));
    form.LogList->item(1)->setSelected(true);
    QTest::keyClick(&form, Qt::Key_Delete);
    QCOMPARE(Queue(form), QStringList({"/a", "/c"}));
    dialogs.saveNames = {dir.File("q.lst")};
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(std::filesystem::exists(dir.File("q.lst")));

    int files = 0;
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, Format, const std::string&) {
      ++files;
      ctx.Status.SetStopEnabled(true);
      QTest::keyClick(&form, Qt::Key_Escape);  // Stop, during the batch
    };
    dialogs.directories = {dir.Path()};
    QTest::keyClick(&form, Qt::Key_F5);
    QCOMPARE(files, 1);
    QCOMPARE(form.Context().Status.Results(), std::vector<std::string>{"Stopped by user."});

    form.BProcess->setFocus();  // Enter clicks the focused tool button
    dialogs.directories = {dir.Path()};
    form.Context().ProcessFileCallback = [&](ProcessContext&, Format, const std::string&) {
      ++files;
    };
    QTest::keyClick(form.BProcess, Qt::Key_Return);
    QCOMPARE(files, 3);
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form.isVisible());
  }

  void DroppedFilesJoinTheQueueByTheFirstOnesType() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    testing::WriteFile(dir.File("ROOM.DAT"), std::string("x"));
    testing::WriteFile(dir.File("icon.tim"), std::string("x"));
    testing::WriteFile(dir.File("list.lst"), std::string("/r1.log\r\n/r2.log\r\n"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("ROOM.DAT"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.File("icon.tim"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.SubDir("folder")))});
    form.show();
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    // The first file's type decides; a name its filter does not take is refused.
    QCOMPARE(Queue(form), QStringList({QString::fromStdString(dir.File("ROOM.DAT"))}));
    QCOMPARE(form.BProcess->toolTip(), QString("Unpack 1 archive (F5)"));
    QCOMPARE(form.JobLabel->text(), QString("Unpack 1 archive"));
    QCOMPARE(dialogs.errors,
             (std::vector<std::string>{
                 "Folders cannot be queued: folder.",
                 "Not queued, since they are not Grimhold 3 data (*.dat): icon.tim."}));
    QVERIFY(QueueCommandsEnabled(form));
    QCOMPARE(form.LogList->item(0)->toolTip(), QString::fromStdString(dir.File("ROOM.DAT")));

    form.DropFiles({dir.File("list.lst")});  // a project list replaces the queue
    QCOMPARE(Queue(form), QStringList({"/r1.log", "/r2.log"}));
    form.DropFiles({dir.File("icon.tim")});  // another type empties the queue first
    QCOMPARE(Queue(form), QStringList({QString::fromStdString(dir.File("icon.tim"))}));
  }

  void TheProcessTooltipNamesTheOperation() {
    testing::TempDir dir;
    testing::WriteFile(dir.File("p.lst"), std::string("a.log\r\nb.log\r\n"));
    const QStringList expected = {
        "Unpack 2 archives (F5)",
        "Convert 2 TIM images to bitmaps (F5)",
        "Search 2 files for TIM images (F5)",
        "Extract the text sections of 2 descriptions (F5)",
        "Apply 2 result logs of the project list (F5)",
        "Apply 2 result logs (F5)",
        "Extract the strings of 2 ARD files (F5)",
        "Extract the strings of 2 RDT files (F5)",
    };
    const char* extensions[] = {".dat", ".tim", "", ".res", ".lst", ".log", ".ard", ".rdt"};
    for (int type = 1; type <= 8; ++type) {
      ScriptedDialogs dialogs;
      TMainForm form(dialogs);
      const std::string second = std::string("/second") + extensions[type - 1];
      const std::string first = type == 5 ? dir.File("p.lst") : "/first" + second.substr(7);
      dialogs.selections = {FileChoice{{first, second}, FileTypeAt(type - 1)}};
      form.BAddLog->click();
      QCOMPARE(form.BProcess->toolTip(), expected[type - 1]);
      QCOMPARE(form.LogList->toolTip() + " (F5)", expected[type - 1]);
    }
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/one.log"}, FileType::Log}};
    form.BAddLog->click();
    QCOMPARE(form.BProcess->toolTip(), QString("Apply 1 result log (F5)"));
  }

  void SettingsAreRememberedBetweenRuns() {
    testing::TempDir dir;
    {
      ScriptedDialogs dialogs;
      TMainForm form(dialogs);
      dialogs.selections = {FileChoice{{"/a.bin"}, FileType::Stim}};
      dialogs.directories = {dir.SubDir("out")};
      form.BAddLog->click();
      form.Context().ProcessFileCallback = [](ProcessContext&, Format, const std::string&) {};
      form.BProcess->click();
    }
    QCOMPARE(WindowSettings::AddFileType(), FileType::Stim);
    QVERIFY(!WindowSettings::Option("options/keepStp"));
    QCOMPARE(WindowSettings::OutputDirectory(), QString::fromStdString(dir.File("out")));
    std::filesystem::current_path(dir.Path());
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);  // the next run
    form.BAddLog->click();
    QCOMPARE(dialogs.selectStarts, std::vector<FileType>{FileType::Stim});
    QMenu* menu = form.QueueMenu();
    QCOMPARE(menu->actions()[4]->text(), QString("Keep STP bits of unchanged 16-bit pixels"));
    menu->actions()[4]->trigger();  // the addition, chosen, holds for this run and the next
    QVERIFY(form.Context().KeepStp && WindowSettings::Option("options/keepStp"));
    QVERIFY(!form.Context().BitmapsAsPng);
    QVERIFY(std::filesystem::equivalent(std::filesystem::current_path(), dir.File("out")));
  }

  void TheQueueMenuChecksInsertionOrVerifiesTheRoundTrip() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    std::string scan(40, '\x5A');
    scan += std::string(4, '\0');
    const auto tim = testing::BuildTim({.mode = 2, .clutEntries = 0, .width = 1, .height = 1});
    scan.append(tim.begin(), tim.end());
    testing::WriteFile(dir.File("GAME.BIN"), scan);
    dialogs.selections = {FileChoice{{dir.File("GAME.BIN")}, FileType::Stim}};
    form.BAddLog->click();
    QMenu* menu = form.QueueMenu();
    QCOMPARE(menu->actions().front()->text(), QString("Verify round trip"));
    dialogs.directories = {dir.SubDir("check")};
    menu->actions().front()->trigger();
    QCOMPARE(form.Results->toPlainText(), QString("GAME.BIN: identical."));
    QCOMPARE(QString::fromStdString(dialogs.informations.back()),
             QString("Verify round trip|Every file round-trips."));

    dialogs.directories = {dir.SubDir("out")};
    form.BProcess->click();  // extract, to have a log
    dialogs.selections = {FileChoice{{dir.File("out/result.log")}, FileType::Log}};
    form.BAddLog->click();
    QCOMPARE(form.QueueMenu()->actions().front()->text(),
             QString("Check insertion (nothing is written)"));
    dialogs.directories = {dir.File("nowhere")};
    form.CheckInsertionClick();
    QCOMPARE(form.Results->toPlainText(), QString("GAME_0.tim inserted. (dry run)"));
    QCOMPARE(QString::fromStdString(testing::ReadFile(dir.File("GAME.BIN"))),
             QString::fromStdString(scan));
    QVERIFY(!form.Context().DryRun);
  }

  void AddingRemovingAndCancelling() {
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/a.dat", "/b.dat"}, FileType::Grm},
                          FileChoice{{"/a.dat"}, FileType::Grm},
                          FileChoice{{"/x.tim"}, FileType::Tim}, std::nullopt};
    form.BAddLog->click();
    form.BAddLog->click();  // the same file again is appended again
    QCOMPARE(Queue(form), QStringList({"/a.dat", "/b.dat", "/a.dat"}));
    QVERIFY(QueueCommandsEnabled(form));
    form.BAddLog->click();  // another file type empties the queue first
    QCOMPARE(Queue(form), QStringList({"/x.tim"}));
    form.BAddLog->click();  // cancelled: the commands return to their states
    QCOMPARE(Queue(form), QStringList({"/x.tim"}));
    QVERIFY(QueueCommandsEnabled(form));
    QCOMPARE(dialogs.selectStarts.back(), FileType::Tim);  // the last file type is remembered

    dialogs.selections = {FileChoice{{"/1.tim", "/2.tim", "/3.tim", "/4.tim"}, FileType::Tim}};
    form.BAddLog->click();
    form.LogList->item(1)->setSelected(true);
    form.LogList->item(2)->setSelected(true);
    form.BRemLog->click();  // two adjacent selected entries
    QCOMPARE(Queue(form), QStringList({"/x.tim", "/3.tim", "/4.tim"}));
    QCOMPARE(form.LogList->currentRow(), 2);
    QVERIFY(form.LogList->selectedItems().isEmpty());
    form.LogList->selectAll();
    form.BRemLog->click();
    QCOMPARE(form.LogList->count(), 0);
    QVERIFY(!form.BRemLog->isEnabled() && !form.BProcess->isEnabled() &&
            !form.BSaveList->isEnabled());
  }

  void ProjectListsRoundTrip() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/r1.log", "/r 2.log", "/r1.log"}, FileType::Log}};
    form.BAddLog->click();
    dialogs.saveNames = {dir.File("p.lst")};
    form.BSaveList->click();
    dialogs.selections = {FileChoice{{dir.File("p.lst")}, FileType::ProjectList}};
    form.BAddLog->click();
    QCOMPARE(Queue(form), QStringList({"/r1.log", "/r 2.log", "/r1.log"}));
    QCOMPARE(QString::fromStdString(testing::ReadFile(dir.File("p.lst"))),
             QString("/r1.log\r\n/r 2.log\r\n/r1.log\r\n"));

    dialogs.selections = {FileChoice{{dir.File("missing.lst")}, FileType::ProjectList}};
    form.BAddLog->click();  // an unreadable list: the error box, the queue unchanged
    QCOMPARE(dialogs.errors.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(dialogs.errors[0]),
             "Cannot open file " + QString::fromStdString(dir.File("missing.lst")) + ".");
    QCOMPARE(form.LogList->count(), 3);
    QVERIFY(QueueCommandsEnabled(form));
  }

  void BatchShowsResultsAndSavesThem() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    testing::WriteFile(dir.File("one.bin"), std::string(20, '\x01'));
    dialogs.selections = {FileChoice{{dir.File("one.bin")}, FileType::Stim}};
    dialogs.directories = {dir.SubDir("out")};
    form.BAddLog->click();
    form.BProcess->click();
    QCOMPARE(form.Results->toPlainText(),
             QString("0 TIM's found.\nWritten to out: double-click to open the folder."));
    QVERIFY(form.SaveLog->isEnabled());
    QVERIFY(!form.Stop->isEnabled());
    QCOMPARE(form.Extracted->text(), QString());
    QCOMPARE(QString::fromStdString(dialogs.informations.back()),
             QString("Process status:|Operation complete!"));
    QVERIFY(std::filesystem::exists(dir.File("out/result.log")));
    QVERIFY(QueueCommandsEnabled(form) && form.BAddLog->isEnabled());

    dialogs.saveNames = {dir.File("results.txt")};
    form.SaveLog->click();
    const std::string rtf = testing::ReadFile(dir.File("results.txt"));
    QVERIFY(rtf.rfind("{\\rtf1", 0) == 0);
    QVERIFY(rtf.find("0 TIM's found.\\par") != std::string::npos);
    QCOMPARE(std::count(rtf.begin(), rtf.end(), '{'), std::count(rtf.begin(), rtf.end(), '}'));
    QCOMPARE(QString::fromStdString(dialogs.informations.back()),
             QString("Operation status|results.txt"));
    QVERIFY(!form.SaveLog->isEnabled());
  }

  // What Process will do is in the tool bar; names the chosen type's filter
  // does not take are refused; a replaced queue and a removal come back with
  // Ctrl+Z.
  void TheJobInPlainSightAndCtrlZ() {
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    Activate(form);  // shortcuts act in the active window
    QCOMPARE(form.JobLabel->text(), QString("The queue is empty"));
    QVERIFY(!form.QueueHint->isHidden());
    dialogs.selections = {FileChoice{{"/a.DAT", "/b.bin", "/c.dat"}, FileType::Grm},
                          FileChoice{{"/t.tim"}, FileType::Tim}};
    form.BAddLog->click();
    QCOMPARE(dialogs.errors, std::vector<std::string>{
                                 "Not queued, since they are not Grimhold 3 data (*.dat): b.bin."});
    QCOMPARE(form.JobLabel->text(), QString("Unpack 2 archives"));
    QVERIFY(form.QueueHint->isHidden());
    form.BAddLog->click();  // another type replaces the queue, and says so
    QCOMPARE(Queue(form), QStringList({"/t.tim"}));
    QVERIFY(form.Results->toPlainText().contains("2 file(s) of another type were replaced"));
    QVERIFY(form.Context().Status.Results().empty());  // a note, not a result
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Queue(form), QStringList({"/a.DAT", "/c.dat"}));
    QCOMPARE(form.Context().FormatIndex, Format::Grm);
    form.LogList->item(0)->setSelected(true);
    QTest::keyClick(&form, Qt::Key_Delete);
    QCOMPARE(Queue(form), QStringList({"/c.dat"}));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Queue(form), QStringList({"/a.DAT", "/c.dat"}));
    QVERIFY(QueueCommandsEnabled(form));
  }

  // An error is kept in the pane (in red) and saved with the results; Save
  // results is there only over results; after a Stop the box says so; the
  // pane names the output folder and opens it; Enter presses a focused button;
  // the bars carry words while a batch runs.
  void ErrorsStopsAndOutputsInThePane() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    std::vector<std::string> opened;
    form.OpenFolder = [&](const std::string& folder) { opened.push_back(folder); };
    dialogs.selections = {FileChoice{{"/a", "/b"}, FileType::Stim}};
    form.BAddLog->click();
    QString barWords;
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, Format, const std::string&) {
      barWords = form.Total->isTextVisible() ? form.Total->text() : QString();
      ctx.Status.AppendResult("one line");
      throw FileError("Cannot open file /a");
    };
    dialogs.directories = {dir.Path()};
    form.BProcess->click();
    QCOMPARE(barWords, QString("File 1 of 2"));
    QVERIFY(!form.Total->isTextVisible());
    QCOMPARE(dialogs.errors, std::vector<std::string>{"Cannot open file /a."});
    QVERIFY(form.Results->toHtml().contains("Cannot open file /a."));
    QVERIFY(form.SaveLog->isEnabled());
    dialogs.saveNames = {dir.File("r.rtf")};
    form.SaveLog->setFocus();
    QTest::keyClick(form.SaveLog, Qt::Key_Return);
    QVERIFY(testing::ReadFile(dir.File("r.rtf")).find("Cannot open file /a.") != std::string::npos);
    QVERIFY(form.OpenResultLine(form.Results->document()->lastBlock().text().toStdString()));
    QCOMPARE(opened, std::vector<std::string>{dir.Path()});

    dialogs.directories = {std::nullopt};  // a cancelled choice leaves nothing to save
    form.BProcess->click();
    QVERIFY(!form.SaveLog->isEnabled());
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, Format, const std::string&) {
      ctx.RequestStop();
    };
    dialogs.directories = {dir.Path()};
    dialogs.informations.clear();
    form.BProcess->click();
    QCOMPARE(dialogs.informations.back(), std::string("Process status:|Stopped by user."));
  }

  void StopDuringABatch() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/a", "/b", "/c"}, FileType::Stim}};
    dialogs.directories = {dir.Path()};
    form.BAddLog->click();
    int files = 0;
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, Format, const std::string&) {
      ++files;
      ctx.Status.SetStopEnabled(true);
      QVERIFY(!form.BProcess->isEnabled() &&
              !form.BAddLog->isEnabled());  // no queue changes mid-batch
      form.Stop->click();
      QVERIFY(!form.Stop->isEnabled());
    };
    form.BProcess->click();
    QCOMPARE(files, 1);
    QCOMPARE(form.Context().Status.Results(), std::vector<std::string>{"Stopped by user."});
    QVERIFY(QueueCommandsEnabled(form));
  }

  void ClosingDuringABatchWaitsForTheCurrentFile() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    form.show();
    dialogs.selections = {FileChoice{{"/a", "/b"}, FileType::Stim}};
    dialogs.directories = {dir.Path()};
    form.BAddLog->click();
    std::vector<bool> visibleDuringFiles;
    form.Context().ProcessFileCallback = [&](ProcessContext&, Format, const std::string&) {
      form.BExit->click();
      visibleDuringFiles.push_back(form.isVisible());
    };
    form.BProcess->click();
    QCOMPARE(visibleDuringFiles, std::vector<bool>({true}));  // the second file never started
    QVERIFY(!form.isVisible());
  }
};

}  // namespace tessary

QTEST_MAIN(tessary::MainFormTest)
#include "main_form_test.moc"
