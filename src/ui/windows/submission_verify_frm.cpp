#include "submission_verify_frm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vendrix::ui {

TSubmissionVerifyFrm::TSubmissionVerifyFrm(const PostCounts& c, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("TSubmissionVerifyFrm");
  setWindowTitle("Submission Verification:");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel("Submission Verification", this);
  QFont big = heading->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  heading->setFont(big);
  layout->addWidget(heading);
  auto* text = new QLabel(
      "  Vendrix will submit using the settings you have chosen on the \"Sites\" tab page.", this);
  text->setWordWrap(true);
  text->setMinimumWidth(text->fontMetrics().horizontalAdvance('0') * 42);
  layout->addWidget(text);

  auto* stats = new QGroupBox("Post Stats:", this);
  auto* grid = new QGridLayout(stats);
  const std::pair<const char*, std::pair<const char*, int>> rows[] = {
      {"Total Sites:", {"PostTotalLbl", c.total}},
      {"New:", {"PostNewLbl", c.newCount}},
      {"Update:", {"PostUpdateLbl", c.update}},
      {"HTTP:", {"PostHttpLbl", c.http}},
      {"FTP:", {"PostFtpLbl", c.ftp}},
      {"FTP w/Zips:", {"PostFtpZipLbl", c.ftpZip}},
      {"EMAIL:", {"PostEmailLbl", c.email}}};
  int r = 0;
  for (const auto& [caption, value] : rows) {
    grid->addWidget(new QLabel(caption, stats), r, 0, Qt::AlignRight);
    auto* v = new QLabel(QString::number(value.second), stats);
    v->setObjectName(value.first);
    QFont bold = v->font();
    bold.setBold(true);
    v->setFont(bold);
    grid->addWidget(v, r, 1);
    ++r;
  }
  grid->setColumnStretch(2, 1);
  layout->addWidget(stats);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* start = new QPushButton("Start Posting!", this);
  start->setObjectName("StartBtn");
  start->setDefault(true);
  auto* cancel = new QPushButton("Cancel Posting", this);
  cancel->setObjectName("CancelBtn");
  buttons->addWidget(start);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(start, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint());
}

}  // namespace vendrix::ui
