// The image viewer, the thumbnail grid and the main window's ways to them
// (QT_QPA_PLATFORM=offscreen).
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QSettings>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest/QtTest>

#include "main/window/main_form.h"
#include "main/window/tim_thumbnails.h"
#include "main/window/tim_viewer.h"
#include "misc/byte_reader.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {

namespace {

// Answers the add dialog and the directory chooser, each with its last reply.
class SetDialogs final : public WindowDialogs {
 public:
  std::optional<FileChoice> SelectFiles(FileType) override { return files; }
  std::optional<std::string> SaveProjectListAs() override { return std::nullopt; }
  std::optional<std::string> SaveResultsAs() override { return std::nullopt; }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return directory; }
  std::optional<std::string> ChooseCodeTable() override { return std::nullopt; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string&) override {}

  FileChoice files;
  std::string directory;
};

// A 4-bit TIM, 4 x 1 pixels, with two CLUT rows: pixel 0 is entry 1 (red in
// row 0, green in row 1), pixel 1 entry 0 (the word 0x0000: transparent),
// pixel 2 entry 2 (0x8000: opaque black).
std::string SpriteTim() {
  auto tim = testing::BuildTim({.mode = 0, .clutEntries = 32, .width = 1, .height = 1});
  for (int i = 0; i < 32; ++i)
    StoreU16(tim.data() + 20 + 2 * i, i % 16 == 0 ? 0
                                      : i == 1    ? 0x001F
                                      : i == 17   ? 0x03E0
                                                  : 0x8000);
  tim[32 + 64] = 0x01;  // pixels 0 to 3: entries 1, 0, 2, 0
  tim[32 + 64 + 1] = 0x02;
  return {tim.begin(), tim.end()};
}

// The windows of type Window the owner opened. The window classes have no
// meta-object of their own, so QObject::findChildren cannot tell them apart.
template <typename Window>
std::vector<Window*> Opened(const QWidget& owner) {
  std::vector<Window*> opened;
  for (QWidget* child : owner.findChildren<QWidget*>())
    if (auto* window = dynamic_cast<Window*>(child)) opened.push_back(window);
  return opened;
}

}  // namespace

class TimViewerTest final : public QObject {
  Q_OBJECT

 private:
  testing::TempDir settingsDir_;

  static QRgb ShownPixel(const TimViewer& viewer, int x, int y) {
    const int zoom = viewer.Zoom->currentData().toInt();
    return viewer.Picture->pixmap().toImage().pixel(x * zoom + zoom / 2, y * zoom + zoom / 2);
  }
  // Double-clicks result line `line` of the window as the user would.
  static void DoubleClickResult(TMainForm& form, int line) {
    QTextCursor cursor(form.Results->document()->findBlockByNumber(line));
    const QPoint at = form.Results->cursorRect(cursor).center() + QPoint(4, 0);
    QTest::mouseDClick(form.Results->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

 private slots:
  void initTestCase() {
    QCoreApplication::setOrganizationName("TessaryTests");
    QCoreApplication::setApplicationName("ViewerTests");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.Path()));
  }

  void TheChosenClutRowColoursThePictureOverACheckerboard() {
    testing::TempDir dir;
    testing::WriteFile(dir.File("sprite.tim"), SpriteTim());
    TimViewer viewer(dir.File("sprite.tim"));
    viewer.show();
    QCOMPARE(viewer.ClutRow->count(), 2);
    QCOMPARE(viewer.ClutRow->itemText(1), QString("1 at (16, 480)"));  // 32 colours a line
    QCOMPARE(viewer.Zoom->currentData().toInt(), 8);  // small pictures open enlarged
    viewer.Zoom->setCurrentIndex(3);
    QCOMPARE(viewer.Picture->pixmap().size(), QSize(16, 4));
    QCOMPARE(ShownPixel(viewer, 0, 0), qRgb(255, 0, 0));
    viewer.ClutRow->setCurrentIndex(1);
    QCOMPARE(ShownPixel(viewer, 0, 0), qRgb(0, 255, 0));
    QCOMPARE(ShownPixel(viewer, 2, 0), qRgb(0, 0, 0));  // 0x8000: opaque black
    const QRgb clear = ShownPixel(viewer, 1, 0);
    QVERIFY(clear == kCheckerLight || clear == kCheckerDark);
    QVERIFY(!viewer.Swatches->pixmap().isNull());
    QVERIFY(viewer.Details->text().contains("2 rows of 16 colours"));
    QVERIFY(viewer.Details->text().startsWith("Mode 0 (4-bit, CLUT), 4 x 1 pixels"));
    // A CLUT of thousands of rows: the first 256 are offered.
    const auto many = testing::BuildTim({.mode = 0, .clutEntries = 16 * 5000});
    testing::WriteFile(dir.File("many.tim"), std::string(many.begin(), many.end()));
    TimViewer crowded(dir.File("many.tim"));
    QCOMPARE(crowded.ClutRow->count(), 256);
    QVERIFY(crowded.Details->text().contains("5000 rows of 16 colours"));

    const struct {
      std::string name, bytes;
      QString message;
    } broken[] = {
        {"text.tim", "This is a text file, not an image.", "text.tim: not a TIM image."},
        {"short.tim", {"\x10\0\0\0", 4}, "short.tim: too short to hold a TIM header."},
    };
    for (const auto& file : broken) {
      testing::WriteFile(dir.File(file.name), file.bytes);
      TimViewer refused(dir.File(file.name));
      QCOMPARE(refused.Details->text(), file.message);
      QVERIFY(!refused.Preview() && !refused.Zoom->isEnabled() && !refused.ClutRow->isEnabled());
    }
  }

  // A search through the window, then the grid of what it found, and the
  // viewer opened from the grid, the result lines and the queue.
  void ASearchOpensItsImagesInTheGridAndTheViewer() {
    testing::TempDir dir;
    std::string game(40, '\x5A');
    for (int i = 0; i < 3; ++i) game += std::string(8, '\0') + SpriteTim();
    testing::WriteFile(dir.File("GAME.BIN"), game);
    SetDialogs dialogs;
    TMainForm form(dialogs);
    form.show();
    dialogs.files = {{dir.File("GAME.BIN")}, FileType::Stim};
    dialogs.directory = dir.SubDir("out");
    form.BAddLog->click();
    form.BProcess->click();
    QCOMPARE(form.Results->toPlainText(),
             QString("GAME_0.tim extracted.\nGAME_1.tim extracted.\nGAME_2.tim extracted.\n"
                     "3 TIM's found.\nWritten to out: double-click to open the folder."));

    DoubleClickResult(form, 3);
    QCOMPARE(Opened<TimThumbnails>(form).size(), std::size_t{1});
    TimThumbnails& grid = *Opened<TimThumbnails>(form).front();
    QCOMPARE(grid.Model->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
      QCOMPARE(grid.Model->index(row).data().toString(), QString("GAME_%1.tim").arg(row));
    QVERIFY(!grid.Model->index(2).data(Qt::DecorationRole).value<QPixmap>().isNull());
    QCOMPARE(grid.OpenViewer(1)->Path(), dir.File("out/GAME_1.tim"));

    DoubleClickResult(form, 2);
    const auto viewers = Opened<TimViewer>(form);
    QCOMPARE(viewers.size(), std::size_t{2});
    QCOMPARE(viewers.back()->Path(), dir.File("out/GAME_2.tim"));
    QVERIFY(viewers.back()->Preview().has_value());

    // A queued TIM opens with a double-click; so does the TIM of a
    // conversion's result line, both ways.
    testing::WriteFile(dir.File("TITLE.TIM"), SpriteTim());
    dialogs.files = {{dir.File("TITLE.TIM")}, FileType::Tim};
    dialogs.directory = dir.SubDir("bmp");
    form.BAddLog->click();
    const QRect item = form.LogList->visualItemRect(form.LogList->item(0));
    // As a real double-click arrives: the first click, then the second.
    QTest::mouseClick(form.LogList->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QTest::mouseDClick(form.LogList->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QCOMPARE(Opened<TimViewer>(form).back()->Path(), dir.File("TITLE.TIM"));
    form.BProcess->click();
    QVERIFY(form.OpenResultLine("TITLE.TIM converted."));
    QCOMPARE(Opened<TimViewer>(form).back()->Path(), dir.File("TITLE.TIM"));
    // The bitmap written back names the TIM of its log section.
    dialogs.files = {{dir.File("bmp/result.log")}, FileType::Log};
    dialogs.directory = dir.SubDir("ins");
    form.BAddLog->click();
    form.BProcess->click();
    QCOMPARE(form.Context().Status.Results(), std::vector<std::string>{"title.bmp converted."});
    DoubleClickResult(form, 0);
    QCOMPARE(Opened<TimViewer>(form).back()->Path(), dir.File("TITLE.TIM"));
    QVERIFY(!form.OpenResultLine("Operation complete!"));
    QTest::mouseDClick(form.Results->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(8, form.Results->viewport()->height() - 4));  // below the lines
    QCOMPARE(Opened<TimViewer>(form).size(), std::size_t{5});
  }

  // Only the thumbnails in view are decoded, each once.
  void AGridOfManyImagesDecodesWhatItShows() {
    testing::TempDir dir;
    testing::WriteFile(dir.File("sprite.tim"), SpriteTim());
    TimThumbnails grid(std::vector<std::string>(600, dir.File("sprite.tim")));
    grid.show();
    grid.Grid->doItemsLayout();  // the whole layout now, not in batches
    grid.Grid->viewport()->grab();
    const int shown = grid.Model->DecodeCount();
    QVERIFY2(shown > 0 && shown < 100, qPrintable(QString::number(shown)));
    grid.Grid->viewport()->grab();  // painted again: nothing decoded again
    QCOMPARE(grid.Model->DecodeCount(), shown);
    grid.Grid->scrollToBottom();
    grid.Grid->viewport()->grab();
    QVERIFY(grid.Model->DecodeCount() > shown);
    QVERIFY(grid.Model->DecodeCount() < 200);
  }
};

}  // namespace tessary

QTEST_MAIN(tessary::TimViewerTest)
#include "tim_viewer_test.moc"
