// Shows the main window with a queue of game files and the Process tooltip,
// then during a TIM search over them, and saves both as the X server shows
// them (for docs/window-queue.png and docs/window.png):
//   tessary-window-screenshot GAME_DIR OUT_DIR QUEUE_PNG BATCH_PNG
// GAME_DIR holds the files to queue (every file in it, by name); OUT_DIR is
// the output directory the batch is given.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <iostream>

#include "main/batch_driver.h"
#include "main/window/main_form.h"
#include "tests/main/window/auto_dialogs.h"

namespace {

std::vector<std::string> FilesOf(const QString& directory) {
  std::vector<std::string> files;
  for (const QFileInfo& file : QDir(directory).entryInfoList(QDir::Files, QDir::Name))
    files.push_back(QDir::toNativeSeparators(file.absoluteFilePath()).toStdString());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: tessary-window-screenshot GAME_DIR OUT_DIR QUEUE_PNG BATCH_PNG\n";
    return 2;
  }
  QApplication app(argc, argv);
  tessary::testing::AutoDialogs dialogs(FilesOf(argv[1]), argv[2]);
  tessary::TMainForm form(dialogs);
  form.move(QGuiApplication::primaryScreen()->availableGeometry().center() - form.rect().center());
  form.show();
  form.BAddLog->click();
  form.LogList->item(1)->setSelected(true);
  int status = 0;
  const auto save = [&](const QPixmap& shot, const char* path) {
    if (!shot.save(path)) status = 1;
    std::cout << path << " " << shot.width() << "x" << shot.height() << "\n";
  };
  {
    // The queue, with the tooltip that names what Process will do.
    QEventLoop showing;
    QTimer::singleShot(500, [&] {
      const QPoint at = form.BProcess->mapToGlobal(QPoint(12, 22));
      QToolTip::showText(at, form.BProcess->toolTip(), form.BProcess);
    });
    QTimer::singleShot(1200, [&] {
      const QRect area(form.mapToGlobal(QPoint(0, 0)), QSize(form.width(), 120));
      save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                        area.height()),
           argv[3]);
      QToolTip::hideText();
      showing.quit();
    });
    showing.exec();
  }
  // The picture is taken while the last file is searched: both bars and the
  // result lines of the files before it are showing.
  std::size_t file = 0;
  form.Context().ProcessFileCallback = [&](tessary::ProcessContext& ctx, tessary::Format index,
                                           const std::string& path) {
    if (++file < ctx.Queue.size()) return tessary::ProcessFile(ctx, index, path);
    ctx.Status.SetCurrentMessage("Searching in " + path.substr(path.find_last_of("/\\") + 1) +
                                 " ...");
    ctx.Status.SetBarPosition(tessary::Bar::Progress, 62);
    ctx.Status.SetStopEnabled(true);
    QEventLoop showing;
    QTimer::singleShot(700, [&] {
      save(QGuiApplication::primaryScreen()->grabWindow(form.winId()), argv[4]);
      showing.quit();
    });
    showing.exec();
  };
  form.BProcess->click();
  return status;
}
