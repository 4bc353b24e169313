#include "contribute_frm.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

class TContributeFrmWindow::View : public ContributeView {
 public:
  explicit View(TContributeFrmWindow& w) : w_(w) {}
  void Sending(bool sending) override {
    PostToGui(&w_, [w = &w_, sending] {
      w->texts_->setVisible(!sending);
      w->waitPanel_->setVisible(sending);
      w->submit_->setEnabled(!sending);
    });
  }
  // The window closes when the worker has returned (see Submit).
  void Close() override {}

 private:
  TContributeFrmWindow& w_;
};

TContributeFrmWindow::TContributeFrmWindow(TMainFrm& main, ContributionSender& sender)
    : QDialog(&main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      main_(main),
      prompt_(this),
      workerPrompt_(this, prompt_),
      view_(std::make_unique<View>(*this)) {
  setObjectName("TContributeFrm");
  setWindowTitle("Contribute Engine to Halvane:");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  texts_ = new QWidget(this);
  auto* tv = new QVBoxLayout(texts_);
  tv->setContentsMargins(0, 0, 0, 0);
  const int width = fontMetrics().horizontalAdvance('0') * 56;
  for (const char* t :
       {"  If the current site was added directly by you as a new site and you would like to "
        "contribute the site and its engine data to Halvane for addition into future updates "
        "then we welcome your submission.",
        "  Clicking \"Submit\" sends the new site's data files to Halvane by e-mail."}) {
    auto* label = new QLabel(t, texts_);
    label->setWordWrap(true);
    label->setFixedWidth(width);
    tv->addWidget(label);
  }
  // The site that goes out, named before anything is sent.
  auto* site =
      new QLabel("&nbsp;&nbsp;Site to send: <b>" +
                     ToQt(main.Core().Builder().Definition().name).toHtmlEscaped() + "</b>",
                 texts_);
  site->setObjectName("SiteNameLbl");
  site->setTextFormat(Qt::RichText);
  tv->addWidget(site);
  // What is sent of the site's settings file is not all of it.
  auto* note = new QLabel(QString("  ") + kContributionLeavesLogin, texts_);
  note->setObjectName("LoginNote");
  note->setWordWrap(true);
  note->setFixedWidth(width);
  tv->addWidget(note);
  layout->addWidget(texts_);
  auto* panel = new QFrame(this);
  panel->setObjectName("WaitPanel");
  panel->setFrameShape(QFrame::StyledPanel);
  auto* pv = new QVBoxLayout(panel);
  auto* wait = new QLabel("Sending Submission. Please Wait...", panel);
  QFont bold = wait->font();
  bold.setBold(true);
  wait->setFont(bold);
  wait->setAlignment(Qt::AlignCenter);
  pv->addWidget(wait);
  panel->hide();
  waitPanel_ = panel;
  layout->addWidget(panel);

  auto* row = new QHBoxLayout;
  row->addStretch();
  submit_ = new QPushButton("&Submit", this);
  submit_->setObjectName("SubmitBtn");
  submit_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("CancelBtn");
  row->addWidget(submit_);
  row->addWidget(cancel_);
  layout->addLayout(row);
  connect(submit_, &QPushButton::clicked, this, [this] { Submit(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  Session& s = main.Core();
  // The site named in the site builder's site name field.
  core_ = std::make_unique<TContributeFrm>(s.Builder().Definition().name, s.Company().Profile(),
                                           s.Wide(), s.Settings().contributeAddress, sender,
                                           workerPrompt_, *view_);
  setFixedSize(sizeHint());
}

TContributeFrmWindow::~TContributeFrmWindow() {
  core_->Cancel();
}

void TContributeFrmWindow::Submit() {
  if (worker_.Running()) return;
  submit_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  auto result = std::make_shared<TContributeFrm::Result>(TContributeFrm::Result::NotSent);
  worker_.Start([this, result] { *result = core_->Submit(); },
                [this, result] {
                  QApplication::restoreOverrideCursor();
                  if (!worker_.Failure().empty()) prompt_.Error(worker_.Failure());
                  if (*result == TContributeFrm::Result::Sent) {
                    main_.Core().ContributionSent();
                    main_.RefreshAll();
                  }
                  QDialog::done(*result == TContributeFrm::Result::Sent ? Accepted : Rejected);
                });
}

void TContributeFrmWindow::reject() {
  if (worker_.Running()) {
    // Ends the mail exchange at once; the core then reports it as not sent.
    core_->Cancel();
    return;
  }
  QDialog::reject();
}

}  // namespace vendrix::ui
