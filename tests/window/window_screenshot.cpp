// Shows the main window after a sample batch and saves a screenshot of it, as
// the X server shows it:   tessary-window-screenshot SAMPLE_FILE OUT_DIR PNG
#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <iostream>

#include "main/window/main_form.h"

namespace {

// Answers every dialog without asking: the sample file, the output directory.
class AutoDialogs final : public tessary::WindowDialogs {
 public:
  AutoDialogs(std::string file, std::string out) : file_(std::move(file)), out_(std::move(out)) {}
  std::optional<tessary::FileChoice> SelectFiles(int) override {
    return tessary::FileChoice{{file_}, 3};
  }
  std::optional<std::string> SaveProjectListAs() override { return std::nullopt; }
  std::optional<std::string> SaveResultsAs() override { return std::nullopt; }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return out_; }
  std::optional<std::string> ChooseCodeTable() override { return std::nullopt; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }

 private:
  std::string file_, out_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: tessary-window-screenshot SAMPLE_FILE OUT_DIR PNG\n";
    return 2;
  }
  QApplication app(argc, argv);
  AutoDialogs dialogs(argv[1], argv[2]);
  tessary::TMainForm form(dialogs);
  form.move(QGuiApplication::primaryScreen()->availableGeometry().center() - form.rect().center());
  form.show();
  form.BAddLog->click();
  form.BAddLog->click();
  form.BProcess->click();
  form.LogList->item(0)->setSelected(true);
  int status = 1;
  QTimer::singleShot(700, [&] {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(form.winId());
    status = shot.save(argv[3]) ? 0 : 1;
    std::cout << argv[3] << " " << shot.width() << "x" << shot.height() << "\n";
    app.quit();
  });
  app.exec();
  return status;
}
