// The real main window driven through scripted dialogs (QT_QPA_PLATFORM=offscreen).
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest/QtTest>
#include <deque>
#include <filesystem>

#include "main/window/main_form.h"
#include "misc/paths.h"
#include "tests/test_support.h"

namespace tessary {

class ScriptedDialogs final : public WindowDialogs {
 public:
  std::optional<FileChoice> SelectFiles(int fileType) override {
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
  std::vector<int> selectStarts;
  std::vector<std::string> informations, errors;
};

class MainFormTest final : public QObject {
  Q_OBJECT

 private:
  static QStringList Queue(const TMainForm& form) {
    QStringList items;
    for (int i = 0; i < form.LogList->count(); ++i) items << form.LogList->item(i)->text();
    return items;
  }
  static bool QueueCommandsEnabled(const TMainForm& form) {
    return form.BRemLog->isEnabled() && form.BProcess->isEnabled() && form.BSaveList->isEnabled();
  }

 private slots:
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

  void AddingRemovingAndCancelling() {
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/a.dat", "/b.dat"}, 1}, FileChoice{{"/a.dat"}, 1},
                          FileChoice{{"/x.tim"}, 2}, std::nullopt};
    form.BAddLog->click();
    form.BAddLog->click();  // the same file again is appended again
    QCOMPARE(Queue(form), QStringList({"/a.dat", "/b.dat", "/a.dat"}));
    QVERIFY(QueueCommandsEnabled(form));
    form.BAddLog->click();  // another file type empties the queue first
    QCOMPARE(Queue(form), QStringList({"/x.tim"}));
    form.BAddLog->click();  // cancelled: the commands return to their states
    QCOMPARE(Queue(form), QStringList({"/x.tim"}));
    QVERIFY(QueueCommandsEnabled(form));
    QCOMPARE(dialogs.selectStarts.back(), 2);  // the last file type is remembered

    dialogs.selections = {FileChoice{{"/1", "/2", "/3", "/4"}, 2}};
    form.BAddLog->click();
    form.LogList->item(1)->setSelected(true);
    form.LogList->item(2)->setSelected(true);
    form.BRemLog->click();  // two adjacent selected entries
    QCOMPARE(Queue(form), QStringList({"/x.tim", "/3", "/4"}));
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
    dialogs.selections = {FileChoice{{"/r1.log", "/r 2.log", "/r1.log"}, 6}};
    form.BAddLog->click();
    dialogs.saveNames = {dir.File("p.lst")};
    form.BSaveList->click();
    dialogs.selections = {FileChoice{{dir.File("p.lst")}, 5}};
    form.BAddLog->click();
    QCOMPARE(Queue(form), QStringList({"/r1.log", "/r 2.log", "/r1.log"}));
    QCOMPARE(QString::fromStdString(testing::ReadFile(dir.File("p.lst"))),
             QString("/r1.log\r\n/r 2.log\r\n/r1.log\r\n"));

    dialogs.selections = {FileChoice{{dir.File("missing.lst")}, 5}};
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
    dialogs.selections = {FileChoice{{dir.File("one.bin")}, 3}};
    dialogs.directories = {dir.SubDir("out")};
    form.BAddLog->click();
    form.BProcess->click();
    QCOMPARE(form.Results->toPlainText(), QString("0 TIM's found."));
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

  void StopDuringABatch() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.selections = {FileChoice{{"/a", "/b", "/c"}, 3}};
    dialogs.directories = {dir.Path()};
    form.BAddLog->click();
    int files = 0;
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, std::uint8_t,
                                             const std::string&) {
      ++files;
      ctx.Status.SetStopEnabled(true);
      QVERIFY(!form.BProcess->isEnabled() &&
              !form.BAddLog->isEnabled());  // no queue changes mid-batch
      form.Stop->click();
      QVERIFY(!form.Stop->isEnabled());
    };
    form.BProcess->click();
    QCOMPARE(files, 1);
    QCOMPARE(form.Results->toPlainText(), QString("Stopped by user."));
    QVERIFY(QueueCommandsEnabled(form));
  }

  void ClosingDuringABatchWaitsForTheCurrentFile() {
    testing::TempDir dir;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    form.show();
    dialogs.selections = {FileChoice{{"/a", "/b"}, 3}};
    dialogs.directories = {dir.Path()};
    form.BAddLog->click();
    std::vector<bool> visibleDuringFiles;
    form.Context().ProcessFileCallback = [&](ProcessContext&, std::uint8_t, const std::string&) {
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
