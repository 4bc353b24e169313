// Nothing typed is dropped without a question: each switch that would replace unsaved
// edits (another company, application or site; Escape in the default script editor)
// asks "Save changes to X?", and Cancel, Discard and Save each do what they say, down
// to the bytes in the files. Where nothing changed, nothing is asked.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "gui_driver.h"
#include "ui_tests.h"

namespace vendrix::test {

class UnsavedEditsTest : public QObject {
  Q_OBJECT
 private slots:
  void anotherCompany();
  void anotherApplication();
  void anotherSite();
  void escapeInTheDefaultScriptEditor();
  void typedTextThatCannotBeStoredIsRefused();
};

namespace {
const char kCompanyFile[] = "companies/Brightfield Software.dat";

// Types letters beyond ASCII, one key press each with its text (as a keyboard layout
// or an input method would send them).
void TypeLetters(QWidget* field, const QString& text) {
  for (char32_t c : text.toStdU32String()) {
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                        Qt::NoModifier);
  }
}
}  // namespace

void UnsavedEditsTest::anotherCompany() {
  Program p;
  Dialogs dialogs;
  auto* companies = p.Find<QComboBox>("compname");
  auto* contact = p.Find<QLineEdit>("conname");
  // A second company; then back to the first without an edit: no question.
  dialogs.Name(QString("Acme Tools"));
  QTest::mouseClick(p.Find<QPushButton>("NewCompanyBtn"), Qt::LeftButton);
  QTRY_VERIFY(dialogs.AllUsed());
  Choose(companies, "Brightfield Software");
  QCOMPARE(dialogs.seen.size(), 1);
  const std::string before = p.File(kCompanyFile);
  const QString name = contact->text();

  TypeInto(contact, " Jr.");
  // Cancel: still on the company, the edit still there, nothing written.
  dialogs.Press(QMessageBox::Cancel);
  Choose(companies, "Acme Tools");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Save changes to Brightfield Software?");
  QCOMPARE(companies->currentText(), "Brightfield Software");
  QCOMPARE(contact->text(), name + " Jr.");
  QCOMPARE(p.File(kCompanyFile), before);
  // Discard: the switch happens, the file is as it was, and coming back shows it.
  dialogs.Press(QMessageBox::Discard);
  Choose(companies, "Acme Tools");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(companies->currentText(), "Acme Tools");
  QCOMPARE(p.File(kCompanyFile), before);
  Choose(companies, "Brightfield Software");
  QCOMPARE(contact->text(), name);
  // Save: written before the switch.
  TypeInto(contact, " Jr.");
  dialogs.Press(QMessageBox::Save);
  Choose(companies, "Acme Tools");
  QTRY_VERIFY(dialogs.AllUsed());
  std::string expected = before;
  const std::string line = "CONTACT=" + name.toStdString();
  expected.replace(expected.find(line), line.size(), line + " Jr.");
  QCOMPARE(p.File(kCompanyFile), expected);

  // A BHS ID the account window obtained counts as an edit of the company.
  Choose(companies, "Brightfield Software");
  p.main->Core().AssignBhsId("4711");
  dialogs.Press(QMessageBox::Save);
  Choose(companies, "Acme Tools");
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(p.File(kCompanyFile).find("BHSID=4711\r\n") != std::string::npos);
  QCOMPARE(dialogs.seen.size(), 5);  // the name entry and four questions
  QVERIFY(dialogs.unexpected.isEmpty());
}

void UnsavedEditsTest::anotherApplication() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(1);
  auto* apps = p.Find<QComboBox>("AppName");
  auto* version = p.Find<QLineEdit>("version");
  QCOMPARE(apps->currentText(), "Tidy Notes");
  // The file as the program writes it, so that a save differs only by the edit.
  p.main->Core().App().SaveApp();
  const std::string before = p.File("data/Tidy Notes.dat");
  const QString shown = version->text();

  TypeInto(version, "b");
  dialogs.Press(QMessageBox::Cancel);
  Choose(apps, "Pixel Ruler");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Save changes to Tidy Notes?");
  QCOMPARE(apps->currentText(), "Tidy Notes");
  QCOMPARE(version->text(), shown + "b");

  dialogs.Press(QMessageBox::Discard);
  Choose(apps, "Pixel Ruler");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("data/Tidy Notes.dat"), before);
  Choose(apps, "Tidy Notes");  // nothing changed: no question
  QCOMPARE(version->text(), shown);
  QCOMPARE(dialogs.seen.size(), 2);

  TypeInto(version, "b");
  dialogs.Press(QMessageBox::Save);
  Choose(apps, "Pixel Ruler");
  QTRY_VERIFY(dialogs.AllUsed());
  std::string expected = before;
  const std::string line = "VERSION=" + shown.toStdString() + "\r\n";
  expected.replace(expected.find(line), line.size(), "VERSION=" + shown.toStdString() + "b\r\n");
  QCOMPARE(p.File("data/Tidy Notes.dat"), expected);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void UnsavedEditsTest::anotherSite() {
  Program p;
  Dialogs dialogs;
  p.ShowPage(4);
  auto* sites = p.Find<QComboBox>("EB_SiteNameCombo");
  Choose(sites, "Demo Form Get");
  QCOMPARE(dialogs.seen.size(), 0);
  auto* web = p.Find<QLineEdit>("EB_SitesWebUrlEdit");
  const std::string before = p.File("sites/Demo Form Get.ini");
  const QString shown = web->text();

  TypeInto(web, "/new");
  dialogs.Press(QMessageBox::Cancel);
  Choose(sites, "Demo Form Post");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.last(), "Confirm: Save changes to Demo Form Get?");
  QCOMPARE(sites->currentText(), "Demo Form Get");
  QCOMPARE(web->text(), shown + "/new");

  dialogs.Press(QMessageBox::Discard);
  Choose(sites, "Demo Form Post");
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("sites/Demo Form Get.ini"), before);
  Choose(sites, "Demo Form Get");
  QCOMPARE(web->text(), shown);

  TypeInto(web, "/new");
  dialogs.Press(QMessageBox::Save);
  Choose(sites, "Demo Form Post");
  QTRY_VERIFY(dialogs.AllUsed());
  const std::string saved = p.File("sites/Demo Form Get.ini");
  QVERIFY(saved.find("SITES_WEB_URL=" + shown.toStdString() + "/new\r\n") != std::string::npos);
  QCOMPARE(dialogs.seen.size(), 3);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void UnsavedEditsTest::escapeInTheDefaultScriptEditor() {
  Program p;
  Dialogs dialogs;
  const std::string before = p.File("data/FTP_DEF_SCRIPT.SCP");
  auto edited = [](QWidget* w) {
    auto* memo = w->findChild<QPlainTextEdit*>("ScriptMemo");
    memo->setFocus();
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, "Extra");
    QTest::keyClick(w, Qt::Key_Escape);
  };
  // Cancel keeps the editor open with the edit; Discard then closes it.
  QString kept;
  dialogs.Then(edited);
  dialogs.Press(QMessageBox::Cancel);
  dialogs.Then([&](QWidget* w) {
    kept = w->findChild<QPlainTextEdit*>("ScriptMemo")->toPlainText();
    QTest::keyClick(w, Qt::Key_Escape);
  });
  dialogs.Press(QMessageBox::Discard);
  p.Find<QAction>("DefaultFtpScriptItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QVERIFY(kept.endsWith("Extra"));
  QCOMPARE(dialogs.seen, QStringList({"Confirm: Save changes to Default FTP Script?",
                                      "Confirm: Save changes to Default FTP Script?"}));
  QCOMPARE(p.File("data/FTP_DEF_SCRIPT.SCP"), before);
  // Save writes it.
  dialogs.Then(edited);
  dialogs.Press(QMessageBox::Save);
  p.Find<QAction>("DefaultFtpScriptItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(p.File("data/FTP_DEF_SCRIPT.SCP"), before + "Extra\r\n");
  // Escape without an edit asks nothing.
  dialogs.Then([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  p.Find<QAction>("DefaultFtpScriptItem")->trigger();
  QTRY_VERIFY(dialogs.AllUsed());
  QCOMPARE(dialogs.seen.size(), 3);
  QVERIFY(dialogs.unexpected.isEmpty());
}

void UnsavedEditsTest::typedTextThatCannotBeStoredIsRefused() {
  Program p;
  Dialogs dialogs;
  auto* contact = p.Find<QLineEdit>("conname");
  const QString shown = contact->text();
  // Typed: the Windows-1252 letters go in, the others are refused with the reason.
  TypeInto(contact, "");
  TypeLetters(contact, QString::fromUtf8("\xC3\xA9\xC5\x81\xE2\x9C\x93"));  // é Ł ✓
  QCOMPARE(contact->text(), shown + QString::fromUtf8("\xC3\xA9"));
  QVERIFY(contact->property("vendrixRefused").toString().contains("Windows-1252"));
  // Pasted: refused whole by the field's validator, whatever else it holds.
  contact->selectAll();
  contact->insert(QString::fromUtf8("\xC5\x81x Soft"));
  QCOMPARE(contact->text(), shown + QString::fromUtf8("\xC3\xA9"));
  // A memo: the character is refused and the stored text stays as it was.
  p.ShowPage(1);
  p.Find<QTabWidget>("AppInfoPages")->setCurrentIndex(2);
  auto* longdesc = p.Find<QPlainTextEdit>("longdesc");
  const Lines stored = p.main->Core().App().Profile().longDesc;
  QTest::mouseClick(longdesc->viewport(), Qt::LeftButton);
  TypeLetters(longdesc, QString::fromUtf8("\xE6\x97\xA5"));      // 日
  longdesc->appendPlainText(QString::fromUtf8("\xE2\x9C\x93"));  // as a paste would
  QCOMPARE(p.main->Core().App().Profile().longDesc, stored);
  QTRY_VERIFY(!longdesc->toPlainText().contains(QString::fromUtf8("\xE2\x9C\x93")));
  QVERIFY(longdesc->property("vendrixRefused").toString().contains("Windows-1252"));
  // What reached the core is exactly what was typed.
  QCOMPARE(p.main->Core().Company().Profile().contact, shown.toStdString() + "\xE9");
  QVERIFY(dialogs.unexpected.isEmpty());
}

namespace {
RegisterTest<UnsavedEditsTest> reg("UnsavedEditsTest");
}

}  // namespace vendrix::test

#include "unsaved_edits_test.moc"
