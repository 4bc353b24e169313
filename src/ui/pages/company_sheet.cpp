#include "company_sheet.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "busy_cursor.h"
#include "key_filter.h"
#include "page_host.h"
#include "profiles/company_profile.h"
#include "qt_text.h"
#include "sheet_support.h"

namespace vendrix::ui {

namespace {

struct FieldLook {
  const char* key;
  const char* label;
  const char* hint;
  bool noSpace;
};

// In the order the page shows them: contact on the left, address on the right,
// the company's own addresses below.
constexpr FieldLook kContact[] = {
    {"CONTACT", "Contact Na&me", nullptr, false},  {"CTITLE", "Contact Tit&le", nullptr, false},
    {"CEMAIL", "&Contact E-Mail", nullptr, false}, {"CPHONE", "Contact &Phone", nullptr, false},
    {"CFAX", "Contact Fa&x", nullptr, false},
};
constexpr FieldLook kAddress[] = {
    {"CADDR", "Contact Add&ress", nullptr, false},
    {"CCITY", "Contact City", nullptr, false},
    {"CSTATE", "Contact State/Province", nullptr, false},
    {"CZIP", "Contact Postal (&Zip)", nullptr, false},
    {"CCOUNTRY", "Contact Co&untry",
     "Enter the 2 letter identifier for the company contact's country.", false},
};
constexpr FieldLook kCompany[] = {
    {"CURL", "Company Home Pa&ge", "Enter the full URL for the Company's home page.", true},
    {"CCMAIL", "Company E-Mail",
     "Enter an e-mail address for a company sales contact other than the default company "
     "contact.",
     true},
};

}  // namespace

CompanySheet::CompanySheet(PageHost& main) : main_(main) {
  setObjectName("CompanyInfoSheet");
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  compname_ = new QComboBox(this);
  compname_->setObjectName("compname");
  compname_->setToolTip("Click on the New Company button to create a new company profile.");
  compname_->setMinimumWidth(320);
  MakeChooseOnly(compname_);
  top->addWidget(Caption("C&ompany Name", compname_, this));
  top->addWidget(compname_, 1);
  layout->addLayout(top);

  auto makeColumn = [this](const char* title, const auto& looks) {
    auto* box = new QGroupBox(title, this);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const FieldLook& look : looks) {
      const CompanyField* field = FindCompanyField(look.key);
      auto* edit = NewEdit(std::string(field->control).c_str(), box);
      if (look.hint) edit->setToolTip(look.hint);
      if (look.noSpace) ApplyKeyRule(edit, KeyRule::NoSpace);
      grid->addWidget(Caption(look.label, edit, box), row, 0);
      grid->addWidget(edit, row, 1);
      ++row;
      fields_[look.key] = edit;
      const std::string key = look.key;
      connect(edit, &QLineEdit::textChanged, this, [this, edit, key](const QString& text) {
        if (refreshing_) return;
        if (!Storable(edit, text)) return Refresh();
        main_.Core().Company().SetField(key, FromQt(text));
      });
    }
    return box;
  };
  auto* columns = new QHBoxLayout;
  columns->addWidget(makeColumn("Contact", kContact));
  columns->addWidget(makeColumn("Address", kAddress));
  layout->addLayout(columns);
  layout->addWidget(makeColumn("Company", kCompany));
  layout->addStretch();

  auto* buttons = new QHBoxLayout;
  QPushButton* newBtn = AddButton(buttons, "NewCompanyBtn", "&New Company", this);
  QPushButton* deleteBtn = AddButton(buttons, "DeleteCompanyBtn", "D&elete Company", this);
  QPushButton* saveBtn = AddButton(buttons, "SaveCompanyBtn", "Sa&ve Company", this);
  QPushButton* bhsBtn = AddButton(buttons, "BHSIDBtn", "BHS I&D#", this);
  buttons->addStretch();
  layout->addLayout(buttons);

  Session& s = main_.Core();
  connect(compname_, &QComboBox::activated, this, [this, &s](int index) {
    const std::string name = FromQt(compname_->itemText(index));
    SaveFirstThen(
        main_, &Session::OfferSaveCompany, [&] { s.ChooseCompany(name); }, true);
  });
  connect(newBtn, &QPushButton::clicked, this, [this, &s] {
    SaveFirstThen(main_, &Session::OfferSaveCompany, [&] { s.Company().NewCompany(); });
  });
  connect(deleteBtn, &QPushButton::clicked, this, [this, &s] {
    main_.Act(
        [&] {
          const std::string before = s.Company().Shown();
          s.Company().DeleteCompany();
          // The application list follows the company now shown.
          if (s.Company().Shown() != before) s.App().LoadList();
        },
        true);
  });
  connect(saveBtn, &QPushButton::clicked, this,
          [this, &s] { main_.Act([&] { s.Company().SaveCompany(); }, true); });
  connect(bhsBtn, &QPushButton::clicked, this, [this, &s] {
    if (s.Company().ShowBhsId() == CompanyPage::BhsAction::OpenAccountDialog) {
      main_.RunCommand(HostCommand::BhsAccount);
      main_.RefreshAll();
    }
  });
}

void CompanySheet::Refresh() {
  Refreshing guard(refreshing_);
  const CompanyPage& page = main_.Core().Company();
  QStringList names;
  for (const auto& n : page.Names()) names << ToQt(n);
  SetItems(compname_, names, ToQt(page.Shown()));
  const CompanyProfile& profile = page.Profile();
  for (const auto& [key, edit] : fields_) {
    SetText(edit, ToQt(profile.*(FindCompanyField(key)->member)));
  }
}

}  // namespace vendrix::ui
