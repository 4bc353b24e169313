// The windows of the data-file update, the BHS account and the site contribution,
// driven as a person would, with their network work against loopback peers (or a
// scripted sender) while the windows stay responsive.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "bhs_frm.h"
#include "bhs_new_account_frm.h"
#include "contribute_frm.h"
#include "geteng_frm.h"
#include "gui_driver.h"
#include "services_http.h"
#include "settings_form.h"
#include "steps.h"
#include "ui_tests.h"

namespace vendrix::test {
namespace fs = std::filesystem;

namespace {

constexpr const char* kArchivePath = "/vendrix/engines/vxsites.zip";

template <typename T>
T* Child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(name);
  if (!c) qFatal("no child %s", name);
  return c;
}

// A contribution sender that waits until the test lets it finish.
class HeldSender : public ContributionSender {
 public:
  void Send(const ContributionMessage& m) override {
    std::unique_lock<std::mutex> lock(mutex_);
    sent.push_back(m);
    entered = true;
    changed_.wait(lock, [this] { return released_ || cancelled; });
    if (cancelled) throw std::runtime_error("cancelled");
    if (!failure.empty()) throw std::runtime_error(failure);
  }
  void Cancel() override {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled = true;
    changed_.notify_all();
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::vector<ContributionMessage> sent;
  std::atomic<bool> entered{false};
  std::atomic<bool> cancelled{false};
  std::string failure;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
};

}  // namespace

class ServiceWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void updateInstallsArchiveAndClosesWithoutQuestions();
  void updateCancelledDuringSlowDownloadKeepsCatalogue();
  void bhsBrowseFillsListAndAssignsChosenId();
  void bhsNewAccountRequestsAndAssignsId();
  void bhsUnreachableServerClosesWindow();
  void contributionSendsSiteFilesAndHidesButton();
  void contributionFailureAndCancel();
  void settingsKeepServiceAddresses();
  void windowsShowEveryTextWhole();
};

void ServiceWindowsTest::updateInstallsArchiveAndClosesWithoutQuestions() {
  Program p;
  TempDir peerDir;
  HttpPeer peer(peerDir, false);
  const std::string zip = MakeZip(peerDir, {{"Sites.dat", "Alpha\r\n"},
                                            {"Alpha.ini", "[SETTINGS]\r\n"},
                                            {"Alpha Cat1.cat", "Tools\r\n"},
                                            {"a.catalog", "odd\r\n"}});
  peer.Routes({{kArchivePath, Reply200(zip)}});
  p.main->Core().Settings().updateUrl = peer.Url(kArchivePath);
  // Unsaved changes are not asked about after an update: the program must restart.
  p.main->Core().Flags().CompanySaved = false;
  WriteFile(p.Path("sites/updates/left over.ini"), "old");

  Steps steps;
  int percentShown = -1;
  steps.Window("Tgeteng", [&](QWidget* w) {
    QVERIFY(!fs::exists(p.Path("sites/updates/left over.ini")));  // emptied on opening
    QCOMPARE(Child<QLabel>(w, "Label4")->text(), QString("Status:"));
    Child<QPushButton>(w, "Button1")->click();
  });
  steps.When([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
             [&] {
               auto* w = p.main->findChild<ui::TgetengWindow*>();
               percentShown = static_cast<int>(Child<QLCDNumber>(w, "percent")->value());
             });
  steps.Box(QMessageBox::Ok);
  steps.Box(QMessageBox::Ok);
  p.main->RunCommand(ui::TMainFrm::Command::UpdateDataFiles);
  QTRY_VERIFY(steps.Done());
  QCOMPARE(steps.seen, QStringList({"Information: Data File Update Complete",
                                    "Information: You must now restart Vendrix!"}));
  QCOMPARE(percentShown, 100);
  QVERIFY(!p.main->isVisible());
  QCOMPARE(p.File("sites/Sites.dat"), std::string("Alpha\r\n"));
  QVERIFY(fs::exists(p.Path("sites/Alpha.ini")));
  QVERIFY(fs::exists(p.Path("cat/Alpha Cat1.cat")));
  QVERIFY(fs::exists(p.Path("cat/a.catalog")));
  QVERIFY(fs::is_empty(p.Path("sites/updates")));
}

void ServiceWindowsTest::updateCancelledDuringSlowDownloadKeepsCatalogue() {
  Program p;
  TempDir peerDir;
  HttpPeer peer(peerDir, false);
  peer.RawRoutes(std::string("{\"") + kArchivePath + "\": {\"sleep\": 30}}");
  p.main->Core().Settings().updateUrl = peer.Url(kArchivePath);
  const std::string before = p.File("sites/Sites.dat");

  ui::TgetengWindow w(*p.main);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  Child<QPushButton>(&w, "Button1")->click();
  QVERIFY(w.Working());
  QTRY_COMPARE(Child<QLabel>(&w, "Label4")->text(), QString("Connecting to Halvane Server"));
  // The window keeps painting and answering while the server says nothing.
  QTest::qWait(300);
  QVERIFY(w.Working());
  QVERIFY(!Child<QPushButton>(&w, "Button1")->isEnabled());
  Steps steps;
  steps.Box(QMessageBox::Ok);
  QElapsedTimer clock;
  clock.start();
  Child<QPushButton>(&w, "CancelBtn")->click();
  QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
  QVERIFY(clock.elapsed() < 3000);
  QTRY_VERIFY(steps.Done());
  QVERIFY(steps.seen.front().contains("The catalogue was not changed."));
  QVERIFY(!w.UpdateComplete());
  QCOMPARE(p.File("sites/Sites.dat"), before);
}

void ServiceWindowsTest::bhsBrowseFillsListAndAssignsChosenId() {
  Program p;
  TempDir peerDir;
  HttpPeer peer(peerDir, false);
  peer.Routes({{"/additem1.asp", Reply200("<html><select>\r\n"
                                          "<option value=\"0\">Choose your company</option>\r\n"
                                          "<option value=\"1201\">Acme Tools\r\n"
                                          "<option value=\"88\">Brightfield Software\r\n"
                                          "</select></html>\r\n")}});
  p.main->Core().Settings().bhsServer = peer.HostPort();
  p.main->Core().Flags().CompanySaved = true;

  Steps steps;
  QStringList rows;
  steps.Window("TBHSFrm", [](QWidget* w) {
    QVERIFY(!Child<QPushButton>(w, "UseSelectedBtn")->isEnabled());
    Child<QPushButton>(w, "BrowseBtn")->click();
  });
  steps.Box(QMessageBox::Yes);  // connected to the Internet?
  steps.When(
      [&] {
        auto* w = p.main->findChild<ui::TBHSFrmWindow*>();
        return w && !w->Working() && Child<QTreeWidget>(w, "AccountList")->topLevelItemCount() > 0;
      },
      [&] {
        auto* w = p.main->findChild<ui::TBHSFrmWindow*>();
        auto* list = Child<QTreeWidget>(w, "AccountList");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
          rows << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
        QVERIFY(list->isVisible());
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        QVERIFY(Child<QPushButton>(w, "UseSelectedBtn")->isEnabled());
        // The first entry's name differs from the company's: the question, answered No.
        Child<QPushButton>(w, "UseSelectedBtn")->click();
      });
  steps.Box(QMessageBox::No);
  steps.When([&] { return !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
             [&] {
               auto* w = p.main->findChild<ui::TBHSFrmWindow*>();
               auto* list = Child<QTreeWidget>(w, "AccountList");
               list->setCurrentItem(list->topLevelItem(1));
               Child<QPushButton>(w, "UseSelectedBtn")->click();
             });
  steps.Box(QMessageBox::Ok);
  QTest::mouseClick(p.Find<QPushButton>("BHSIDBtn"), Qt::LeftButton);
  QTRY_VERIFY(steps.Done());
  QCOMPARE(rows, QStringList({"Acme Tools|1201", "Brightfield Software|88"}));
  QCOMPARE(steps.seen.back(), QString("Information: Your BHS ID# is: 88"));
  QCOMPARE(steps.seen.size(), 3);
  QCOMPARE(p.main->Core().Company().Profile().bhsId, std::string("88"));
  QVERIFY(!p.main->Core().Flags().CompanySaved);  // written with the next save
}

void ServiceWindowsTest::bhsNewAccountRequestsAndAssignsId() {
  Program p;
  TempDir peerDir;
  HttpPeer peer(peerDir, false);
  peer.Routes(
      {{"/additem2.asp", Reply200("<p>Thank you</p>\r\n<input name=id value=\"5150\">\r\n")}});
  p.main->Core().Settings().bhsServer = peer.HostPort();

  Steps steps;
  steps.Window("TBHSFrm", [](QWidget* w) { Child<QPushButton>(w, "NewAccountBtn")->click(); });
  steps.Window("TBHSNewAccountFrm", [](QWidget* w) {
    QCOMPARE(Child<QLineEdit>(w, "CompanyNameEdit")->text(), QString("Brightfield Software"));
    QCOMPARE(Child<QLineEdit>(w, "StateCountryEdit")->text(), QString("Avon/GB"));
    QCOMPARE(Child<QLineEdit>(w, "ZipCodeEdit")->maxLength(), 10);
    Child<QLineEdit>(w, "CompanyNameEdit")->setText("Brightfield & Sons");
    Child<QPushButton>(w, "RequestBtn")->click();
  });
  steps.Box(QMessageBox::Yes);
  steps.Box(QMessageBox::Ok);
  QTest::mouseClick(p.Find<QPushButton>("BHSIDBtn"), Qt::LeftButton);
  QTRY_VERIFY(steps.Done());
  QCOMPARE(steps.seen.back(), QString("Information: Your BHS ID# is: 5150"));
  QCOMPARE(p.main->Core().Company().Profile().bhsId, std::string("5150"));
  const auto requests = peer.Requests();
  QCOMPARE(requests.size(), std::size_t{1});
  const std::string& r = requests.front();
  QVERIFY(r.rfind("POST /additem2.asp", 0) == 0);
  // Every value is encoded: an "&" in a name cannot split the form.
  QVERIFY(r.find("name=Brightfield+%26+Sons&Address1=12+Quay+Street&Address2=+&") !=
          std::string::npos);
  QVERIFY(r.find("FTPSite=none&") != std::string::npos);
}

void ServiceWindowsTest::bhsUnreachableServerClosesWindow() {
  Program p;
  TempDir peerDir;
  HttpPeer peer(peerDir, false);  // every path: 404
  p.main->Core().Settings().bhsServer = peer.HostPort();
  Steps steps;
  steps.Window("TBHSFrm", [](QWidget* w) { Child<QPushButton>(w, "BrowseBtn")->click(); });
  steps.Box(QMessageBox::Yes);
  steps.Box(QMessageBox::Ok);
  QTest::mouseClick(p.Find<QPushButton>("BHSIDBtn"), Qt::LeftButton);
  QTRY_VERIFY(steps.Done());
  QCOMPARE(steps.seen.back(), "Error: Could not connect to BHS! (" +
                                  QString::fromStdString(peer.HostPort()) +
                                  ": 151: 404 Not Found)");
  QVERIFY(p.main->findChild<ui::TBHSFrmWindow*>() == nullptr);
  QVERIFY(p.main->Core().Company().Profile().bhsId.empty());
}

void ServiceWindowsTest::contributionSendsSiteFilesAndHidesButton() {
  Program p;
  Session& s = p.main->Core();
  QVERIFY(s.Builder().OpenSite("Demo Form Get"));
  HeldSender sender;
  ui::TContributeFrmWindow w(*p.main, sender);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  // The window says that the FTP login stays behind.
  QVERIFY(Child<QLabel>(&w, "LoginNote")->isVisible());
  QVERIFY(Child<QLabel>(&w, "LoginNote")->text().contains(kContributionLeavesLogin));
  Steps steps;
  steps.Box(QMessageBox::Ok);
  Child<QPushButton>(&w, "SubmitBtn")->click();
  QTRY_VERIFY(sender.entered);
  // While the mail goes out the wait panel shows and the window still repaints.
  QTRY_VERIFY(Child<QWidget>(&w, "WaitPanel")->isVisible());
  QVERIFY(!Child<QPushButton>(&w, "SubmitBtn")->isEnabled());
  w.repaint();
  sender.Release();
  QTRY_VERIFY(steps.Done());
  QTRY_VERIFY(!w.isVisible());
  QCOMPARE(steps.seen, QStringList({"Information: Submission Sent. Thank You!"}));
  QCOMPARE(sender.sent.size(), std::size_t{1});
  const ContributionMessage& m = sender.sent.front();
  QCOMPARE(m.subject, std::string("New Site Submission for: Demo Form Get"));
  QCOMPARE(m.senderName, std::string("Mira Holt"));
  QCOMPARE(m.to, s.Settings().contributeAddress);
  std::vector<std::string> names;
  for (const auto& a : m.attachments) names.push_back(fs::path(a).filename().string());
  QCOMPARE(names, (std::vector<std::string>{"Demo Form Get.ini", "Demo Form Get Cat1.cat",
                                            "Demo Form Get Cat2.cat", "Demo Form Get HTTP_NEW.scp",
                                            "Demo Form Get HTTP_UPDATE.scp"}));
  QVERIFY(s.ContributeHidden());
}

void ServiceWindowsTest::contributionFailureAndCancel() {
  Program p;
  QVERIFY(p.main->Core().Builder().OpenSite("Demo Form Get"));
  {
    HeldSender sender;
    sender.failure = "550 mailbox unavailable";
    ui::TContributeFrmWindow w(*p.main, sender);
    w.show();
    Steps steps;
    steps.Box(QMessageBox::Ok);
    Child<QPushButton>(&w, "SubmitBtn")->click();
    QTRY_VERIFY(sender.entered);
    sender.Release();
    QTRY_VERIFY(steps.Done());
    QCOMPARE(steps.seen, QStringList({"Error: ERROR -> Submission Could Not Be Sent!"}));
    QTRY_VERIFY(!w.isVisible());
  }
  {
    // Closing the window while the mail goes out stops it at once.
    HeldSender sender;
    ui::TContributeFrmWindow w(*p.main, sender);
    w.show();
    Steps steps;
    steps.Box(QMessageBox::Ok);
    Child<QPushButton>(&w, "SubmitBtn")->click();
    QTRY_VERIFY(sender.entered);
    w.close();
    QTRY_VERIFY(sender.cancelled);
    QTRY_VERIFY(steps.Done());
    QCOMPARE(steps.seen, QStringList({"Error: ERROR -> Submission Could Not Be Sent!"}));
    QTRY_VERIFY(!w.isVisible());
  }
  QVERIFY(!p.main->Core().ContributeHidden());
  {
    // No contact: nothing is sent.
    p.main->Core().Company().SetField("CEMAIL", "nobody");
    HeldSender sender;
    ui::TContributeFrmWindow w(*p.main, sender);
    w.show();
    Steps steps;
    steps.Box(QMessageBox::Ok);
    Child<QPushButton>(&w, "SubmitBtn")->click();
    QTRY_VERIFY(steps.Done());
    QCOMPARE(steps.seen, QStringList({"Error: You do not have your company contact info filled in. "
                                      "Please do so now!"}));
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(sender.sent.empty());
  }
}

void ServiceWindowsTest::settingsKeepServiceAddresses() {
  Program p;
  const std::string file = p.main->Core().Wide().SettingsFile();
  {
    ui::TSettingsForm form(*p.main);
    form.show();
    auto* update = Child<QLineEdit>(&form, "UpdateURLEdit");
    QCOMPARE(update->text(), QString(kDefaultUpdateUrlSetting));
    Child<QLineEdit>(&form, "BHSServerEdit")->setText(" bhs.test:8080 ");
    auto* security = Child<QComboBox>(&form, "SMTPSecurityCombo");
    QCOMPARE(security->currentText(), QString("Auto"));
    security->setCurrentIndex(security->findText("STARTTLS"));
    Child<QLineEdit>(&form, "SMTPUserEdit")->setText("mira");
    auto* password = Child<QLineEdit>(&form, "SMTPPasswordEdit");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    password->setText("s3cret pw");
    Child<QPushButton>(&form, "OkBtn")->click();
  }
  const std::string text = p.File("settings.dat");
  QVERIFY(text.find("SMTPSecurity=STARTTLS\r\n") != std::string::npos);
  QVERIFY(text.find("SMTPUser=mira\r\n") != std::string::npos);
  QVERIFY(text.find("SMTPPassword=s3cret pw\r\n") != std::string::npos);
  // A file holding a password is for its owner's eyes only.
  QCOMPARE(fs::status(file).permissions() & fs::perms::all,
           fs::perms::owner_read | fs::perms::owner_write);
  QVERIFY(text.find("BHSServer=bhs.test:8080\r\n") != std::string::npos);
  // An address left as it was is not written.
  QVERIFY(text.find("UpdateURL") == std::string::npos);
  QCOMPARE(p.main->Core().Settings().bhsServer, std::string("bhs.test:8080"));
  {
    ui::TSettingsForm form(*p.main);
    QCOMPARE(Child<QLineEdit>(&form, "BHSServerEdit")->text(), QString("bhs.test:8080"));
    QCOMPARE(Child<QComboBox>(&form, "SMTPSecurityCombo")->currentText(), QString("STARTTLS"));
    QCOMPARE(Child<QLineEdit>(&form, "SMTPPasswordEdit")->text(), QString("s3cret pw"));
    Child<QLineEdit>(&form, "BHSServerEdit")->setText("elsewhere");
    Child<QPushButton>(&form, "CancelBtn")->click();
  }
  QCOMPARE(LoadProgramSettings(file).bhsServer, std::string("bhs.test:8080"));
}

// Each window once on screen: no label or button narrower than its text, and a
// screenshot for the reviewer.
void ServiceWindowsTest::windowsShowEveryTextWhole() {
  Program p;
  QStringList cut;
  auto check = [&](QWidget* w, const QString& name) {
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    NoteScreenNames(w);
    for (QWidget* child : w->findChildren<QWidget*>()) {
      if (!child->isVisible()) continue;
      auto* label = qobject_cast<QLabel*>(child);
      if (!(label && !label->wordWrap()) && !qobject_cast<QAbstractButton*>(child)) continue;
      if (child->width() < child->minimumSizeHint().width())
        cut << name + ": " + child->objectName();
    }
    if (QGuiApplication::platformName() == "xcb") {
      QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
      QVERIFY(w->grab().save(QString(VENDRIX_SCREENSHOT_DIR) + "/" + name + ".png"));
    }
    w->hide();
  };
  {
    ui::TgetengWindow w(*p.main);
    check(&w, "update-data-files");
  }
  {
    ui::TBHSFrmWindow w(*p.main);
    check(&w, "bhs-id");
  }
  {
    ui::TBHSNewAccountFrmWindow w({}, p.main->Core().Company().Profile(), p.main.get());
    check(&w, "bhs-new-account");
  }
  {
    // The window comes from the Site Builder with the site to send open.
    QVERIFY(p.main->Core().Builder().OpenSite("Demo Form Get"));
    HeldSender sender;
    ui::TContributeFrmWindow w(*p.main, sender);
    check(&w, "contribute");
  }
  QVERIFY2(cut.isEmpty(), qPrintable(cut.join("\n")));
}

namespace {
RegisterTest<ServiceWindowsTest> reg("ServiceWindowsTest");
}

}  // namespace vendrix::test

#include "service_windows_test.moc"
