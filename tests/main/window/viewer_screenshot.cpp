// Searches a game file for TIM images in the main window, then shows the grid
// of the images found and the viewer of one of them, and saves both as the X
// server shows them, frames included (for docs/thumbnails.png and
// docs/viewer.png):
//   tessary-viewer-screenshot GAME_FILE OUT_DIR IMAGE_NAME VIEWER_PNG GRID_PNG
// IMAGE_NAME is the found image the viewer shows ("GAME_0.tim"), at 4x with
// its CLUT row 1 when it has one.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QListView>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <iostream>

#include "main/window/main_form.h"
#include "main/window/tim_thumbnails.h"
#include "main/window/tim_viewer.h"
#include "tests/main/window/auto_dialogs.h"

namespace {

// Waits until the window manager has framed and drawn `window`, then saves
// the screen's pixels of it, frame included.
bool SaveShown(QWidget& window, const char* path) {
  QEventLoop showing;
  QTimer::singleShot(900, &showing, &QEventLoop::quit);
  showing.exec();
  const QRect frame = window.frameGeometry();
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(),
                                                                    frame.width(), frame.height());
  std::cout << path << " " << shot.width() << "x" << shot.height() << "\n";
  return shot.save(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: tessary-viewer-screenshot GAME_FILE OUT_DIR IMAGE_NAME VIEWER_PNG "
                 "GRID_PNG\n";
    return 2;
  }
  QApplication app(argc, argv);
  tessary::testing::AutoDialogs dialogs({argv[1]}, argv[2]);
  tessary::TMainForm form(dialogs);
  form.move(40, 40);
  form.show();
  form.BAddLog->click();
  form.BProcess->click();

  tessary::TimThumbnails* grid = form.BrowseFoundImages();
  grid->move(60, 40);
  bool saved = SaveShown(*grid, argv[5]);
  grid->close();

  tessary::TimViewer* viewer = form.OpenTimViewer(form.Context().OutputPath(argv[3]));
  viewer->Zoom->setCurrentIndex(3);
  if (viewer->ClutRow->count() > 1) viewer->ClutRow->setCurrentIndex(1);
  viewer->adjustSize();
  viewer->move(120, 60);
  saved = SaveShown(*viewer, argv[4]) && saved;
  return saved ? 0 : 1;
}
