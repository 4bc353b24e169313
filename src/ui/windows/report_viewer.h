#pragma once
// TReportViewer: a submission report (or any local HTML page) shown inside the program,
// for people without a browser or who prefer it. Links between the report's pages are
// followed in the window; other addresses go to the browser, and when none opens they
// are shown as text to copy. Reports keep their white page on a dark theme, and a
// site's answer shows as text. Not modal; deletes itself when closed. GUI thread only.
#include <QDialog>
#include <QUrl>

class QTextBrowser;

namespace vendrix::ui {

class TReportViewer : public QDialog {
  Q_OBJECT
 public:
  TReportViewer(const QUrl& page, QWidget* parent);
  QTextBrowser* Browser() const { return browser_; }

 private:
  void Follow(const QUrl& link);
  QTextBrowser* browser_;
};

// A report page as the viewer shows it: a site's answer kept in a sandboxed frame
// becomes a block of its text (the viewer cannot show frames).
QByteArray AnswerAsText(const QByteArray& page);

// The message shown when an address or file could not be opened: the address itself,
// selectable so that it can be copied. Modal over parent.
void ShowUnopened(const QString& url, QWidget* parent);

}  // namespace vendrix::ui
