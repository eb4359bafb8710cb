// Program start: the application, the one main window, the event loop.
#include <QApplication>
#include <QScreen>

#include "main/window/glyphs.h"
#include "main/window/main_form.h"
#include "main/window/window_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Tessary");
  QCoreApplication::setApplicationName("Tessary");
  QApplication::setWindowIcon(tessary::GlyphIcon(tessary::Glyph::Tessary));
  tessary::QtDialogs dialogs;
  tessary::TMainForm MainForm(dialogs);
  dialogs.SetOwner(&MainForm);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  MainForm.move(screen.center() - MainForm.rect().center());
  MainForm.show();
  return app.exec();
}
