// The "Sites" and "Site Builder" pages and their windows driven with mouse and
// keyboard: the grid and its table file, site definitions and script files, the
// variables window, the script and engine checks and the mass change.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "base/line_list.h"
#include "gui_driver.h"
#include "ui_tests.h"

namespace vendrix::test {

class CataloguePagesTest : public QObject {
  Q_OBJECT
 private slots:
  void gridEditsReachTheTableFile();
  void gridRefusalsAndAllRows();
  void siteBuilderEditsAndSavesScripts();
  void variablesWindowInsertsIntoTheFocusedEditor();
  void newSiteMatchUpsAndDelete();
  void engineCheckerAndMassChange();
};

namespace {

// The fields of one site's line in a table file.
QStringList TableLine(const std::string& file, const std::string& site) {
  for (const auto& line : SplitLines(file)) {
    if (line.rfind(site + "\xB1", 0) == 0) {
      QStringList fields;
      std::size_t start = 0;
      for (;;) {
        auto pos = line.find('\xB1', start);
        fields << QString::fromLatin1(line.substr(start, pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
      }
      return fields;
    }
  }
  return {};
}

void RightClickRow(QTableView* grid, int row) {
  const QModelIndex index = grid->model()->index(row, 0);
  const QPoint at = grid->visualRect(index).center();
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
  QApplication::sendEvent(grid->viewport(), &event);
}

void ClickMenuItem(QMenu* menu, const char* name) {
  QTRY_VERIFY(menu->isVisible());
  QAction* action = menu->findChild<QAction*>(name);
  QVERIFY(action);
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  QTRY_VERIFY(!menu->isVisible());
}

}  // namespace

void CataloguePagesTest::gridEditsReachTheTableFile() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(2);
  auto* grid = p.Find<QTableView>("SiteGrid");
  QCOMPARE(grid->model()->rowCount(), 6);
  QCOMPARE(p.Find<QLabel>("SiteGridCountLbl")->text(), "6");
  const int total = p.Find<QLabel>("TotalToPostLbl")->text().toInt();
  QCOMPARE(grid->model()->index(2, 0).data().toString(), "Demo Form Post");

  ClickRow(grid, 2);
  auto* cat1 = p.Find<QComboBox>("CatCombo1");
  auto* cat2 = p.Find<QComboBox>("CatCombo2");
  QVERIFY(cat1->isEnabled());
  QVERIFY(!cat2->isEnabled());  // the site wants one, but has no secondary list
  QCOMPARE(cat1->count(), 4);
  Choose(cat1, "Games");
  QCOMPARE(grid->model()->index(2, 3).data().toString(), "Games");
  auto* post = p.Find<QCheckBox>("DoPostCheckBox");
  QVERIFY(post->isChecked());
  QTest::mouseClick(post, Qt::LeftButton, {}, QPoint(8, post->height() / 2));
  QCOMPARE(grid->model()->index(2, 10).data().toString(), "N");
  QCOMPARE(p.Find<QLabel>("TotalToPostLbl")->text().toInt(), total - 1);
  QVERIFY(p.main->Core().Flags().SiteTableChanged);

  QTest::mouseClick(p.Find<QPushButton>("AppSiteChangeBtn"), Qt::LeftButton);
  QVERIFY(!p.main->Core().Flags().SiteTableChanged);
  QStringList line = TableLine(p.File("data/Tidy Notes_SITES.dat"), "Demo Form Post");
  QCOMPARE(line.size(), 6);
  QCOMPARE(line[2], "Games");
  QCOMPARE(line[5], "N");

  // The context menu names what its entries will do.
  RightClickRow(grid, 2);
  auto* popup = p.Find<QMenu>("SiteGridPopupMenu");
  QTRY_VERIFY(popup->isVisible());
  QCOMPARE(popup->findChild<QAction*>("SG_PopUp_ToPost")->text(), "Set Post To YES");
  QCOMPARE(popup->findChild<QAction*>("SG_PopUp_ChangePostDate")->text(),
           "Set Last Post Date To NOW");
  ClickMenuItem(popup, "SG_PopUp_ChangePostDate");
  QVERIFY(grid->model()->index(2, 9).data().toString() != "Unknown");
  RightClickRow(grid, 2);
  QTRY_VERIFY(popup->isVisible());
  QCOMPARE(popup->findChild<QAction*>("SG_PopUp_ChangePostDate")->text(),
           "Set Last Post Date To Unknown");
  ClickMenuItem(popup, "SG_PopUp_GoToSiteBuilder");
  QCOMPARE(p.Find<QTabWidget>("PageControl1")->currentIndex(), 4);
  QCOMPARE(p.Find<QComboBox>("EB_SiteNameCombo")->currentText(), "Demo Form Post");

  // Arrows wrap around; Go to URL opens the site's page.
  p.ShowPage(2);
  ClickRow(grid, 5);
  QTest::mouseClick(p.Find<QToolButton>("SiteGridDownBtn"), Qt::LeftButton);
  QCOMPARE(grid->currentIndex().row(), 0);
  QTest::mouseClick(p.Find<QToolButton>("SiteGridUpBtn"), Qt::LeftButton);
  QCOMPARE(grid->currentIndex().row(), 5);
  ClickRow(grid, 2);
  QTest::mouseClick(p.Find<QPushButton>("AppSiteGoUrlBtn"), Qt::LeftButton);
  QCOMPARE(p.opened, QStringList({"http://127.0.0.1:8080/"}));
  // From the keyboard: Space ticks "P" and back, Enter opens the site's page, Tab
  // leaves the table at once.
  grid->setFocus();
  const QString marked = grid->model()->index(2, 10).data().toString();
  QTest::keyClick(grid, Qt::Key_Space);
  QVERIFY(grid->model()->index(2, 10).data().toString() != marked);
  QTest::keyClick(grid, Qt::Key_Space);
  QCOMPARE(grid->model()->index(2, 10).data().toString(), marked);
  QTest::keyClick(grid, Qt::Key_Return);
  QCOMPARE(p.opened.size(), 2);
  QTest::keyClick(grid, Qt::Key_Tab);
  QVERIFY(!grid->hasFocus());

  // "Use Grid Lines" writes its one key at once.
  auto* lines = p.Find<QCheckBox>("UseGridLinesChk");
  QTest::mouseClick(lines, Qt::LeftButton, {}, QPoint(8, lines->height() / 2));
  QVERIFY(grid->showGrid());
  QCOMPARE(p.File("settings.dat"), "[SETTINGS]\r\nUseGridLines=1\r\n");
  QVERIFY(dialogs.unexpected.isEmpty());
}

void CataloguePagesTest::gridRefusalsAndAllRows() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(2);  // "Tidy Notes" is shareware
  auto* grid = p.Find<QTableView>("SiteGrid");
  QCOMPARE(grid->model()->index(5, 0).data().toString(), "Freeware Corner");
  QCOMPARE(grid->model()->index(5, 10).data().toString(), "N");
  ClickRow(grid, 5);
  auto* post = p.Find<QCheckBox>("DoPostCheckBox");
  dialogs.Press(QMessageBox::Ok);
  QTest::mouseClick(post, Qt::LeftButton, {}, QPoint(8, post->height() / 2));
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(0),
           "Error: Cannot change post to yes. Applications \"Platform\" or \"Status\" is not "
           "compatible with engines settings!");
  QVERIFY(!post->isChecked());
  QCOMPARE(grid->model()->index(5, 10).data().toString(), "N");

  dialogs.Press(QMessageBox::No);
  QTest::mouseClick(p.Find<QPushButton>("AllToNoPostBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(p.Find<QLabel>("TotalToPostLbl")->text().toInt() > 0);
  dialogs.Press(QMessageBox::Yes);
  QTest::mouseClick(p.Find<QPushButton>("AllToNoPostBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Sure you want to change all to \"No Post\"?");
  QCOMPARE(p.Find<QLabel>("TotalToPostLbl")->text(), "0");
  dialogs.Press(QMessageBox::Yes);
  QTest::mouseClick(p.Find<QPushButton>("AllToPostBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  // Every site but the freeware-only one takes this application.
  QCOMPARE(p.Find<QLabel>("TotalToPostLbl")->text(), "5");
  QCOMPARE(grid->model()->index(5, 10).data().toString(), "N");
  QVERIFY(dialogs.unexpected.isEmpty());
}

void CataloguePagesTest::siteBuilderEditsAndSavesScripts() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(4);
  Choose(p.Find<QComboBox>("EB_SiteNameCombo"), "Demo Form Post");
  QCOMPARE(p.Find<QLineEdit>("EB_SitesWebUrlEdit")->text(), "http://127.0.0.1:8080/");
  QVERIFY(p.main->Core().Flags().SiteSaved);
  auto* tabs = p.Find<QTabWidget>("SiteBuilderPages");
  tabs->setCurrentIndex(1);
  auto* script = p.Find<QPlainTextEdit>("EB_NewSubmissionMemo");
  QVERIFY(script->isEnabled());
  const std::string before = p.File("sites/Demo Form Post HTTP_NEW.scp");
  const auto lines = script->toPlainText().count('\n');
  QTest::mouseClick(script->viewport(), Qt::LeftButton);
  QTest::keyClick(script, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(script, Qt::Key_Left);  // the end of the script's one line
  QTest::keyClicks(script, "&extra=%APPNAME%");
  QTest::keyClick(script, Qt::Key_Return);  // refused: the script stays one line
  QCOMPARE(script->toPlainText().count('\n'), lines);
  QVERIFY(!p.main->Core().Flags().SiteSaved);

  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Script Check");
    const QString shown = w->findChild<QPlainTextEdit*>("ScriptMemo")->toPlainText();
    QVERIFY(shown.contains("program=Tidy Notes"));
    QVERIFY(shown.contains("&extra=Tidy Notes"));
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  QTest::mouseClick(p.Find<QPushButton>("EB_HTTPNew_ScriptCheck"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());

  QTest::mouseClick(p.Find<QPushButton>("EB_UpdateSiteBtn"), Qt::LeftButton);
  QVERIFY(p.main->Core().Flags().SiteSaved);
  std::string expected = before;
  expected.insert(
      expected.find("\r\n") == std::string::npos ? expected.size() : expected.find("\r\n"),
      "&extra=%APPNAME%");
  QCOMPARE(p.File("sites/Demo Form Post HTTP_NEW.scp"), expected);

  // The enabling rules follow the "uses" boxes.
  auto* useHttp = p.Find<QCheckBox>("EB_UseHTTPPostChk");
  QTest::mouseClick(useHttp, Qt::LeftButton, {}, QPoint(8, useHttp->height() / 2));
  QVERIFY(!script->isEnabled());
  QVERIFY(p.Find<QLineEdit>("EB_HTTP_NewScriptURLEdit")->isEnabled());
  QVERIFY(!p.main->Core().Flags().SiteSaved);

  // The zip option rule: without a zip the text file can only be added to the upload.
  tabs->setCurrentIndex(2);
  auto* useFtp = p.Find<QCheckBox>("EB_UseFTPUploadChk");
  if (!useFtp->isChecked()) QTest::mouseClick(useFtp, Qt::LeftButton, {}, QPoint(8, 8));
  QVERIFY(p.Find<QLineEdit>("EB_FTPServerEdit")->isEnabled());
  // The site's FTP password is masked on screen, as the mail password is.
  QCOMPARE(p.Find<QLineEdit>("EB_LoginPasswordEdit")->echoMode(), QLineEdit::Password);
  auto* zip = p.Find<QCheckBox>("EB_UseZipFileChk");
  if (zip->isChecked()) QTest::mouseClick(zip, Qt::LeftButton, {}, QPoint(8, 8));
  auto* inZip = p.Find<QRadioButton>("EB_IncludeInZipChk");
  QTest::mouseClick(inZip, Qt::LeftButton, {}, QPoint(8, inZip->height() / 2));
  QVERIFY(!inZip->isChecked());
  QVERIFY(p.Find<QRadioButton>("EB_AddFileToUploadChk")->isChecked());

  // Choosing another site and discarding drops the unsaved changes.
  dialogs.Press(QMessageBox::Discard);
  Choose(p.Find<QComboBox>("EB_SiteNameCombo"), "Demo Mail");
  QTRY_VERIFY(dialogs.AllUsed());
  Choose(p.Find<QComboBox>("EB_SiteNameCombo"), "Demo Form Post");
  QVERIFY(useHttp->isChecked());
  QVERIFY(dialogs.unexpected.isEmpty());
}

void CataloguePagesTest::variablesWindowInsertsIntoTheFocusedEditor() {
  Program p;
  p.ShowPage(4);
  Choose(p.Find<QComboBox>("EB_SiteNameCombo"), "Demo Form Post");
  p.Find<QTabWidget>("SiteBuilderPages")->setCurrentIndex(1);
  auto* url = p.Find<QLineEdit>("EB_HTTP_NewScriptURLEdit");
  const QString before = url->text();
  QTest::mouseClick(url, Qt::LeftButton);
  url->end(false);
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), url->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(url, &event);
  QMenu* menu = nullptr;
  QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr);
  NoteScreenNames(menu);
  ClickMenuItem(menu, "VariableListItem");

  QWidget* window = nullptr;
  QTRY_VERIFY((window = p.main->findChild<QWidget*>("TVariablesFrm")) && window->isVisible());
  QCOMPARE(window->windowTitle(), "SiteBuilder Variables");
  auto* list = window->findChild<QTreeWidget*>("VariableList");
  QCOMPARE(list->topLevelItemCount(), 62);
  QCOMPARE(list->currentItem(), list->topLevelItem(0));
  QTRY_VERIFY(list->hasFocus());
  const auto found = list->findItems("%APPNAME%", Qt::MatchExactly, 0);
  QCOMPARE(found.size(), 1);
  list->setCurrentItem(found.front());
  QTest::mouseClick(window->findChild<QPushButton*>("UseSelectedBtn"), Qt::LeftButton);
  QCOMPARE(url->text(), before + "%APPNAME%");
  QTRY_VERIFY(url->hasFocus());
  QCOMPARE(p.main->Core().Builder().Definition().httpNewScriptUrl,
           (before + "%APPNAME%").toStdString());

  // Into a script editor, by double click, replacing the selected text.
  auto* memo = p.Find<QPlainTextEdit>("EB_UpdateSubmissionMemo");
  memo->setFocus();
  memo->selectAll();
  const auto company = list->findItems("%COMPNAME%", Qt::MatchExactly, 0);
  const QRect rect = list->visualItemRect(company.front());
  QSignalSpy doubleClicked(list, &QTreeWidget::itemDoubleClicked);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QCOMPARE(doubleClicked.count(), 1);
  QCOMPARE(memo->toPlainText(), "%COMPNAME%");
  QTest::mouseClick(window->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
  QVERIFY(!window->isVisible());
}

void CataloguePagesTest::newSiteMatchUpsAndDelete() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(4);
  auto* contribute = p.Find<QPushButton>("ContributeBtn");
  QVERIFY(!contribute->isVisible());
  dialogs.Name(QString("Demo Mail"));
  dialogs.ErrorOk();
  dialogs.Name(QString("My Site"));
  QTest::mouseClick(p.Find<QPushButton>("EB_AddNewSiteBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.value(1),
           "ERROR: SITE NAME DUPLICATE | The site name you entered is already on the list!");
  auto* names = p.Find<QComboBox>("EB_SiteNameCombo");
  QCOMPARE(names->currentText(), "My Site");
  QCOMPARE(names->count(), 7);
  QCOMPARE(names->itemText(names->currentIndex()), "My Site");
  QVERIFY(contribute->isVisible());
  QVERIFY(std::filesystem::exists(p.Path("sites/My Site.ini")));
  QVERIFY(p.File("sites/User_Sites.dat").find("My Site\r\n") != std::string::npos);
  QVERIFY(!p.main->Core().Flags().SiteSaved);

  p.Find<QTabWidget>("SiteBuilderPages")->setCurrentIndex(1);
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Field Translations");
    auto* win95 = w->findChild<QLineEdit*>("MatchUp_MUF_Windows95");
    QCOMPARE(win95->text(), "Windows 95");
    win95->clear();
    QTest::keyClicks(win95, "Win95");
    w->findChild<QPushButton*>("OkBtn")->click();
  });
  QTest::mouseClick(p.Find<QPushButton>("EB_MatchUpFields"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QTest::mouseClick(p.Find<QPushButton>("EB_UpdateSiteBtn"), Qt::LeftButton);
  QVERIFY(p.File("sites/My Site.ini").find("MUF_Windows95=Win95\r\n") != std::string::npos);
  // The new site is in the site table at once.
  QCOMPARE(p.main->Core().Table().Rows().size(), 7u);

  dialogs.Press(QMessageBox::Yes);
  QTest::mouseClick(p.Find<QPushButton>("EB_DeleteSiteBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Delete This Site ?");
  QVERIFY(!std::filesystem::exists(p.Path("sites/My Site.ini")));
  QCOMPARE(names->currentText(), "Demo All Three");
  QCOMPARE(names->count(), 6);
  QCOMPARE(names->findText("My Site"), -1);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void CataloguePagesTest::engineCheckerAndMassChange() {
  Program p;
  Dialogs dialogs;
  const std::string broken = p.Path("sites/Demo Mail EMAIL_NEW.scp");
  WriteFile(broken, "Hello %APPNAME\r\n");
  // The checks expand with the open site's lists: one with both category lists.
  p.ShowPage(4);
  Choose(p.Find<QComboBox>("EB_SiteNameCombo"), "Demo Form Get");
  dialogs.Then(
      [](QWidget* about) { about->findChild<QAbstractButton*>("EngineCheckBtn")->click(); });
  dialogs.Then([&](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Engine Checker");
    auto* list = w->findChild<QTreeWidget*>("ErrorList");
    auto* memo = w->findChild<QPlainTextEdit*>("EditMemo");
    QVERIFY(!list->isEnabled());
    w->findChild<QPushButton*>("BeginBtn")->click();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), "Demo Mail");
    QCOMPARE(list->topLevelItem(0)->text(1), "Error! -> []");
    QCOMPARE(w->findChild<QLineEdit*>("FileNameEdit")->text(), QString::fromStdString(broken));
    QCOMPARE(memo->toPlainText(), "Hello %APPNAME\n");
    memo->setPlainText("Hello %APPNAME% at %CONTEMAIL%");
    w->findChild<QPushButton*>("SaveBtn")->click();
    w->findChild<QPushButton*>("BeginBtn")->click();  // "No Errors found! :)"
    QCOMPARE(list->topLevelItemCount(), 0);
    w->findChild<QPushButton*>("MassChangeBtn")->click();
    QCOMPARE(ReadFile(broken).value_or(""), "Hello %APPNAME% at %COMPMAIL%\r\n");
    w->findChild<QPushButton*>("ExitBtn")->click();
  });
  dialogs.Press(QMessageBox::Ok);
  dialogs.Then([](QWidget* w) {
    QCOMPARE(w->windowTitle(), "Mass Change In All Scripts");
    auto* from = w->findChild<QComboBox*>("ComboFrom");
    from->lineEdit()->clear();
    QTest::keyClicks(from->lineEdit(), "%CONTEMAIL%");
    auto* to = w->findChild<QComboBox*>("ComboTo");
    to->setCurrentIndex(to->findText("%COMPMAIL%"));
    w->findChild<QPushButton*>("ReplaceBtn")->click();
  });
  dialogs.Press(QMessageBox::Ok);
  dialogs.Press(QMessageBox::Ok);
  p.Find<QAction>("AboutItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen,
           QStringList({"Information: No Errors found! :)", "Information: Mass Change Done!",
                        "Information: No Errors found! :)"}));
  QVERIFY(dialogs.unexpected.isEmpty());
}

namespace {
RegisterTest<CataloguePagesTest> reg("CataloguePagesTest");
}

}  // namespace vendrix::test

#include "catalogue_pages_test.moc"
