// Qt's own dialogs behind QtDialogs, answered by typing (QT_QPA_PLATFORM=offscreen).
#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QtTest/QtTest>
#include <functional>

#include "main/window/window_dialogs.h"
#include "main/window/window_settings.h"
#include "tests/test_support.h"

namespace tessary {

namespace {

// Calls `act` once with the first modal dialog that opens.
void OnModal(const std::function<void(QWidget*)>& act) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [=] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->deleteLater();
      poll->stop();
      act(modal);
    }
  });
  poll->start(20);
}

}  // namespace

class QtDialogsTest final : public QObject {
  Q_OBJECT

 private:
  testing::TempDir settingsDir_;

 private slots:
  void initTestCase() {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.Path()));
  }

  // The add dialog opens large enough for its columns and remembers the
  // folder of a file typed with its full path, not the folder it showed.
  void AddDialogSizeAndRememberedFolder() {
    testing::TempDir shown, other;
    testing::WriteFile(other.File("ROOM.DAT"), std::string("x"));
    WindowSettings::SetFolder(DialogFolder::Add, QString::fromStdString(shown.Path()));
    QSize size;
    OnModal([&](QWidget* dialog) {
      size = dialog->size();
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name != nullptr);
      name->setText(QString::fromStdString(other.File("ROOM.DAT")));
      QTest::keyClick(name, Qt::Key_Return);
    });
    QtDialogs dialogs;
    const auto choice = dialogs.SelectFiles(FileType::Grm);
    QVERIFY(choice.has_value());
    QCOMPARE(choice->files, std::vector<std::string>{other.File("ROOM.DAT")});
    QCOMPARE(WindowSettings::Folder(DialogFolder::Add), QString::fromStdString(other.Path()));
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    QVERIFY(size.width() >= std::min(900, screen.width()));
    QVERIFY(size.height() >= std::min(550, screen.height()));
  }

  // A title bar holds the bold title, the window icon and three buttons of
  // about two lines each: a short text must not leave the title cut.
  void InformationBoxIsAsWideAsItsTitle() {
    const QString title = "Operation status of the batch";
    int width = 0;
    QFont bold;
    OnModal([&](QWidget* box) {
      width = box->width();
      bold = box->font();
      qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    QtDialogs().ShowInformation("Done.", title.toStdString());
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    QVERIFY2(width >= metrics.horizontalAdvance(title) + 6 * metrics.height(),
             qPrintable(QString::number(width)));
  }
};

}  // namespace tessary

QTEST_MAIN(tessary::QtDialogsTest)
#include "qt_dialogs_test.moc"
