#pragma once
// THelpFrm: the user manual inside the program. A QTextBrowser over the manual's HTML
// pages with a contents list, a search over every page and Back/Forward. Help -> Help
// and F1 open it at the section of the window or page they were pressed in. When the
// manual is not installed the window says where it would be and where the README is;
// it never fails silently. Escape and Ctrl+W close it. GUI thread only.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QTreeWidget;
class QUrl;

namespace vendrix::ui {

// The folder of the manual's HTML (the one holding index.html): installed beside the
// program under share/vendrix/manual, else the build's copy. Empty when neither
// exists.
QString ManualDir();

// The manual page (and anchor) that describes a window: for the main window the page
// of its current tab, for a dialog its own section, else the first page.
QString HelpPageFor(const QWidget* window);

class THelpFrm : public QWidget {
  Q_OBJECT
 public:
  // manualDir empty: the window shows where the manual would be.
  explicit THelpFrm(const QString& manualDir, QWidget* parent = nullptr);

  // Shows the help window at the page that describes `from` (a window or a widget in
  // it). One help window serves the program; from inside a modal dialog a window of
  // the dialog's own is opened, since the dialog blocks all others.
  static THelpFrm* ShowFor(QWidget* from);

  // Opens "page.html" or "page.html#anchor" of the manual.
  void OpenPage(const QString& page);
  // The pages (file names) holding every word of `words`, best match first.
  QStringList Search(const QString& words) const;
  QTextBrowser* Browser() const { return browser_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Page {
    QString file;
    QString title;
    QString text;  // the page as plain lower-case text, for the search
  };
  void LoadContents();
  void RunSearch();
  void ShowMissing();

  QString dir_;
  std::vector<Page> pages_;
  QTextBrowser* browser_ = nullptr;
  QTreeWidget* contents_ = nullptr;
  QLineEdit* search_ = nullptr;
  QListWidget* results_ = nullptr;
};

// Makes F1 open the help at the window it was pressed in, also inside modal dialogs
// (where the main window's menu shortcut cannot fire). Installed once on the
// application.
void InstallHelpKey();

}  // namespace vendrix::ui
