#pragma once
// The "Company Info" page: the company selector, the twelve fields of the profile and
// the buttons New, Delete, Save Company and "BHS ID#", bound to the core's
// CompanyPage. GUI thread only.
#include <QWidget>
#include <map>
#include <string>

class QComboBox;
class QLineEdit;

namespace vendrix::ui {

class PageHost;

class CompanySheet : public QWidget {
  Q_OBJECT
 public:
  explicit CompanySheet(PageHost& main);
  void Refresh();

 private:
  PageHost& main_;
  QComboBox* compname_;
  std::map<std::string, QLineEdit*> fields_;  // by file key
  bool refreshing_ = false;
};

}  // namespace vendrix::ui
