#include "bhs_new_account_frm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "bhs_frm.h"
#include "qt_text.h"
#include "sheet_support.h"

namespace vendrix::ui {
namespace {

struct FieldSpec {
  const char* name;
  const char* label;
  int longest;
  std::string BhsNewAccountFields::*member;
};

constexpr FieldSpec kFields[] = {
    {"CompanyNameEdit", "Company Name:", 50, &BhsNewAccountFields::companyName},
    {"Address1Edit", "Address1:", 50, &BhsNewAccountFields::address1},
    {"Address2Edit", "Address2:", 50, &BhsNewAccountFields::address2},
    {"CityEdit", "City:", 50, &BhsNewAccountFields::city},
    {"StateCountryEdit", "State/Country:", 25, &BhsNewAccountFields::stateCountry},
    {"ZipCodeEdit", "Zip Code:", 10, &BhsNewAccountFields::zipCode},
    {"PhoneEdit", "Phone#:", 50, &BhsNewAccountFields::phone},
    {"EmailEdit", "Email:", 255, &BhsNewAccountFields::email},
    {"FTPEdit", "FTP Site:", 255, &BhsNewAccountFields::ftpSite},
    {"WebEdit", "Web Site:", 255, &BhsNewAccountFields::webSite},
};

}  // namespace

TBHSNewAccountFrmWindow::TBHSNewAccountFrmWindow(const BhsServer& server,
                                                 const CompanyProfile& company, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      prompt_(this) {
  setObjectName("TBHSNewAccountFrm");
  setWindowTitle("Get New BHS Account:");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      "Please make any changes as needed and then click \"Request Account\" to request your "
      "new BHS account.",
      this);
  text->setWordWrap(true);
  layout->addWidget(text);

  fieldsPanel_ = new QWidget(this);
  auto* form = new QFormLayout(fieldsPanel_);
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    QLineEdit* edit = NewEdit(kFields[i].name, fieldsPanel_);
    edit->setMaxLength(kFields[i].longest);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance('0') * 40);
    form->addRow(Caption(kFields[i].label, edit, fieldsPanel_), edit);
    edits_[i] = edit;
  }
  layout->addWidget(fieldsPanel_);
  waitPanel_ = BhsWaitPanel("Requesting BHS Account.   Please Wait...", &status_, this);
  layout->addWidget(waitPanel_);

  auto* row = new QHBoxLayout;
  row->addStretch();
  request_ = new QPushButton("&Request Account", this);
  request_->setObjectName("RequestBtn");
  request_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("CancelBtn");
  row->addWidget(request_);
  row->addWidget(cancel_);
  layout->addLayout(row);

  view_ = std::make_unique<BhsWindowView>(this, status_, [this](bool waiting) {
    waitPanel_->setVisible(waiting);
    fieldsPanel_->setVisible(!waiting);
    request_->setEnabled(!waiting);
  });
  core_ = std::make_unique<TBHSNewAccountFrm>(server, company, prompt_, *view_);
  const BhsNewAccountFields& f = core_->Fields();
  for (std::size_t i = 0; i < std::size(kFields); ++i)
    edits_[i]->setText(ToQt(f.*kFields[i].member));

  connect(request_, &QPushButton::clicked, this, [this] { Request(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint());
}

TBHSNewAccountFrmWindow::~TBHSNewAccountFrmWindow() {
  core_->Cancel();
}

void TBHSNewAccountFrmWindow::Request() {
  if (worker_.Running()) return;
  BhsNewAccountFields& f = core_->Fields();
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    auto text = ExactFromQt(edits_[i]->text());
    if (!text) {
      prompt_.Error(FromQtRefusal(edits_[i]->text()));
      return;
    }
    f.*kFields[i].member = std::move(*text);
  }
  if (!core_->BeginRequest()) return;
  // What goes out (a blank second address line, "none" for no site) is shown too.
  for (std::size_t i = 0; i < std::size(kFields); ++i)
    edits_[i]->setText(ToQt(f.*kFields[i].member));
  auto reply = std::make_shared<std::optional<std::string>>();
  worker_.Start([this, reply] { *reply = core_->SendRequest(); },
                [this, reply] {
                  if (cancelled_) {
                    // The person closed the window: no id and no further message.
                    view_->Waiting(false);
                    QDialog::reject();
                    return;
                  }
                  id_ = core_->FinishRequest(*reply);
                });
}

void TBHSNewAccountFrmWindow::reject() {
  if (worker_.Running()) {
    cancelled_ = true;
    cancel_->setEnabled(false);
    core_->Cancel();
    return;
  }
  QDialog::reject();
}

}  // namespace vendrix::ui
