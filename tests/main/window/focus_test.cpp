// The main window under a real window manager (run_under_wm.sh starts Xvfb
// and openbox): after the dialogs of a batch close, the window is active
// again, so a key press reaches its shortcuts.
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTextEdit>
#include <QTimer>
#include <QtTest/QtTest>
#include <filesystem>
#include <functional>

#include "main/batch_driver.h"
#include "main/window/main_form.h"
#include "tests/test_support.h"

namespace tessary {

namespace {

constexpr int kPollMs = 20;
constexpr int kActivationTimeoutMs = 10000;

// Polls the top modal dialog until the window manager has made it active (a
// user answers a dialog that has the focus) and `matches` takes it, then calls
// `act` once. `act` may block in a nested dialog's event loop: the pollers
// started before it keep running there, each on a timer of its own.
void OnModal(const std::function<bool(QWidget*)>& matches,
             const std::function<void(QWidget*)>& act) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal != QApplication::activeWindow() || !matches(modal)) return;
    poll->stop();
    poll->deleteLater();
    act(modal);
  });
  poll->start(kPollMs);
}

QMessageBox* BoxWith(QWidget* modal, QMessageBox::StandardButton button) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  return box != nullptr && box->button(button) != nullptr ? box : nullptr;
}

void Press(QMessageBox* box, QMessageBox::StandardButton button) {
  QTest::keyClick(box->button(button), Qt::Key_Space);
}

// The user's reply to each dialog of the batch: the chooser goes to `parent`
// and gets the name of a folder that does not exist there and Enter, the
// question "Yes", the final status box "OK".
void AnswerTheBatchDialogs(const QString& parent, const QString& newFolder) {
  OnModal([](QWidget* modal) { return qobject_cast<QFileDialog*>(modal) != nullptr; },
          [=](QWidget* modal) {
            auto* chooser = static_cast<QFileDialog*>(modal);
            chooser->setDirectory(parent);
            auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name != nullptr);
            QTest::keyClicks(name, newFolder);
            QTest::keyClick(name, Qt::Key_Return);
          });
  OnModal([](QWidget* modal) { return BoxWith(modal, QMessageBox::Yes) != nullptr; },
          [](QWidget* modal) { Press(BoxWith(modal, QMessageBox::Yes), QMessageBox::Yes); });
  OnModal([](QWidget* modal) { return BoxWith(modal, QMessageBox::Ok) != nullptr; },
          [](QWidget* modal) { Press(BoxWith(modal, QMessageBox::Ok), QMessageBox::Ok); });
}

}  // namespace

class FocusTest final : public QObject {
  Q_OBJECT

 private:
  testing::TempDir settingsDir_;

  // Where a real key press goes: the focus widget of the active window.
  static QWidget* KeyTarget(const TMainForm& form) {
    if (QApplication::activeWindow() != &form) return nullptr;
    return QApplication::focusWidget();
  }

 private slots:
  void initTestCase() {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.Path()));
  }

  // A folder created on the way (the question box closes, then the chooser)
  // once left the window manager focusing nothing: Esc did not stop.
  void EscapeStopsABatchStartedThroughTheDialogs() {
    testing::TempDir input, output;
    const std::string big = input.File("big.bin");  // a TIM search, sparse
    testing::WriteFile(big, std::string());
    std::filesystem::resize_file(big, std::uintmax_t{1} << 40);
    QtDialogs dialogs;
    TMainForm form(dialogs);
    dialogs.SetOwner(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.DropFiles({big});

    bool escapeStopped = false;
    form.Context().ProcessFileCallback = [&](ProcessContext& ctx, Format format,
                                             const std::string& path) {
      const QDeadlineTimer deadline(kActivationTimeoutMs);
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* target = form.Stop->isEnabled() ? KeyTarget(form) : nullptr;
        if (target == nullptr && !deadline.hasExpired()) return;
        poll.stop();
        if (target != nullptr) QTest::keyClick(target, Qt::Key_Escape);
        escapeStopped = ctx.StopRequested();
        ctx.RequestStop();  // ends the search either way
      });
      poll.start(kPollMs);
      ProcessFile(ctx, format, path);
    };
    AnswerTheBatchDialogs(QString::fromStdString(output.Path()), "made by the chooser");
    QWidget* target = KeyTarget(form);
    QVERIFY(target != nullptr);
    QTest::keyClick(target, Qt::Key_F5);

    QVERIFY(std::filesystem::is_directory(output.File("made by the chooser")));
    QVERIFY2(escapeStopped, "Esc did not reach the main window during the batch");
    QVERIFY(form.Results->toPlainText().split('\n').contains("Stopped by user."));
    QTRY_VERIFY_WITH_TIMEOUT(KeyTarget(form) != nullptr, kActivationTimeoutMs);  // after the box
  }
};

}  // namespace tessary

QTEST_MAIN(tessary::FocusTest)
#include "focus_test.moc"
