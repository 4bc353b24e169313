#include "settings_form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"
#include "settings_extra.h"
#include "sheet_support.h"

namespace vendrix::ui {

TSettingsForm::TSettingsForm(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      main_(main),
      prompt_(this),
      dialog_(main.Core().Wide().SettingsFile(), prompt_) {
  setObjectName("TSettingsForm");
  setWindowTitle("Settings");
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  auto* page = new QWidget;
  tabs->addTab(page, "&Settings");
  layout->addWidget(tabs);
  auto* columns = new QHBoxLayout(page);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  auto group = [page](QVBoxLayout* column, const char* title, QWidget* field) {
    auto* box = new QGroupBox(title, page);
    auto* v = new QVBoxLayout(box);
    v->addWidget(field);
    column->addWidget(box);
    return box;
  };
  smtp_ = NewEdit("smtpedit", page);
  email_ = NewEdit("emailedit", page);
  name_ = NewEdit("nameedit", page);
  group(left, "Your S&MTP Server:", smtp_);
  group(left, "Your &E-Mail Address:", email_);
  group(left, "Your &Name:", name_);
  for (QLineEdit* e : {smtp_, email_, name_}) e->setMinimumWidth(240);
  // The left column before the right one, so that Tab reads the window as a page.
  mailLogin_ = new MailLoginBox(page);
  left->addWidget(mailLogin_);
  // The service addresses under the mail login, so that the window fits a small screen.
  services_ = new ServiceSettingsBox(page);
  left->addWidget(services_);

  auto* proxyBox = new QGroupBox("Pro&xy Server (If any):", page);
  auto* proxyForm = new QFormLayout(proxyBox);
  proxy_ = NewEdit("proxyedit", proxyBox);
  port_ = NewEdit("portedit", proxyBox);
  port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance("000000") + 16);
  proxy_->setAccessibleName("Proxy Server");
  proxyForm->addRow(proxy_);
  proxyForm->addRow(Caption("Proxy Por&t:", port_, proxyBox), port_);
  right->addWidget(proxyBox);

  auto spin = [page](const char* name, int min, int max) {
    auto* s = new QSpinBox(page);
    s->setObjectName(name);
    s->setRange(min, max);
    s->setSingleStep(1);
    s->setMinimumWidth(s->fontMetrics().horizontalAdvance("00") + 48);
    return s;
  };
  retries_ = spin("MaxRetrySpin", kMinRetries, kMaxRetries);
  timeOut_ = spin("HTTPTimeOutSpin", kMinTimeOut, kMaxTimeOut);
  auto spinGroup = [page, right](const char* title, const char* label, QSpinBox* s) {
    auto* box = new QGroupBox(title, page);
    auto* h = new QHBoxLayout(box);
    h->addWidget(Caption(label, s, box));
    h->addWidget(s);
    h->addStretch();
    right->addWidget(box);
  };
  spinGroup("FTP Settings:", "Maximum retries if contact &failure:", retries_);
  spinGroup("HTTP Settings:", "Time out Secon&ds:", timeOut_);
  postAtOnce_ = spin("postAtOnce", kMinPostAtOnce, kMaxPostAtOnce);
  postRetries_ = spin("postRetries", kMinPostRetries, kMaxPostRetries);
  postAtOnce_->setToolTip("How many sites a run posts at once; 1 posts them one after another.");
  postRetries_->setToolTip(
      "How often a web form or e-mail is tried again when nothing reached the site "
      "(after 1, 2, 4 seconds). A form that was sent is never sent again.");
  auto* postBox = new QGroupBox("Posting:", page);
  auto* postForm = new QFormLayout(postBox);
  postForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  postForm->addRow(Caption("Sites &posted at once:", postAtOnce_, postBox), postAtOnce_);
  postForm->addRow(Caption("&Retries when nothing reached a site:", postRetries_, postBox),
                   postRetries_);
  right->addWidget(postBox);
  hints_ = new QCheckBox("Show &Hints", page);
  hints_->setObjectName("ShowHintsChk");
  group(right, "Misc. Settings:", hints_);
  left->addStretch();
  right->addStretch();

  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, [this] { Ok(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  try {
    // Opening reads the file again; its values become the main window's values.
    main_.Core().Settings() = dialog_.Open();
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
  }
  const ProgramSettings& f = dialog_.Fields();
  smtp_->setText(ToQt(f.smtp));
  email_->setText(ToQt(f.email));
  name_->setText(ToQt(f.name));
  proxy_->setText(ToQt(f.proxy));
  port_->setText(ToQt(f.port));
  retries_->setValue(f.ftpRetries);
  timeOut_->setValue(f.httpTimeOut);
  postAtOnce_->setValue(f.postAtOnce);
  postRetries_->setValue(f.postRetries);
  hints_->setChecked(f.showHints);
  mailLogin_->Load(f);
  services_->Load(f);
  loaded_ = f;
  setFixedSize(sizeHint());
}

void TSettingsForm::Ok() {
  ProgramSettings& f = dialog_.Fields();
  try {
    // Converted whole before anything is taken: a text that cannot be stored changes
    // nothing.
    ProgramSettings typed = f;
    typed.smtp = FromQt(smtp_->text());
    typed.email = FromQt(email_->text());
    typed.name = FromQt(name_->text());
    typed.proxy = FromQt(proxy_->text());
    typed.port = FromQt(port_->text());
    typed.ftpRetries = retries_->value();
    typed.httpTimeOut = timeOut_->value();
    typed.postAtOnce = postAtOnce_->value();
    typed.postRetries = postRetries_->value();
    typed.showHints = hints_->isChecked();
    mailLogin_->Store(typed);
    services_->Store(typed);
    f = typed;
    if (!dialog_.Ok()) return;  // the port was refused; the dialog stays open
    ServiceSettingsBox::WriteChanged(main_.Core().Wide().SettingsFile(), loaded_, f);
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
    return;
  }
  const bool gridLines = main_.Core().Settings().useGridLines;
  main_.Core().Settings() = f;
  main_.Core().Settings().useGridLines = gridLines;
  main_.ApplyHints(f.showHints);
  accept();
}

}  // namespace vendrix::ui
