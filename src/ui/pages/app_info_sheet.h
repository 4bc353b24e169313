#pragma once
// The "App Info" page with its sub-pages "General", "Locations", "Description" and
// "Packages" (what the package managers ask for besides):
// the application selector, every field of the profile with its limits and key
// filters, the four value lists, the file choosers and the buttons New, Delete and
// Save Application, bound to the core's AppPage. GUI thread only.
#include <QWidget>
#include <map>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace vendrix::ui {

class PageHost;

class AppInfoSheet : public QWidget {
  Q_OBJECT
 public:
  explicit AppInfoSheet(PageHost& main);
  void Refresh();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildGeneral();
  QWidget* BuildLocations();
  QWidget* BuildDescription();
  QWidget* BuildPackages();
  // A field of the profile by its file key, with the limits and key rule of the key.
  QLineEdit* Field(const char* key, QWidget* parent);
  QComboBox* Selector(const char* key, QWidget* parent);
  QWidget* PathRow(const char* key, const char* button, QWidget* parent);
  QPlainTextEdit* Memo(const char* name, QWidget* parent);
  void Char8Exit();
  // Leaving the year with a whole year typed: stored as two digits, or refused.
  void YearExit();

  PageHost& main_;
  QTabWidget* tabs_ = nullptr;
  QComboBox* appName_ = nullptr;
  QLabel* longDate_ = nullptr;
  QLineEdit* specReq_ = nullptr;
  QPlainTextEdit* longDesc_ = nullptr;
  QPlainTextEdit* notes_ = nullptr;
  std::map<std::string, QLineEdit*> edits_;      // by file key
  std::map<std::string, QComboBox*> selectors_;  // by file key
  bool refreshing_ = false;
  bool inChar8Exit_ = false;
  std::string yearBefore_;  // the stored year when the year field took the focus
};

}  // namespace vendrix::ui
