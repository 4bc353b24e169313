#pragma once
// Drives the program's windows as a person would: answers the modal windows it opens
// (message boxes, name entry, error dialog, settings, ...) from a queue of handlers,
// clicks, types and chooses. Also a demo data tree per test.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_frm.h"
#include "support/temp_dir.h"

namespace vendrix::test {

// Answers modal windows in the order they open. Each handler gets the window; it runs
// from the window's own event loop, so it may open further windows.
class Dialogs : public QObject {
  Q_OBJECT
 public:
  Dialogs();
  ~Dialogs() override;

  void Then(std::function<void(QWidget*)> handler);
  // A message box: records "Caption: text" and presses the button.
  void Press(QMessageBox::StandardButton button);
  // The name entry: types the name and presses Ok (nullopt: Cancel).
  void Name(const std::optional<QString>& name);
  // TErrorForm: records "ERROR: title | text" and presses Ok.
  void ErrorOk();

  // What the handled windows said, in order.
  QStringList seen;
  // Windows that opened with no handler left (they were closed).
  QStringList unexpected;
  bool AllUsed() const { return handlers_.empty(); }
  int Pending() const { return static_cast<int>(handlers_.size()); }

 private:
  void Poll();
  // How long a window may stay open after its handler returned.
  static constexpr qint64 kLeftOpenMs = 30000;
  std::deque<std::function<void(QWidget*)>> handlers_;
  QPointer<QWidget> last_;
  std::vector<const QWidget*> busy_;  // windows whose handlers are running, innermost last
  QElapsedTimer since_;               // how long the last window has been open
  QTimer timer_;
};

// A copy of the demo data tree (or an empty tree) and a main window over it.
struct Program {
  explicit Program(bool demo = true);
  ~Program();
  std::string Path(const std::string& rel) const { return dir / rel; }
  std::string File(const std::string& rel) const {
    return ReadFile(Path(rel)).value_or("<missing>");
  }
  template <typename T>
  T* Find(const char* name) const {
    return main->findChild<T*>(name);
  }
  void ShowPage(int index);

  TempDir dir;
  std::unique_ptr<ui::TMainFrm> main;
  QStringList opened;  // addresses handed to the browser
};

// Picks an entry of a selector through its drop-down list.
void Choose(QComboBox* combo, const QString& text);
// Clicks a row of a table view.
void ClickRow(class QAbstractItemView* view, int row, int column = 0);
// Types into a field that has the focus after a click.
void TypeInto(QWidget* field, const QString& text);
// Leaves the focused field with Tab.
void Tab(QWidget* field);

// The names a window shows (its title, labels, buttons, group boxes, tabs, table
// columns, menus), gathered while the tests run and written once they have ended
// (WriteScreenNames) for the manual's check: "kind<TAB>name" lines in
// VENDRIX_SCREENSHOT_DIR/facts-PLATFORM.tsv.
void NoteScreenNames(QWidget* window);
void WriteScreenNames();

}  // namespace vendrix::test
