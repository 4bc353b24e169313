// The "Company Info" and "App Info" pages driven with mouse and keyboard: what they
// show and what lands in the files.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/session.h"
#include "base/file_io.h"

#include "gui_driver.h"
#include "main_frm.h"
#include "manifest_export_frm.h"
#include "profiles/app_rules.h"
#include "support/peer_process.h"
#include "ui_tests.h"

namespace vendrix::test {

class ProfilePagesTest : public QObject {
  Q_OBJECT
 private slots:
  void companyAndApplicationCreatedThroughThePages();
  void inputRulesOfTheFields();
  void duplicateNamesAndDeletion();
  void padFileExportedAndImportedThroughTheWindows();
  void manifestsCheckedThenWrittenThroughTheWindow();
  void manifestDownloadVerifiedBeforeWriting();
};

void ProfilePagesTest::companyAndApplicationCreatedThroughThePages() {
  Program p(false);
  Dialogs dialogs;
  // No company yet: "App Info" sends the user back to create one.
  dialogs.Press(QMessageBox::Ok);
  dialogs.Name(QString("Acme"));
  p.ShowPage(1);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(0),
           "Error: You have not entered your company info. Please do so now!");
  QCOMPARE(dialogs.seen.value(1), "name: New Company Name");
  QCOMPARE(p.Find<QTabWidget>("PageControl1")->currentIndex(), 0);
  QCOMPARE(p.Find<QComboBox>("compname")->currentText(), "Acme");
  QCOMPARE(p.File("companies/companies.dat"), "Acme\r\n");

  TypeInto(p.Find<QLineEdit>("conname"), "Jane Doe");
  TypeInto(p.Find<QLineEdit>("pubpage"), "www.acme .com");  // the space key is refused
  QCOMPARE(p.Find<QLineEdit>("pubpage")->text(), "www.acme.com");
  QVERIFY(!p.main->Core().Flags().CompanySaved);
  QTest::mouseClick(p.Find<QPushButton>("SaveCompanyBtn"), Qt::LeftButton);
  const std::string company =
      "[COMPANY]\r\nCONAME=Acme\r\nBHSID=\r\nCONTACT=Jane Doe\r\nCTITLE=\r\nCEMAIL=\r\n"
      "CPHONE=\r\nCFAX=\r\nCADDR=\r\nCCITY=\r\nCSTATE=\r\nCZIP=\r\nCCOUNTRY=\r\n"
      "CURL=www.acme.com\r\nCCMAIL=\r\n";
  QCOMPARE(p.File("companies/Acme.dat"), company);
  QVERIFY(p.main->Core().Flags().CompanySaved);

  p.ShowPage(1);
  dialogs.Name(QString("Tidy"));
  QTest::mouseClick(p.Find<QPushButton>("NewAppBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.Find<QComboBox>("AppName")->currentText(), "Tidy");
  QCOMPARE(p.File("data/Acme Apps.dat"), "Tidy\r\n");

  TypeInto(p.Find<QLineEdit>("version"), "1.0");
  TypeInto(p.Find<QLineEdit>("day"), "5x");  // digits only
  TypeInto(p.Find<QLineEdit>("month"), "1");
  // A whole year is kept as the two digits that read back as it; a year that could
  // not be read back is refused with the command line's words, and the field shows
  // what is kept. Nothing typed is dropped without a word.
  auto* year = p.Find<QLineEdit>("year");
  TypeInto(year, "2026");
  Tab(year);
  QCOMPARE(year->text(), "26");
  QCOMPARE(p.Find<QLabel>("ldatel")->text(), "5-Jan-2026");
  dialogs.Press(QMessageBox::Ok);
  year->setFocus();
  year->selectAll();
  QTest::keyClicks(year, "2126");
  Tab(year);
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(dialogs.seen.last().endsWith(kYearRefused));
  QCOMPARE(year->text(), "26");
  year->clear();
  TypeInto(year, "99");
  Tab(year);
  QCOMPARE(p.Find<QLineEdit>("day")->text(), "5");
  QCOMPARE(p.Find<QLabel>("ldatel")->text(), "5-Jan-1999");
  Choose(p.Find<QComboBox>("platforms"), "Windows 95");
  Choose(p.Find<QComboBox>("status"), "Shareware");
  TypeInto(p.Find<QLineEdit>("price"), "$12.50");
  QCOMPARE(p.Find<QLineEdit>("price")->text(), "12.50");
  TypeInto(p.Find<QLineEdit>("filename"), "tidy10.zip-and-much-too-long");
  QCOMPARE(p.Find<QLineEdit>("filename")->text(), "tidy10.zip-and-m");  // 16 at most

  p.Find<QTabWidget>("AppInfoPages")->setCurrentIndex(2);
  // The short description counts its characters and beeps at its limit.
  auto* shortDesc = p.Find<QLineEdit>("shortdesc");
  QSignalSpy refused(shortDesc, &QLineEdit::inputRejected);
  TypeInto(shortDesc, QString(50, 'x'));
  QCOMPARE(shortDesc->text().size(), 46);
  QCOMPARE(refused.size(), 4);  // each key past the limit is answered (beep, tip)
  QCOMPARE(p.Find<QLabel>("shortdescCount")->text(), "46/46");
  shortDesc->clear();
  QCOMPARE(p.Find<QLabel>("shortdescCount")->text(), "0/46");
  TypeInto(shortDesc, "A tidy $note taker");
  auto* longdesc = p.Find<QPlainTextEdit>("longdesc");
  QTest::mouseClick(longdesc->viewport(), Qt::LeftButton);
  QTest::keyClicks(longdesc, "Line one");
  QTest::keyClick(longdesc, Qt::Key_Return);
  QTest::keyClicks(longdesc, "Costs $5");
  QVERIFY(!p.main->Core().Flags().AppSaved);
  QTest::mouseClick(p.Find<QPushButton>("SaveAppBtn"), Qt::LeftButton);
  QVERIFY(p.main->Core().Flags().AppSaved);

  const std::string app =
      company +
      "[APPINFO]\r\nFILENAME=tidy10.zip-and-m\r\nNAME=Tidy\r\n8CHAR=\r\nVERSION=1.0\r\nDAY=5\r\n"
      "MONTH=1\r\nYEAR=99\r\nPLATFORM=Windows 95\r\nDSTATUS=\r\nSIZE32=\r\nINSTSIZE32=\r\n"
      "SIZE16=\r\nINSTSIZE16=\r\nPRICE=12.50\r\nSTATUS=Shareware\r\nEVAL=\r\nXDATE=\r\n"
      "XDAYS=\r\ninstaller=\r\nAPPURL=\r\nDL1_32=\r\nDL2_32=\r\nDL3_32=\r\nDL4_32=\r\n"
      "DL1_16=\r\nDL2_16=\r\nDL3_16=\r\nDL4_16=\r\nSHOT=\r\nGIF=\r\nICO=\r\nPATH=\r\n"
      "ICOPATH=\r\nGIFPATH=\r\nSCREENPATH=\r\nOTHERPATH=\r\nSHORTDESC=A tidy note taker\r\n"
      "PADURL=\r\nLICENSE=\r\nLICENSEURL=\r\nPKGID=\r\nTAGS=\r\nINSTKIND=\r\nSILENT=\r\n"
      "PKGEXE=\r\nRELNOTES=\r\n";
  QCOMPARE(p.File("data/Tidy.dat"), app);
  QCOMPARE(p.File("data/Tidy.lds"), "Line one\r\nCosts 5\r\n");
  QCOMPARE(p.File("data/Tidy.nts"), "");
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ProfilePagesTest::inputRulesOfTheFields() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(1);
  auto* char8 = p.Find<QLineEdit>("char8name");
  char8->clear();
  dialogs.Press(QMessageBox::Ok);
  TypeInto(char8, "ab.c");
  Tab(char8);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(0),
           "Information: You can only have alpha-numeric values in this field.");
  QTRY_VERIFY(char8->hasFocus());
  QCOMPARE(char8->text(), "");
  QTest::keyClicks(char8, "ABC-12");
  Tab(char8);
  QTRY_COMPARE(char8->text(), "abc-12");
  QCOMPARE(p.main->Core().App().Profile().char8, "abc-12");

  auto* size = p.Find<QLineEdit>("bytesize32");
  // Both installed sizes have the same caption: each stands in its file size's row.
  auto rowOf = [&](const char* name) {
    auto* w = p.Find<QLineEdit>(name);
    return w->mapTo(w->window(), QPoint(0, w->height() / 2)).y();
  };
  QCOMPARE(rowOf("instsize32"), rowOf("bytesize32"));
  QCOMPARE(rowOf("instsize16"), rowOf("bytesize16"));
  size->clear();
  TypeInto(size, "12a3 ");
  QCOMPARE(size->text(), "123");
  auto* url = p.Find<QLineEdit>("appurl");
  url->clear();
  TypeInto(url, "http://x y");
  QCOMPARE(url->text(), "http://xy");

  // Selectors cannot be typed into.
  auto* apps = p.Find<QComboBox>("AppName");
  const QString shownApp = apps->currentText();
  apps->setFocus();
  QTest::keyClicks(apps, "P");
  QTest::keyClick(apps, Qt::Key_Down);
  QCOMPARE(apps->currentText(), shownApp);
  auto* platforms = p.Find<QComboBox>("platforms");
  const QString shownPlatform = platforms->currentText();
  platforms->setFocus();
  QTest::keyClicks(platforms, "Windows 3.1");
  QCOMPARE(platforms->currentText(), shownPlatform);
  // Up and Down move through a value list, and the choice is the application's.
  const int before = platforms->currentIndex();
  QTest::keyClick(platforms, before + 1 < platforms->count() ? Qt::Key_Down : Qt::Key_Up);
  QVERIFY(platforms->currentIndex() != before);
  QCOMPARE(QString::fromStdString(p.main->Core().App().Profile().platform),
           platforms->currentText());

  // Choosing another application shows its fields; the edits above are offered for
  // saving first, and Discard drops them.
  const std::string file = p.File("data/Tidy Notes.dat");
  dialogs.Press(QMessageBox::Discard);
  Choose(apps, "Pixel Ruler");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Save changes to Tidy Notes?");
  QCOMPARE(p.File("data/Tidy Notes.dat"), file);
  QCOMPARE(p.main->Core().App().Shown(), "Pixel Ruler");
  QCOMPARE(p.Find<QLineEdit>("version")->text(),
           QString::fromStdString(p.main->Core().App().Profile().version));
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ProfilePagesTest::duplicateNamesAndDeletion() {
  Program p;
  Dialogs dialogs;
  const std::string companies = p.File("companies/companies.dat");
  dialogs.Name(QString("Brightfield Software"));
  dialogs.ErrorOk();
  dialogs.Name(std::nullopt);
  QTest::mouseClick(p.Find<QPushButton>("NewCompanyBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(1),
           "ERROR: COMPANY NAME DUPLICATE | The company name you entered is already on the list!");
  QCOMPARE(dialogs.seen.value(2), "name: New Company Name");
  QCOMPARE(p.File("companies/companies.dat"), companies);

  // Deleting an application removes its name and its site table, nothing else.
  p.ShowPage(1);
  QVERIFY(std::filesystem::exists(p.Path("data/Tidy Notes_SITES.dat")));
  dialogs.Press(QMessageBox::No);
  QTest::mouseClick(p.Find<QPushButton>("DeleteAppBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(std::filesystem::exists(p.Path("data/Tidy Notes_SITES.dat")));
  dialogs.Press(QMessageBox::Yes);
  QTest::mouseClick(p.Find<QPushButton>("DeleteAppBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Delete This Application ?");
  QCOMPARE(p.File("data/Brightfield Software Apps.dat"), "Pixel Ruler\r\n");
  QVERIFY(!std::filesystem::exists(p.Path("data/Tidy Notes_SITES.dat")));
  QVERIFY(std::filesystem::exists(p.Path("data/Tidy Notes.dat")));
  QCOMPARE(p.Find<QComboBox>("AppName")->currentText(), "Pixel Ruler");
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ProfilePagesTest::padFileExportedAndImportedThroughTheWindows() {
  Program p;
  Dialogs dialogs;
  // The file choosers answer from a queue of paths ("" cancels) and say which they were.
  QStringList choosers;
  QStringList paths;
  p.main->Prompt().SetFileChooser([&](ui::QtPrompt::FileMode mode, const FileChoice& choice) {
    choosers << QString(mode == ui::QtPrompt::FileMode::Save ? "save: " : "open: ") +
                    QString::fromStdString(choice.title) +
                    (p.main->Prompt().Proposed().isEmpty() ? QString()
                                                           : " as " + p.main->Prompt().Proposed());
    return paths.isEmpty() ? QString() : paths.takeFirst();
  });
  const QString file = QString::fromStdString(p.Path("tidy.xml"));

  // Cancelling the save chooser writes nothing.
  p.ShowPage(1);
  paths << "";
  QTest::mouseClick(p.Find<QPushButton>("ExportPadBtn"), Qt::LeftButton);
  // The chooser proposes the application's name with the lower-case extension.
  QCOMPARE(choosers, QStringList{"save: Export PAD File as Tidy Notes.xml"});
  QCOMPARE(p.File("tidy.xml"), "<missing>");

  // The App Info button writes the shown application.
  paths << file;
  QTest::mouseClick(p.Find<QPushButton>("ExportPadBtn"), Qt::LeftButton);
  std::string xml = p.File("tidy.xml");
  QVERIFY(xml.find("<Program_Name>Tidy Notes</Program_Name>") != std::string::npos);
  QVERIFY(xml.find("<Company_Name>") != std::string::npos);

  // The same file with a new version. "No" to the question leaves the application as
  // it is; Cancel in the change table too.
  const std::string version = "<Program_Version>2.1</Program_Version>";
  xml.replace(xml.find(version), version.size(), "<Program_Version>3.0</Program_Version>");
  WriteFileAtomic(p.Path("tidy.xml"), xml);
  const std::string before = p.File("data/Tidy Notes.dat");
  QAction* import = p.main->findChild<QAction*>("ImportPadItem");
  paths << file;
  dialogs.Press(QMessageBox::No);
  import->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  paths << file;
  dialogs.Press(QMessageBox::Yes);
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->objectName(), "TPadImportFrm");
    QTest::mouseClick(w->findChild<QPushButton*>("CancelBtn"), Qt::LeftButton);
  });
  import->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("data/Tidy Notes.dat"), before);
  QCOMPARE(p.Find<QLineEdit>("version")->text(), "2.1");

  // Yes, then Import in the change table: the one changed value is written and shown.
  paths << file;
  dialogs.Press(QMessageBox::Yes);
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->objectName(), "TPadImportFrm");
    auto* grid = w->findChild<QTableWidget*>("PadChangesGrid");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text(), "VERSION");
    QCOMPARE(grid->item(0, 1)->text(), "2.1");
    QCOMPARE(grid->item(0, 2)->text(), "3.0");
    QTest::mouseClick(w->findChild<QPushButton*>("ImportBtn"), Qt::LeftButton);
  });
  import->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  const QString question =
      "Confirm: The application Tidy Notes already exists. Update it with the values of the "
      "PAD file?";
  QCOMPARE(dialogs.seen, QStringList({question, question, question}));
  QCOMPARE(choosers.size(), 5);
  QCOMPARE(choosers.last(), "open: Import PAD File");
  QCOMPARE(p.Find<QLineEdit>("version")->text(), "3.0");
  QVERIFY(p.File("data/Tidy Notes.dat").find("\r\nVERSION=3.0\r\n") != std::string::npos);
  QVERIFY2(dialogs.unexpected.isEmpty(), qPrintable(dialogs.unexpected.join("; ")));
}

namespace {
RegisterTest<ProfilePagesTest> reg("ProfilePagesTest");
}

// File -> "Export Package Manifests…" on the demo: nothing broken, all written; 17
// tags typed on the Packages sheet: the rule is named and Write is off.
void ProfilePagesTest::manifestsCheckedThenWrittenThroughTheWindow() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(1);
  const QString out = QString::fromStdString(p.Path("manifests"));
  dialogs.Then([&](QWidget* w) {
    QCOMPARE(w->objectName(), "TManifestExportFrm");
    QCOMPARE(w->findChild<QTableWidget*>("ManifestFindingsGrid")->rowCount(), 0);
    w->findChild<QLineEdit*>("OutDirEdit")->setText(out);
    QTest::mouseClick(w->findChild<QPushButton*>("WriteBtn"), Qt::LeftButton);
    QVERIFY(w->findChild<QLabel*>("ManifestVerdictLbl")->text().contains("bucket/tidynotes.json"));
    QTest::mouseClick(w->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
  });
  p.main->findChild<QAction*>("ExportManifestsItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(p.File("manifests/chocolatey/tidynotes.2.1.nupkg") != "<missing>");

  p.Find<QTabWidget>("AppInfoPages")->setCurrentIndex(3);
  QLineEdit* tags = p.Find<QLineEdit>("tags");
  tags->end(false);
  TypeInto(tags, ",a,b,c,d,f,g,h,i,j,k,l,m");
  dialogs.Then([](QWidget* w) {
    auto* grid = w->findChild<QTableWidget*>("ManifestFindingsGrid");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text() + " " + grid->item(0, 1)->text() + ": " +
                 grid->item(0, 2)->text() + " (" + grid->item(0, 3)->text() + ")",
             "winget Tags: at most 16 tags (17 tags)");
    QVERIFY(!w->findChild<QPushButton*>("WriteBtn")->isEnabled());
    QTest::mouseClick(w->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(p.Find<QPushButton>("ExportManifestsBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
}

// "Verify download" fetches the installer on a worker before anything is written:
// another file at the address is a finding and nothing is written, Cancel ends a slow
// fetch, and the program file itself lets the manifests be written.
void ProfilePagesTest::manifestDownloadVerifiedBeforeWriting() {
  Program p;
  Session& core = p.main->Core();
  const std::string program = ReadFile(p.Path("dist/tidynote.exe")).value();
  std::string other = program;
  other[100] = other[100] == 'X' ? 'Y' : 'X';
  auto ok = [](const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  const nlohmann::json routes = {{"/right", {{"raw", ok(program)}}},
                                 {"/other", {{"raw", ok(other)}}},
                                 {"/slow", {{"raw", ok(program)}, {"drip", {16, 0.5}}}}};
  WriteFile(p.Path("routes.json"), routes.dump());
  PeerProcess peer({PeerScript("http_peer.py"), "--routes", p.Path("routes.json")});
  const std::string base = "http://127.0.0.1:" + std::to_string(peer.port());
  const std::string written = p.Path("out/bucket/tidynotes.json");
  struct Case {
    const char* path;
    bool cancel;
    const char* finding;  // the table's only row, or "" for none
    const char* verdict;  // how the window's verdict begins
  };
  const Case cases[] = {
      {"/other", false, "download InstallerUrl", "The download check failed"},
      {"/slow", true, "", "The download check was cancelled"},
      {"/right", false, "", "Download check: "},
  };
  for (const Case& c : cases) {
    AppProfile app = core.App().Profile();
    app.dl1_32 = base + c.path;
    ui::TManifestExportFrm w(
        "Tidy Notes",
        [&](unsigned channels, bool pack) {
          return PlanManifests(core.Company().Profile(), app, channels, pack,
                               core.Wide().ProgramDir);
        },
        p.main.get());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.findChild<QCheckBox*>("WingetCheck")->setChecked(false);  // winget takes https only
    w.findChild<QCheckBox*>("VerifyDownloadCheck")->setChecked(true);
    w.findChild<QLineEdit*>("OutDirEdit")->setText(QString::fromStdString(p.Path("out")));
    QTest::mouseClick(w.findChild<QPushButton*>("WriteBtn"), Qt::LeftButton);
    QVERIFY2(w.Verifying(), c.path);
    QVERIFY(!w.findChild<QPushButton*>("WriteBtn")->isEnabled());
    if (c.cancel) QTest::mouseClick(w.findChild<QPushButton*>("CancelCheckBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Verifying(), 30000);
    auto* grid = w.findChild<QTableWidget*>("ManifestFindingsGrid");
    QCOMPARE(grid->rowCount() == 0 ? QString()
                                   : grid->item(0, 0)->text() + " " + grid->item(0, 1)->text(),
             QString(c.finding));
    auto* verdict = w.findChild<QLabel*>("ManifestVerdictLbl");
    QVERIFY2(verdict->text().startsWith(c.verdict), qPrintable(verdict->text()));
    QCOMPARE(std::filesystem::exists(written), std::string(c.path) == "/right");
    w.close();
  }
}

}  // namespace vendrix::test

#include "profile_pages_test.moc"
