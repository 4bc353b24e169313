#include "report_viewer.h"

#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "screen_fit.h"

namespace vendrix::ui {

namespace {

// Pages larger than this are not rewritten (a report page is a few kilobytes).
constexpr qint64 kMaxPage = 16 * 1024 * 1024;

// The viewer cannot show a page inside a frame: a site's answer, which the report
// keeps in a sandboxed frame, is shown as its text instead. The frame's srcdoc is
// already escaped, so inside <pre> it reads as the answer's source, and nothing of
// the site's own markup runs or styles the report.
class ReportBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::HtmlResource || !name.isLocalFile()) {
      return QTextBrowser::loadResource(type, name);
    }
    QFile file(name.toLocalFile());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPage) {
      return QTextBrowser::loadResource(type, name);
    }
    return AnswerAsText(file.readAll());
  }
};

}  // namespace

QByteArray AnswerAsText(const QByteArray& page) {
  // Latin-1 maps each byte to one character and back, so the page's own bytes (and
  // its code page) pass unchanged.
  QString text = QString::fromLatin1(page);
  static const QRegularExpression frame("<iframe\\b[^>]*\\bsrcdoc=\"([^\"]*)\"[^>]*>\\s*</iframe>",
                                        QRegularExpression::CaseInsensitiveOption);
  text.replace(frame,
               "<table width=\"581\" border=\"1\" cellpadding=\"4\" cellspacing=\"0\">"
               "<tr><td bgcolor=\"#eeeeee\"><small><b>The site's answer, as text:</b></small>"
               "</td></tr><tr><td bgcolor=\"#ffffff\"><pre style=\"white-space: "
               "pre-wrap\">\\1</pre></td></tr></table>");
  return text.toLatin1();
}

TReportViewer::TReportViewer(const QUrl& page, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinMaxButtonsHint) {
  setObjectName("TReportViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Submission Report");
  auto* layout = new QVBoxLayout(this);
  browser_ = new ReportBrowser(this);
  browser_->setObjectName("ReportBrowser");
  browser_->setAccessibleName("Report");
  // Reports are written for a white page: they keep it whatever the desktop's theme,
  // or their navy and purple text would stand on a dark ground.
  QPalette paper = browser_->palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    paper.setColor(g, QPalette::Base, Qt::white);
    paper.setColor(g, QPalette::Text, Qt::black);
    paper.setColor(g, QPalette::Link, QColor(0, 0, 0xFF));
    paper.setColor(g, QPalette::LinkVisited, QColor(0x40, 0, 0x80));
  }
  browser_->setPalette(paper);
  browser_->document()->setDefaultStyleSheet("body { background-color: #ffffff; color: #000000; }");
  // Links are followed here one by one: pages of the report in this window, the rest
  // outside.
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, &TReportViewer::Follow);
  layout->addWidget(browser_, 1);
  auto* row = new QHBoxLayout;
  auto* back = new QPushButton("&Back", this);
  back->setObjectName("BackBtn");
  back->setEnabled(false);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  auto* close = new QPushButton("&Close", this);
  close->setObjectName("CloseBtn");
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  row->addWidget(back);
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  connect(browser_, &QTextBrowser::sourceChanged, this,
          [this](const QUrl& url) { setWindowTitle("Submission Report - " + url.fileName()); });
  browser_->setSource(page);
  FitOnScreen(this, QSize(820, 600));
}

void TReportViewer::Follow(const QUrl& link) {
  const QUrl target = browser_->source().resolved(link);
  if (target.isLocalFile()) {
    browser_->setSource(target);
  } else if (!QDesktopServices::openUrl(target)) {
    ShowUnopened(target.toString(), this);
  }
}

void ShowUnopened(const QString& url, QWidget* parent) {
  QMessageBox box(
      QMessageBox::Warning, "Could Not Open",
      "No program could open this address. You can copy it and open it yourself:\n\n" + url,
      QMessageBox::Ok, parent);
  box.setObjectName("UnopenedBox");
  box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box.exec();
}

}  // namespace vendrix::ui
