#include "report_viewer.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace vendrix::ui {

TReportViewer::TReportViewer(const QUrl& page, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinMaxButtonsHint) {
  setObjectName("TReportViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Submission Report");
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("ReportBrowser");
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
  resize(820, 600);
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
