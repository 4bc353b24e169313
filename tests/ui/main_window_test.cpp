// The main window: its pages and menus, the page rules, the close questions, the
// settings and default script windows, and the single-instance rule.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <cstring>

#include "gui_driver.h"
#include "single_instance.h"
#include "ui_tests.h"

namespace vendrix::test {

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void captionPagesAndMenus();
  void smallScreensReachEveryPageAndKeepTheSize();
  void pageRules();
  void closeQuestionsInOrderCancelStops();
  void closeQuestionsSaveWhatIsAnsweredYes();
  void settingsWindowWritesOnOkOnly();
  void postingSpinBoxesRoundTrip();
  void defaultScriptWindow();
  void bhsButtonAndHints();
  void secondStartRaisesTheFirst();
  void staleSocketDoesNotStopAStart();
};

namespace {
QStringList MenuTexts(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
  return texts;
}
}  // namespace

void MainWindowTest::captionPagesAndMenus() {
  Program p;
  QCOMPARE(p.main->windowTitle(), "Vendrix 2.08");
  auto* pages = p.Find<QTabWidget>("PageControl1");
  QStringList tabs;
  for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
  QCOMPARE(tabs, QStringList({"Compan&y Info", "&App Info", "&Sites", "Su&bmit", "S&ite Builder"}));
  QCOMPARE(pages->currentIndex(), 0);
  // Resizable, with a maximise box.
  QVERIFY(p.main->minimumSize() != p.main->maximumSize());
  QVERIFY(p.main->windowFlags() & Qt::WindowMaximizeButtonHint);

  auto* file = p.Find<QMenu>("FileMenu");
  QCOMPARE(
      MenuTexts(file),
      QStringList({"&Settings", "&View Reports", "&Update Data Files", "-", "&Import PAD File...",
                   "Ex&port PAD File...", "Export Package &Manifests\u2026", "-",
                   "Default &FTP Script", "Default &Email Scripts", "-", "E&xit"}));
  QCOMPARE(MenuTexts(p.Find<QMenu>("DefaultEmailScriptsMenu")), QStringList({"&New", "&Update"}));
  QCOMPARE(MenuTexts(p.Find<QMenu>("HelpMenu")),
           QStringList({"&Help", "&Vendrix Home Page", "Hal&vane Home Page", "-", "&About"}));
  // Ctrl+A selects all where it is pressed; it never opens About.
  QVERIFY(p.Find<QAction>("AboutItem")->shortcut().isEmpty());
  QCOMPARE(MenuTexts(p.Find<QMenu>("ToolsMenu")).last(), "&Contribute Site To Halvane...");

  // The hooks the later windows replace: one call per menu item.
  int reports = 0;
  p.main->SetCommand(ui::TMainFrm::Command::ViewReports, [&] { ++reports; });
  p.Find<QAction>("ViewReportsItem")->trigger();
  QCOMPARE(reports, 1);
  auto* page = new QWidget;
  page->setObjectName("RealSubmitSheet");
  p.main->InstallSubmitPage(page);
  QCOMPARE(pages->widget(3)->findChild<QWidget*>("RealSubmitSheet"), page);
  QCOMPARE(pages->tabText(3), "Su&bmit");
}

// At 1024x640 and 1280x720 (less a title bar and a panel) every page's buttons can be
// reached: the window fits, and each page either fits or scrolls to them; at 1280x720
// every page fits, and at the window's smallest size none scrolls sideways. The size and
// place chosen come back at the next start.
void MainWindowTest::smallScreensReachEveryPageAndKeepTheSize() {
  Program p;
  auto* pages = p.Find<QTabWidget>("PageControl1");
  const char* names[] = {"company", "app", "sites", "submit", "builder"};
  for (const QSize screen : {QSize(1024, 640), QSize(1280, 720)}) {
    const QSize room = screen - QSize(0, 60);
    p.main->resize(room);
    QTRY_VERIFY(p.main->frameGeometry().width() <= screen.width() + 16);
    QVERIFY(p.main->minimumSize().width() <= room.width());
    QVERIFY(p.main->minimumSize().height() <= room.height() - 40);
    QVERIFY(p.main->size().height() <= room.height());
    for (int i = 0; i < pages->count(); ++i) {
      p.ShowPage(i);
      QTRY_COMPARE(pages->currentIndex(), i);
      auto* area = qobject_cast<QScrollArea*>(pages->currentWidget());
      QVERIFY(area);
      QWidget* page = area->widget();
      // Every button of the page lies inside the page, and the page can be scrolled to
      // show all of it.
      for (QPushButton* b : page->findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(page)) continue;
        const QRect at(b->mapTo(page, QPoint(0, 0)), b->size());
        QVERIFY2(page->rect().contains(at), qPrintable(b->objectName()));
      }
      // The scroll range follows the layout a moment later.
      QTRY_VERIFY2(page->height() <= area->viewport()->height() + 1 ||
                       area->verticalScrollBar()->maximum() > 0,
                   qPrintable(QString("%1: page %2, viewport %3, range %4")
                                  .arg(names[i])
                                  .arg(page->height())
                                  .arg(area->viewport()->height())
                                  .arg(area->verticalScrollBar()->maximum())));
      // At 1280x720 no page needs a scroll bar.
      if (screen.width() >= 1280) {
        QTRY_VERIFY2(area->verticalScrollBar()->maximum() == 0 &&
                         area->horizontalScrollBar()->maximum() == 0,
                     qPrintable(QString("%1 scrolls at 1280x720: page %2x%3")
                                    .arg(names[i])
                                    .arg(page->minimumSizeHint().width())
                                    .arg(page->minimumSizeHint().height())));
      }
      if (QGuiApplication::platformName() == "xcb") {
        // Each sheet of a page with sheets (App Info, Site Builder), to look at.
        auto* sheets = page->findChild<QTabWidget*>();
        QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
        for (int j = 0; j < (sheets ? sheets->count() : 1); ++j) {
          if (sheets) sheets->setCurrentIndex(j);
          QVERIFY(p.main->grab().save(QString("%1/main-%2x%3-%4%5.png")
                                          .arg(VENDRIX_SCREENSHOT_DIR)
                                          .arg(screen.width())
                                          .arg(screen.height())
                                          .arg(names[i])
                                          .arg(j > 0 ? QString("-%1").arg(j + 1) : QString())));
        }
        if (sheets) sheets->setCurrentIndex(0);
      }
    }
  }
  // At the smallest size the window allows, a page may scroll down but never sideways.
  p.main->resize(p.main->minimumSize());
  QTRY_COMPARE(p.main->size(), p.main->minimumSize());
  for (int i = 0; i < pages->count(); ++i) {
    p.ShowPage(i);
    auto* area = qobject_cast<QScrollArea*>(pages->currentWidget());
    QTRY_VERIFY2(area->horizontalScrollBar()->maximum() == 0,
                 qPrintable(QString("%1 scrolls sideways: page %2, viewport %3")
                                .arg(names[i])
                                .arg(area->widget()->minimumSizeHint().width())
                                .arg(area->viewport()->width())));
  }
  p.ShowPage(0);
  p.main->resize(900, 600);
  QTRY_COMPARE(p.main->size(), QSize(900, 600));
  p.main->close();
  QVERIFY(!p.main->isVisible());
  ui::TMainFrm again(p.dir.path());
  QVERIFY(again.Initialise());
  QCOMPARE(again.size(), QSize(900, 600));
}

void MainWindowTest::pageRules() {
  Program p(false);
  Dialogs dialogs;
  auto* pages = p.Find<QTabWidget>("PageControl1");
  // "Sites" without a company: the user is sent to create one (and may cancel).
  dialogs.Press(QMessageBox::Ok);
  dialogs.Name(std::nullopt);
  p.ShowPage(2);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(0),
           "Error: You have not entered your company info. Please do so now!");
  QCOMPARE(pages->currentIndex(), 0);

  // With a company but no application, "Sites" sends the user to "App Info".
  dialogs.Name(QString("Acme"));
  QTest::mouseClick(p.Find<QPushButton>("NewCompanyBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  dialogs.Press(QMessageBox::Ok);
  p.ShowPage(2);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(),
           "Error: You have not entered or selected an application yet. Please do so now!");
  QCOMPARE(pages->currentIndex(), 1);

  // While posting no page may be left.
  p.main->Core().Flags().Posting = true;
  dialogs.Press(QMessageBox::Ok);
  p.ShowPage(4);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Error: Tab Change Not Allowed While Posting!");
  QCOMPARE(pages->currentIndex(), 1);
  p.main->Core().Flags().Posting = false;

  // "Site Builder" opens the first site when none is open.
  p.ShowPage(4);
  QCOMPARE(pages->currentIndex(), 4);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void MainWindowTest::closeQuestionsInOrderCancelStops() {
  Program p;
  Dialogs dialogs;
  TypeInto(p.Find<QLineEdit>("conname"), " Jr.");
  p.ShowPage(1);
  TypeInto(p.Find<QLineEdit>("version"), "b");
  dialogs.Press(QMessageBox::No);
  dialogs.Press(QMessageBox::Cancel);
  const std::string company = p.File("companies/Brightfield Software.dat");
  QVERIFY(!p.main->close());
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen, QStringList({"Confirm: Would you like to save Changed Company Info?",
                                      "Confirm: Would you like to save Tidy Notes?"}));
  QVERIFY(p.main->isVisible());
  QCOMPARE(p.File("companies/Brightfield Software.dat"), company);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void MainWindowTest::closeQuestionsSaveWhatIsAnsweredYes() {
  Program p;
  Dialogs dialogs;
  TypeInto(p.Find<QLineEdit>("conname"), " Jr.");
  p.ShowPage(2);
  auto* update = p.Find<QRadioButton>("SubmitUpdateRadio");
  QTest::mouseClick(update, Qt::LeftButton, {}, QPoint(8, update->height() / 2));
  p.ShowPage(4);
  const QString url = p.Find<QLineEdit>("EB_SitesWebUrlEdit")->text();
  TypeInto(p.Find<QLineEdit>("EB_SitesWebUrlEdit"), "x");
  for (int i = 0; i < 3; ++i) dialogs.Press(QMessageBox::Yes);
  QVERIFY(p.main->close());
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen,
           QStringList({"Confirm: Would you like to save Changed Company Info?",
                        "Confirm: Would you like to save Site Engine Info?",
                        "Confirm: Would you like to save Added/Changed Engine Info?"}));
  QVERIFY(p.File("companies/Brightfield Software.dat").find("CONTACT=Mira Holt Jr.\r\n") !=
          std::string::npos);
  const std::string site = *p.main->Core().Builder().Lists().Selected();
  QVERIFY(p.File("sites/" + site + ".ini").find("SITES_WEB_URL=" + url.toStdString() + "x\r\n") !=
          std::string::npos);
  QVERIFY(p.File("data/Tidy Notes_SITES.dat").find("\xB1Update\xB1") != std::string::npos);
}

void MainWindowTest::settingsWindowWritesOnOkOnly() {
  Program p;
  Dialogs dialogs;
  const std::string before = p.File("settings.dat");
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Settings");
    QCOMPARE(w->findChild<QLineEdit*>("portedit")->text(), "80");
    QCOMPARE(w->findChild<QSpinBox*>("MaxRetrySpin")->value(), 3);
    QCOMPARE(w->findChild<QSpinBox*>("HTTPTimeOutSpin")->value(), 60);
    QVERIFY(w->findChild<QCheckBox*>("ShowHintsChk")->isChecked());
    QTest::keyClicks(w->findChild<QLineEdit*>("smtpedit"), "smtp.example.org");
    w->findChild<QPushButton*>("CancelBtn")->click();
  });
  p.Find<QAction>("SettingsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("settings.dat"), before);

  dialogs.Then([](QWidget* w) {
    QTest::keyClicks(w->findChild<QLineEdit*>("smtpedit"), "smtp.example.org");
    auto* retries = w->findChild<QSpinBox*>("MaxRetrySpin");
    retries->setFocus();
    retries->selectAll();
    QTest::keyClicks(retries, "5");
    auto* port = w->findChild<QLineEdit*>("portedit");
    port->clear();
    QTest::keyClicks(port, "8o8o");
    w->findChild<QCheckBox*>("ShowHintsChk")->click();
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  // The port is no whole number: the message belongs to the Settings window, which
  // stays on top, so it must not open under it.
  QString errorParent;
  dialogs.Then([&](QWidget* box) {
    errorParent = box->parentWidget() ? box->parentWidget()->window()->objectName() : "none";
    dialogs.seen << qobject_cast<QMessageBox*>(box)->windowTitle() + ": " +
                        qobject_cast<QMessageBox*>(box)->text();
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
  });
  dialogs.Then([](QWidget* w) {
    auto* port = w->findChild<QLineEdit*>("portedit");
    port->clear();
    QTest::keyClicks(port, "8080");
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  p.Find<QAction>("SettingsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(dialogs.seen.value(0).startsWith("Error: Proxy Port must be a whole number"));
  QCOMPARE(errorParent, "TSettingsForm");
  const std::string settings = p.File("settings.dat");
  QVERIFY(settings.find("SMTP=smtp.example.org\r\n") != std::string::npos);
  QVERIFY(settings.find("PORT=8080\r\n") != std::string::npos);
  QVERIFY(settings.find("FTPRetries=5\r\n") != std::string::npos);
  QVERIFY(settings.find("ShowHints=0\r\n") != std::string::npos);
  QCOMPARE(p.main->Core().Settings().smtp, "smtp.example.org");
  QVERIFY(dialogs.unexpected.isEmpty());
}

// The sites posted at once and the retries: shown from the file, written through the
// dialog only once they differ from their defaults or stand in the file already.
void MainWindowTest::postingSpinBoxesRoundTrip() {
  Program p;
  Dialogs dialogs;
  auto typeInto = [](QSpinBox* s, const char* text) {
    s->setFocus();
    s->selectAll();
    QTest::keyClicks(s, text);
  };
  dialogs.Then([&](QWidget* w) {
    auto* atOnce = w->findChild<QSpinBox*>("postAtOnce");
    auto* retries = w->findChild<QSpinBox*>("postRetries");
    QCOMPARE(atOnce->value(), 4);
    QCOMPARE(retries->value(), 2);
    QCOMPARE(atOnce->minimum(), 1);
    QCOMPARE(atOnce->maximum(), 16);
    QCOMPARE(retries->minimum(), 0);
    QCOMPARE(retries->maximum(), 5);
    // Each has a caption whose letter reaches it.
    for (QSpinBox* s : {atOnce, retries}) {
      QLabel* caption = nullptr;
      for (QLabel* l : w->findChildren<QLabel*>())
        if (l->buddy() == s) caption = l;
      QVERIFY(caption && caption->text().contains('&'));
    }
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  p.Find<QAction>("SettingsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  std::string file = p.File("settings.dat");
  QVERIFY(file.find("PostAtOnce") == std::string::npos);
  QVERIFY(file.find("PostRetries") == std::string::npos);

  dialogs.Then([&](QWidget* w) {
    typeInto(w->findChild<QSpinBox*>("postAtOnce"), "12");
    typeInto(w->findChild<QSpinBox*>("postRetries"), "0");
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  p.Find<QAction>("SettingsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  file = p.File("settings.dat");
  QVERIFY(file.find("PostAtOnce=12\r\n") != std::string::npos);
  QVERIFY(file.find("PostRetries=0\r\n") != std::string::npos);
  QCOMPARE(p.main->Core().Settings().postAtOnce, 12);

  // Back to the default: the key stays in the file, with the default.
  dialogs.Then([&](QWidget* w) {
    QCOMPARE(w->findChild<QSpinBox*>("postAtOnce")->value(), 12);
    QCOMPARE(w->findChild<QSpinBox*>("postRetries")->value(), 0);
    typeInto(w->findChild<QSpinBox*>("postAtOnce"), "4");
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  p.Find<QAction>("SettingsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(p.File("settings.dat").find("PostAtOnce=4\r\n") != std::string::npos);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void MainWindowTest::defaultScriptWindow() {
  Program p;
  Dialogs dialogs;
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Default Script:");
    QCOMPARE(w->findChild<QLabel*>("HeadLbl")->text(), "Default FTP Script");
    auto* memo = w->findChild<QPlainTextEdit*>("ScriptMemo");
    QVERIFY(!memo->toPlainText().isEmpty());
    memo->setPlainText("Name: %APPNAME%\nVersion: %VERSION%");
    w->findChild<QPushButton*>("SaveScriptBtn")->click();
  });
  p.Find<QAction>("DefaultFtpScriptItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("data/FTP_DEF_SCRIPT.SCP"), "Name: %APPNAME%\r\nVersion: %VERSION%\r\n");

  std::filesystem::remove(p.Path("data/EMAIL_DEF_SCRIPT_UPDATE.SCP"));
  dialogs.Press(QMessageBox::Ok);
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->findChild<QLabel*>("HeadLbl")->text(), "Default UPDATE EMAIL Script");
    qobject_cast<QDialog*>(w)->reject();
  });
  p.Find<QAction>("DefaultEmailUpdateItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(0), "Error: Default Script File Not Found!");
  QVERIFY(!std::filesystem::exists(p.Path("data/EMAIL_DEF_SCRIPT_UPDATE.SCP")));
}

void MainWindowTest::bhsButtonAndHints() {
  Program p;
  Dialogs dialogs;
  int opened = 0;
  p.main->SetCommand(ui::TMainFrm::Command::BhsAccount, [&] {
    ++opened;
    p.main->Core().AssignBhsId("4711");
  });
  auto* bhs = p.Find<QPushButton>("BHSIDBtn");
  QTest::mouseClick(bhs, Qt::LeftButton);
  QCOMPARE(opened, 1);
  QVERIFY(!p.main->Core().Flags().CompanySaved);  // the id is written with the next save
  dialogs.Press(QMessageBox::Ok);
  QTest::mouseClick(bhs, Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(opened, 1);
  QCOMPARE(dialogs.seen.value(0), "Information: Your BHS ID# is: 4711");

  // Hints off: no tool tip anywhere.
  auto* country = p.Find<QLineEdit>("concountry");
  const QPoint at(5, 5);
  QHelpEvent on(QEvent::ToolTip, at, country->mapToGlobal(at));
  QApplication::sendEvent(country, &on);
  QTRY_VERIFY(QToolTip::isVisible());
  QCOMPARE(QToolTip::text(), "Enter the 2 letter identifier for the company contact's country.");
  QToolTip::hideText();
  QTRY_VERIFY(!QToolTip::isVisible());
  p.main->ApplyHints(false);
  QHelpEvent off(QEvent::ToolTip, at, country->mapToGlobal(at));
  QApplication::sendEvent(country, &off);
  QTest::qWait(100);
  QVERIFY(!QToolTip::isVisible());
  QVERIFY(dialogs.unexpected.isEmpty());
}

void MainWindowTest::secondStartRaisesTheFirst() {
  Program p;
  ui::SingleInstance first(QString::fromStdString(p.dir.path()));
  QVERIFY(!first.AnotherIsRunning());
  connect(&first, &ui::SingleInstance::ActivationRequested, p.main.get(), &ui::TMainFrm::Activate);
  QSignalSpy asked(&first, &ui::SingleInstance::ActivationRequested);
  p.main->showMinimized();
  QTRY_VERIFY(p.main->isMinimized());

  QProcess second;
  second.setProcessChannelMode(QProcess::ForwardedChannels);
  second.start(VENDRIX_GUI_BIN, {"--data-dir", QString::fromStdString(p.dir.path())});
  QVERIFY(second.waitForStarted(5000));
  // The second start ends on its own while the first keeps serving its event loop.
  QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
  QCOMPARE(second.exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.exitCode(), 0);
  QTRY_COMPARE(asked.count(), 1);
  QTRY_VERIFY(!p.main->isMinimized());
  QVERIFY(p.main->isVisible());
}

void MainWindowTest::staleSocketDoesNotStopAStart() {
  TempDir dir;
  const QString root = QString::fromStdString(dir.path());
  // A socket file that nobody listens on, as a crashed instance leaves it.
  const QString path = QDir::tempPath() + "/" + ui::SingleInstance::ServerName(root);
  const QByteArray native = QFile::encodeName(path);
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  QVERIFY(fd >= 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, native.constData(),
              std::min<std::size_t>(native.size(), sizeof addr.sun_path - 1));
  ::unlink(native.constData());
  QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  QVERIFY(QFile::exists(path));

  ui::SingleInstance start(root);
  QVERIFY(!start.AnotherIsRunning());
  ui::SingleInstance again(root);
  QVERIFY(again.AnotherIsRunning());
}

namespace {
RegisterTest<MainWindowTest> reg("MainWindowTest");
}

}  // namespace vendrix::test

#include "main_window_test.moc"
