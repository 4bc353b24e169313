#include "submission_verify_frm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "qt_text.h"

namespace vendrix::ui {

namespace {

QString Count(std::size_t n, const char* one, const char* many) {
  return QString::number(n) + " " + (n == 1 ? one : many);
}

}  // namespace

TSubmissionVerifyFrm::TSubmissionVerifyFrm(RunConfirmation& confirmation, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      c_(confirmation) {
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
  const std::pair<const char*, const char*> rows[] = {
      {"Total Sites:", "PostTotalLbl"}, {"New:", "PostNewLbl"}, {"Update:", "PostUpdateLbl"},
      {"HTTP:", "PostHttpLbl"},         {"FTP:", "PostFtpLbl"}, {"FTP w/Zips:", "PostFtpZipLbl"},
      {"EMAIL:", "PostEmailLbl"}};
  int r = 0;
  for (const auto& [caption, name] : rows) {
    auto* v = new QLabel(stats);
    v->setObjectName(name);
    QFont bold = v->font();
    bold.setBold(true);
    v->setFont(bold);
    grid->addWidget(new QLabel(caption, stats), r, 0, Qt::AlignRight);
    grid->addWidget(v, r, 1);
    counts_ << v;
    ++r;
  }
  ShowCounts();
  grid->setColumnStretch(2, 1);
  layout->addWidget(stats);

  start_ = new QPushButton("&Start Posting!", this);
  start_->setObjectName("StartBtn");
  AddFindings(layout);
  AddAlreadySent(layout);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  start_->setDefault(true);
  start_->setEnabled(c_.MayStart());
  auto* cancel = new QPushButton("&Cancel Posting", this);
  cancel->setObjectName("CancelBtn");
  buttons->addWidget(start_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, [this] {
    if (c_.MayStart()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint());
}

void TSubmissionVerifyFrm::ShowCounts() {
  const PostCounts c = c_.ToPost();
  const int values[] = {c.total, c.newCount, c.update, c.http, c.ftp, c.ftpZip, c.email};
  for (int i = 0; i < counts_.size(); ++i) counts_[i]->setText(QString::number(values[i]));
}

void TSubmissionVerifyFrm::AddFindings(QLayout* layout) {
  auto* box = new QGroupBox("Check Before Posting:", this);
  box->setObjectName("FindingsBox");
  auto* inner = new QVBoxLayout(box);
  const std::size_t errors = c_.Errors(), warnings = c_.Warnings();
  auto* summary = new QLabel(box);
  summary->setObjectName("FindingsLbl");
  summary->setWordWrap(true);
  if (c_.findings.empty()) {
    summary->setText("Nothing found that would fail or look wrong.");
  } else {
    summary->setText("Found " + Count(errors, "error", "errors") + " and " +
                     Count(warnings, "warning", "warnings") + ":");
  }
  inner->addWidget(summary);
  if (!c_.findings.empty()) {
    auto* list = new QTreeWidget(box);
    list->setObjectName("FindingsList");
    list->setAccessibleName("Findings");
    list->setColumnCount(4);
    list->setHeaderLabels({"", "Where", "Field", "Finding"});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setWordWrap(true);
    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const Finding& f : c_.findings) {
      const bool error = f.severity == FindingSeverity::Error;
      auto* item = new QTreeWidgetItem(
          list, {error ? "Error" : "Warning", ToQt(f.where), ToQt(f.field), ToQt(f.text)});
      item->setIcon(0, error ? errorIcon : warningIcon);
      item->setToolTip(3, ToQt(f.text));
    }
    const int ch = list->fontMetrics().horizontalAdvance('0');
    list->setColumnWidth(0, 10 * ch);
    list->setColumnWidth(1, 18 * ch);
    list->setColumnWidth(2, 14 * ch);
    list->header()->setStretchLastSection(true);
    list->setMinimumWidth(100 * ch);
    const int rows = std::min<int>(static_cast<int>(c_.findings.size()), 8);
    list->setFixedHeight(list->header()->sizeHint().height() +
                         (rows + 1) * (list->fontMetrics().height() + 6));
    inner->addWidget(list);
  }
  if (errors > 0) {
    auto* anyway = new QCheckBox("Post &anyway", box);
    anyway->setObjectName("PostAnywayChk");
    anyway->setToolTip("Errors stop the run unless this is ticked.");
    anyway->setChecked(c_.postAnyway);
    inner->addWidget(anyway);
    connect(anyway, &QCheckBox::toggled, this, [this](bool on) {
      c_.postAnyway = on;
      start_->setEnabled(c_.MayStart());
    });
  }
  layout->addWidget(box);
}

void TSubmissionVerifyFrm::AddAlreadySent(QLayout* layout) {
  if (c_.alreadySent.empty()) return;
  auto* box = new QGroupBox("Already Sent:", this);
  box->setObjectName("AlreadySentBox");
  auto* inner = new QVBoxLayout(box);
  auto* text = new QLabel(Count(c_.alreadySent.size(), "site", "sites") + " already got version " +
                              ToQt(c_.version) + " and will not be sent again:",
                          box);
  text->setObjectName("AlreadySentLbl");
  text->setWordWrap(true);
  inner->addWidget(text);
  auto* list = new QListWidget(box);
  list->setObjectName("AlreadySentList");
  list->setAccessibleName("Sites already sent");
  list->setSelectionMode(QAbstractItemView::NoSelection);
  for (const auto& site : c_.alreadySent) list->addItem(ToQt(site));
  const int rows = std::min<int>(static_cast<int>(c_.alreadySent.size()), 6);
  list->setFixedHeight((rows + 1) * (list->fontMetrics().height() + 4));
  inner->addWidget(list);
  auto* again = new QCheckBox("Send a&gain", box);
  again->setObjectName("SendAgainChk");
  again->setChecked(c_.sendAgain);
  inner->addWidget(again);
  connect(again, &QCheckBox::toggled, this, [this](bool on) {
    c_.sendAgain = on;
    ShowCounts();
  });
  layout->addWidget(box);
}

}  // namespace vendrix::ui
