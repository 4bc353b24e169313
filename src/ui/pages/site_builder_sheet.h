#pragma once
// The "Site Builder" page: the pages "Details", "HTTP Post", "FTP Upload" and
// "E-mail" over the open site definition, the "Byte Format" band with New, Save and
// Delete Site, the enabling and zip option rules, the "Test Script" and "Default
// Script" buttons, the match-up window and the "Variable List" menus, bound to the
// core's SiteBuilder. GUI thread only.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "catalogue/site_builder.h"
#include "catalogue/site_definition.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace vendrix::ui {

class PageHost;

class SiteBuilderSheet : public QWidget {
  Q_OBJECT
 public:
  explicit SiteBuilderSheet(PageHost& main);
  void Refresh();

 private:
  QWidget* BuildDetails();
  QWidget* BuildHttp();
  QWidget* BuildFtp();
  QWidget* BuildEmail();
  QWidget* BuildBand();

  // Bindings: each returns the widget and remembers how to show the definition in it.
  QLineEdit* Text(const char* name, std::string SiteDefinition::*member, bool variables,
                  QWidget* parent);
  QCheckBox* Check(const char* name, const QString& caption, bool SiteDefinition::*member,
                   bool enabling, QWidget* parent);
  QPlainTextEdit* Script(const char* name, ScriptKind kind, QWidget* parent);
  QPlainTextEdit* Categories(const char* name, Lines SiteDefinition::*member, QWidget* parent);
  QPushButton* TestScript(const char* name, const char* caption, QPlainTextEdit* editor,
                          QWidget* parent);
  QPushButton* DefaultScript(const char* name, const char* caption, int which, QWidget* parent);
  // The "Variable List" entry on the right-click menu of a field.
  void OfferVariables(QWidget* field);
  void ApplyEnabled();
  struct RadioLook {
    const char* name;
    const char* caption;
    int value;
  };
  // A group of radio buttons over one setting (get and set by value).
  QWidget* RadioGroup(const QString& title, std::initializer_list<RadioLook> looks,
                      std::function<int(const SiteDefinition&)> get,
                      std::function<void(SiteBuilder&, int)> set, QWidget* parent);

  PageHost& main_;
  QComboBox* siteName_ = nullptr;
  // The names the box shows, in both forms: thousands are converted only when they change.
  Lines shownNames_;
  QStringList shownNamesQt_;
  QPushButton* contribute_ = nullptr;
  std::vector<std::function<void()>> show_;  // definition -> widgets
  // Controls switched by the enabling rules.
  QWidget* cat1Memo_ = nullptr;
  QWidget* cat2Memo_ = nullptr;
  std::vector<QWidget*> httpControls_, ftpControls_, emailControls_;
  bool refreshing_ = false;
};

}  // namespace vendrix::ui
