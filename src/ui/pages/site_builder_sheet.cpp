#include "site_builder_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "busy_cursor.h"
#include "key_filter.h"
#include "page_host.h"
#include "qt_text.h"
#include "script/checks.h"
#include "sheet_support.h"
#include "small_windows.h"

namespace vendrix::ui {

namespace {

// The HTTP scripts are one line: the Enter key is refused there.
class NoEnter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

SiteBuilderSheet::SiteBuilderSheet(PageHost& main) : main_(main) {
  setObjectName("SiteBuilderSheet");
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName("SiteBuilderPages");
  tabs->addTab(BuildDetails(), "D&etails");
  tabs->addTab(BuildHttp(), "HTT&P Post");
  tabs->addTab(BuildFtp(), "FTP Upl&oad");
  tabs->addTab(BuildEmail(), "E-&mail");
  layout->addWidget(tabs, 1);
  layout->addWidget(BuildBand());
}

QLineEdit* SiteBuilderSheet::Text(const char* name, std::string SiteDefinition::*member,
                                  bool variables, QWidget* parent) {
  QLineEdit* edit = NewEdit(name, parent);
  connect(edit, &QLineEdit::textChanged, this, [this, edit, member](const QString& text) {
    if (refreshing_) return;
    if (!Storable(edit, text)) return Refresh();
    main_.Core().Builder().Edit().*member = FromQt(text);
  });
  show_.push_back(
      [this, edit, member] { SetText(edit, ToQt(main_.Core().Builder().Definition().*member)); });
  if (variables) OfferVariables(edit);
  return edit;
}

QCheckBox* SiteBuilderSheet::Check(const char* name, const QString& caption,
                                   bool SiteDefinition::*member, bool enabling, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  connect(box, &QCheckBox::clicked, this, [this, member, enabling](bool on) {
    if (refreshing_) return;
    SiteBuilder& b = main_.Core().Builder();
    b.Edit().*member = on;
    if (enabling) {
      b.ApplyEnablingRules();
      ApplyEnabled();
    }
  });
  show_.push_back(
      [this, box, member] { box->setChecked(main_.Core().Builder().Definition().*member); });
  return box;
}

QPlainTextEdit* SiteBuilderSheet::Script(const char* name, ScriptKind kind, QWidget* parent) {
  auto* editor = new QPlainTextEdit(parent);
  editor->setObjectName(name);
  editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Tab moves on from a script as from any field: the keyboard must not be trapped.
  editor->setTabChangesFocus(true);
  const char* names[] = {"New submission form script", "Update form script", "FTP text file script",
                         "New submission e-mail script", "Update e-mail script"};
  editor->setAccessibleName(names[static_cast<int>(kind)]);
  if (kind == ScriptKind::HttpNew || kind == ScriptKind::HttpUpdate) {
    editor->installEventFilter(new NoEnter(editor));
    editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  }
  connect(editor, &QPlainTextEdit::textChanged, this, [this, editor, kind] {
    if (refreshing_) return;
    if (!Storable(editor, editor->toPlainText())) return Refresh();
    main_.Core().Builder().Edit().Script(kind) = ScriptFromQt(editor->toPlainText());
  });
  show_.push_back([this, editor, kind] {
    SetText(editor, ScriptToQt(main_.Core().Builder().Definition().Script(kind)));
  });
  OfferVariables(editor);
  return editor;
}

QPlainTextEdit* SiteBuilderSheet::Categories(const char* name, Lines SiteDefinition::*member,
                                             QWidget* parent) {
  auto* editor = new QPlainTextEdit(parent);
  editor->setObjectName(name);
  editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  editor->setTabChangesFocus(true);
  connect(editor, &QPlainTextEdit::textChanged, this, [this, editor, member] {
    if (refreshing_) return;
    if (!Storable(editor, editor->toPlainText())) return Refresh();
    main_.Core().Builder().Edit().*member = LinesFromQt(editor->toPlainText());
  });
  show_.push_back([this, editor, member] {
    SetText(editor, LinesToQt(main_.Core().Builder().Definition().*member));
  });
  return editor;
}

QPushButton* SiteBuilderSheet::TestScript(const char* name, const char* caption,
                                          QPlainTextEdit* editor, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  // The mail scripts' check shows the footer the mail to the site ends with.
  const bool mail = std::string_view(name).find("EMail") != std::string_view::npos;
  connect(button, &QPushButton::clicked, this, [this, editor, mail] {
    std::string shown;
    main_.Act([&] {
      const std::optional<std::string> footer =
          mail ? std::optional<std::string>(main_.Core().Settings().footerUrl) : std::nullopt;
      shown = RunScriptCheck(main_.Core().Wide().EngBuild(), ScriptFromQt(editor->toPlainText()),
                             footer);
    });
    TScriptCheckFrm check(ToQt(shown), this);
    check.exec();
  });
  return button;
}

QPushButton* SiteBuilderSheet::DefaultScript(const char* name, const char* caption, int which,
                                             QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, [this, which] {
    main_.Act([&] {
      main_.Core().Builder().LoadDefaultScript(static_cast<vendrix::DefaultScript>(which));
    });
  });
  return button;
}

void SiteBuilderSheet::OfferVariables(QWidget* field) {
  field->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(field, &QWidget::customContextMenuRequested, this, [this, field](const QPoint& pos) {
    QMenu* menu = nullptr;
    if (auto* edit = qobject_cast<QLineEdit*>(field)) menu = edit->createStandardContextMenu();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(field)) {
      menu = memo->createStandardContextMenu(pos);
    }
    if (!menu) return;
    menu->setObjectName("VariablesPopupMenu");
    auto* variables = new QAction("Variable List", menu);
    variables->setObjectName("VariableListItem");
    connect(variables, &QAction::triggered, this, [this, field] {
      field->setFocus();
      main_.ShowVariables();
    });
    QAction* first = menu->actions().value(0);
    menu->insertAction(first, variables);
    menu->insertSeparator(first);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(field->mapToGlobal(pos));
  });
}

QWidget* SiteBuilderSheet::RadioGroup(const QString& title, std::initializer_list<RadioLook> looks,
                                      std::function<int(const SiteDefinition&)> get,
                                      std::function<void(SiteBuilder&, int)> set, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* h = new QHBoxLayout(box);
  std::vector<std::pair<QRadioButton*, int>> radios;
  for (const RadioLook& look : looks) {
    auto* r = new QRadioButton(look.caption, box);
    r->setObjectName(look.name);
    h->addWidget(r);
    radios.emplace_back(r, look.value);
    const int value = look.value;
    connect(r, &QRadioButton::clicked, this, [this, set, value] {
      if (refreshing_) return;
      set(main_.Core().Builder(), value);
      Refresh();
    });
  }
  h->addStretch();
  show_.push_back([this, radios, get] {
    const int value = get(main_.Core().Builder().Definition());
    for (auto& [r, v] : radios) r->setChecked(v == value);
  });
  return box;
}

QWidget* SiteBuilderSheet::BuildDetails() {
  auto* page = new QWidget;
  page->setObjectName("DetailsSheet");
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  siteName_ = new QComboBox(page);
  siteName_->setObjectName("EB_SiteNameCombo");
  siteName_->setMinimumContentsLength(30);
  // Sized by that length, not by measuring every one of thousands of names.
  siteName_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  MakeChooseOnly(siteName_);
  connect(siteName_, &QComboBox::activated, this, [this](int index) {
    // Unsaved edits of the open site are offered for saving first.
    bool go = false;
    if (!main_.Act([&] { go = main_.Core().OfferSaveSite(); }) || !go) return;
    main_.Act([&] { main_.Core().Builder().OpenSiteAt(index); }, true);
  });
  form->addRow(Caption("Site &Name:", siteName_, page), siteName_);
  QLineEdit* web = Text("EB_SitesWebUrlEdit", &SiteDefinition::sitesWebUrl, false, page);
  form->addRow(Caption("Site's Web Pa&ge:", web, page), web);
  layout->addLayout(form);

  auto* groups = new QHBoxLayout;
  groups->addWidget(RadioGroup(
      "Site Accepts:",
      {{"EB_TypeFreeRadio", "Freeware Only", 1}, {"EB_TypeShareRadio", "Freeware && Shareware", 2}},
      [](const SiteDefinition& d) { return d.freewareOnly ? 1 : 2; },
      [](SiteBuilder& b, int v) { b.Edit().freewareOnly = v == 1; }, page));
  groups->addWidget(RadioGroup(
      "Site Accepts Operating Systems of:",
      {{"EB_32BitOnly", "32 Bit Only", 1},
       {"EB_16BitOnly", "16 Bit Only", 2},
       {"EB_3216Bit", "Both", 3}},
      [](const SiteDefinition& d) { return static_cast<int>(d.siteSystem); },
      [](SiteBuilder& b, int v) { b.Edit().siteSystem = static_cast<SiteSystem>(v); }, page));
  layout->addLayout(groups);

  auto* cats = new QHBoxLayout;
  for (int which = 1; which <= 2; ++which) {
    auto* col = new QVBoxLayout;
    QCheckBox* use =
        Check(which == 1 ? "EB_UseCatagory1" : "EB_UseCatagory2",
              which == 1 ? "Use Primary Category Selections" : "Use Secondary Category Selections",
              which == 1 ? &SiteDefinition::useCat1 : &SiteDefinition::useCat2, true, page);
    QPlainTextEdit* memo =
        Categories(which == 1 ? "EB_CatagoriesMemo1" : "EB_CatagoriesMemo2",
                   which == 1 ? &SiteDefinition::cat1 : &SiteDefinition::cat2, page);
    memo->setToolTip("One category per line: the site's value, then \">, then the text shown.");
    memo->setAccessibleName(which == 1 ? "Primary categories" : "Secondary categories");
    (which == 1 ? cat1Memo_ : cat2Memo_) = memo;
    col->addWidget(use);
    col->addWidget(memo, 1);
    cats->addLayout(col);
  }
  layout->addLayout(cats, 1);
  return page;
}

QWidget* SiteBuilderSheet::BuildHttp() {
  auto* page = new QWidget;
  page->setObjectName("HttpPostSheet");
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout;
  top->addWidget(
      Check("EB_UseHTTPPostChk", "Site Uses HTTP", &SiteDefinition::useHttpPost, true, page));
  top->addWidget(RadioGroup(
      "Method:", {{"EB_PostType_POST", "Post", 1}, {"EB_PostType_GET", "Get", 2}},
      [](const SiteDefinition& d) { return d.httpGet ? 2 : 1; },
      [](SiteBuilder& b, int v) { b.Edit().httpGet = v == 2; }, page));
  top->addStretch();
  auto* matchUps = new QPushButton("Fie&ld Translations", page);
  matchUps->setObjectName("EB_MatchUpFields");
  connect(matchUps, &QPushButton::clicked, this, [this] {
    BusyCursor busy;
    TMatchUpFrm form(main_.Core().Builder(), this);
    form.exec();
  });
  top->addWidget(matchUps);
  layout->addLayout(top);

  struct Look {
    const char* url;
    const char* memo;
    const char* check;
    const char* label;
    std::string SiteDefinition::*member;
    ScriptKind kind;
    const char* test;  // the test button's caption (its letter differs from the other's)
  };
  for (const Look& l :
       {Look{"EB_HTTP_NewScriptURLEdit", "EB_NewSubmissionMemo", "EB_HTTPNew_ScriptCheck",
             "New Script:", &SiteDefinition::httpNewScriptUrl, ScriptKind::HttpNew, "Test S&cript"},
        Look{"EB_HTTP_UpdateScriptURLEdit", "EB_UpdateSubmissionMemo", "EB_HTTPUpdate_ScriptCheck",
             "Update Script:", &SiteDefinition::httpUpdateScriptUrl, ScriptKind::HttpUpdate,
             "Test Sc&ript"}}) {
    auto* row = new QHBoxLayout;
    QLineEdit* url = Text(l.url, l.member, true, page);
    row->addWidget(Caption("Post URL:", url, page));
    row->addWidget(url, 1);
    layout->addLayout(row);
    QPlainTextEdit* memo = Script(l.memo, l.kind, page);
    auto* head = new QHBoxLayout;
    head->addWidget(Caption(l.label, memo, page));
    head->addStretch();
    head->addWidget(TestScript(l.check, l.test, memo, page));
    layout->addLayout(head);
    layout->addWidget(memo, 1);
    httpControls_.push_back(memo);
  }
  return page;
}

QWidget* SiteBuilderSheet::BuildFtp() {
  auto* page = new QWidget;
  page->setObjectName("FtpUploadSheet");
  auto* layout = new QHBoxLayout(page);
  auto* left = new QVBoxLayout;
  left->addWidget(Check("EB_UseFTPUploadChk", "Site Uses FTP Uploads",
                        &SiteDefinition::useFtpUpload, true, page));
  auto* zip = new QCheckBox("Site requires ZIP file", page);
  zip->setObjectName("EB_UseZipFileChk");
  connect(zip, &QCheckBox::clicked, this, [this](bool on) {
    if (refreshing_) return;
    main_.Core().Builder().SetUseZipFile(on);
    Refresh();
  });
  show_.push_back([this, zip] { zip->setChecked(main_.Core().Builder().Definition().useZipFile); });
  left->addWidget(zip);
  QCheckBox* use8x3 = Check("EB_Use8x3FileName", "Site Requires 8 + 3 Filename",
                            &SiteDefinition::use8x3FileName, false, page);
  left->addWidget(use8x3);
  auto* form = new QFormLayout;
  QLineEdit* server = Text("EB_FTPServerEdit", &SiteDefinition::ftpServer, false, page);
  form->addRow(Caption("FTP Se&rver:", server, page), server);
  QLineEdit* path = Text("EB_RemotePathEdit", &SiteDefinition::remotePath, true, page);
  form->addRow(Caption("Remote Path:", path, page), path);
  QLineEdit* login = Text("EB_LoginNameEdit", &SiteDefinition::loginName, true, page);
  form->addRow(Caption("Logi&n name:", login, page), login);
  QLineEdit* password = Text("EB_LoginPasswordEdit", &SiteDefinition::loginPassword, true, page);
  password->setEchoMode(QLineEdit::Password);  // not readable over a shoulder or in a screenshot
  form->addRow(Caption("Lo&gin Password:", password, page), password);
  left->addLayout(form);

  auto* textFile = new QGroupBox("Added Text File:", page);
  auto* tv = new QVBoxLayout(textFile);
  std::vector<std::pair<QRadioButton*, TextFileOption>> options;
  for (auto [name, caption, option] :
       {std::tuple{"EB_AddFileToUploadChk", "Add to Upload", TextFileOption::AddToUpload},
        std::tuple{"EB_IncludeInZipChk", "Include in Zip", TextFileOption::IncludeInZip},
        std::tuple{"EB_AddedTextBoth", "Both", TextFileOption::Both}}) {
    auto* r = new QRadioButton(caption, textFile);
    r->setObjectName(name);
    r->setAutoExclusive(false);  // a file may hold none of the three
    tv->addWidget(r);
    options.emplace_back(r, option);
    ftpControls_.push_back(r);
    const TextFileOption o = option;
    connect(r, &QRadioButton::clicked, this, [this, o] {
      if (refreshing_) return;
      main_.Core().Builder().SetTextFileOption(o);
      Refresh();
    });
  }
  show_.push_back([this, options] {
    const TextFileOption current = main_.Core().Builder().Definition().textFileOption;
    for (auto& [r, o] : options) r->setChecked(o == current);
  });
  left->addWidget(textFile);
  auto* nameForm = new QFormLayout;
  QLineEdit* fileName = Text("EB_FileName", &SiteDefinition::ftpFileName, true, page);
  nameForm->addRow(Caption("Fi&lename:", fileName, page), fileName);
  left->addLayout(nameForm);
  left->addStretch();
  layout->addLayout(left, 2);

  auto* right = new QVBoxLayout;
  QPlainTextEdit* script = Script("EB_FileScriptMemo", ScriptKind::FtpNew, page);
  auto* head = new QHBoxLayout;
  head->addWidget(Caption("Text File Script:", script, page));
  head->addStretch();
  head->addWidget(DefaultScript("Eb_FTPScriptDefaultBtn", "Defa&ult Script", 0, page));
  head->addWidget(TestScript("EB_FTPScriptCheck", "Test S&cript", script, page));
  right->addLayout(head);
  right->addWidget(script, 1);
  layout->addLayout(right, 3);
  for (QWidget* w : std::initializer_list<QWidget*>{zip, use8x3, server, login, path, password,
                                                    fileName, script}) {
    ftpControls_.push_back(w);
  }
  return page;
}

QWidget* SiteBuilderSheet::BuildEmail() {
  auto* page = new QWidget;
  page->setObjectName("EmailSheet");
  auto* layout = new QVBoxLayout(page);
  auto* boxes = new QGridLayout;
  boxes->addWidget(
      Check("EB_UseEmail", "Use E-Mail Submission", &SiteDefinition::useEmail, true, page), 0, 0);
  QCheckBox* copy = Check("EB_SendEmailCopy", "Send Copy To Company Contact",
                          &SiteDefinition::emailSendCopy, true, page);
  boxes->addWidget(copy, 1, 0);
  struct AttachLook {
    const char* name;
    const char* caption;
    bool SiteDefinition::*member;
  };
  int column = 1;
  int row = 0;
  for (const AttachLook& a :
       {AttachLook{"EB_AttachGif", "Attach .Gif", &SiteDefinition::attachGif},
        AttachLook{"EB_AttachIco", "Attach .Ico", &SiteDefinition::attachIco},
        AttachLook{"EB_AttachScreenShot", "Attach Screen Shot", &SiteDefinition::attachScreen},
        AttachLook{"EB_AttachAppToEmail", "Attach Application", &SiteDefinition::attachApplication},
        AttachLook{"EB_AttachOther", "Attach Other File", &SiteDefinition::attachOther}}) {
    QCheckBox* box = Check(a.name, a.caption, a.member, true, page);
    boxes->addWidget(box, row, column);
    emailControls_.push_back(box);
    if (++row == 2) {
      row = 0;
      ++column;
    }
  }
  emailControls_.push_back(copy);
  layout->addLayout(boxes);

  struct Look {
    const char* to;
    const char* toLabel;
    std::string SiteDefinition::*toMember;
    const char* subject;
    std::string SiteDefinition::*subjectMember;
    const char* defaultBtn;
    int defaultWhich;
    const char* check;
    const char* memo;
    ScriptKind kind;
    const char* defaultCaption;  // the two columns' buttons have letters of their own
    const char* testCaption;
  };
  auto* scripts = new QHBoxLayout;
  for (const Look& l :
       {Look{"EB_EmailToEdit", "E-Mail &New Submissions to:", &SiteDefinition::emailToName,
             "EB_EmailSubjectEdit", &SiteDefinition::emailSubject, "Eb_MailNewScriptDefaultBtn", 1,
             "EB_EMailNew_ScriptCheck", "EB_Email_NewSubmissionScriptMemo", ScriptKind::EmailNew,
             "Defau&lt Script", "Test Sc&ript"},
        Look{"EB_EmailToEdit_Update", "E-Mail Updates to:", &SiteDefinition::emailToNameUpdate,
             "EB_EmailSubjectEdit_Update", &SiteDefinition::emailSubjectUpdate,
             "Eb_MailUpdateScriptDefaultBtn", 2, "EB_EMailUpdate_ScriptCheck",
             "EB_Email_UpdateSubmissionScriptMemo", ScriptKind::EmailUpdate, "Defa&ult Script",
             "Test S&cript"}}) {
    auto* col = new QVBoxLayout;
    auto* form = new QFormLayout;
    QLineEdit* to = Text(l.to, l.toMember, false, page);
    form->addRow(Caption(l.toLabel, to, page), to);
    QLineEdit* subject = Text(l.subject, l.subjectMember, true, page);
    form->addRow(Caption(l.kind == ScriptKind::EmailNew ? "Sub&ject:" : "Subject:", subject, page),
                 subject);
    col->addLayout(form);
    QPlainTextEdit* memo = Script(l.memo, l.kind, page);
    auto* head = new QHBoxLayout;
    head->addStretch();
    head->addWidget(DefaultScript(l.defaultBtn, l.defaultCaption, l.defaultWhich, page));
    head->addWidget(TestScript(l.check, l.testCaption, memo, page));
    col->addLayout(head);
    col->addWidget(memo, 1);
    scripts->addLayout(col);
    for (QWidget* w : std::initializer_list<QWidget*>{to, subject, memo}) {
      emailControls_.push_back(w);
    }
  }
  layout->addLayout(scripts, 1);
  return page;
}

QWidget* SiteBuilderSheet::BuildBand() {
  auto* band = new QGroupBox("Byte Format", this);
  band->setObjectName("ByteFormatBand");
  auto* h = new QHBoxLayout(band);
  std::vector<std::pair<QRadioButton*, ByteFormat>> formats;
  for (auto [name, caption, format] :
       {std::tuple{"EB_BytesRadio", "Bytes", ByteFormat::Bytes},
        std::tuple{"EB_KBytesRadio", "Kbytes", ByteFormat::KBytes},
        std::tuple{"EB_MBytesRadio", "Mbytes", ByteFormat::MBytes}}) {
    auto* r = new QRadioButton(caption, band);
    r->setObjectName(name);
    h->addWidget(r);
    formats.emplace_back(r, format);
    const ByteFormat f = format;
    connect(r, &QRadioButton::clicked, this, [this, f] {
      if (!refreshing_) main_.Core().Builder().Edit().byteFormat = f;
    });
  }
  show_.push_back([this, formats] {
    const ByteFormat current = main_.Core().Builder().Definition().byteFormat;
    for (auto& [r, f] : formats) r->setChecked(f == current);
  });
  h->addStretch();
  auto button = [&](const char* name, const char* text) {
    auto* b = new QPushButton(text, band);
    b->setObjectName(name);
    h->addWidget(b);
    return b;
  };
  contribute_ = button("ContributeBtn", "Contribute!");
  contribute_->hide();
  QPushButton* add = button("EB_AddNewSiteBtn", "Ne&w Site");
  QPushButton* del = button("EB_DeleteSiteBtn", "&Delete Site");
  QPushButton* save = button("EB_UpdateSiteBtn", "Sa&ve Site");
  SiteBuilder& b = main_.Core().Builder();
  connect(add, &QPushButton::clicked, this,
          [this, &b] { SaveFirstThen(main_, &Session::OfferSaveSite, [&] { b.NewSite(); }); });
  connect(del, &QPushButton::clicked, this,
          [this, &b] { main_.Act([&] { b.DeleteSite(); }, true); });
  connect(save, &QPushButton::clicked, this,
          [this, &b] { main_.Act([&] { b.SaveSite(); }, true); });
  connect(contribute_, &QPushButton::clicked, this,
          [this] { main_.RunCommand(HostCommand::Contribute); });
  band->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(band, &QWidget::customContextMenuRequested, this, [this, band](const QPoint& pos) {
    auto* menu = new QMenu(band);
    menu->setObjectName("BandPopupMenu");
    QAction* a = menu->addAction("Contribute Site To Halvane");
    a->setObjectName("ContributeItem");
    connect(a, &QAction::triggered, this, [this] { main_.RunCommand(HostCommand::Contribute); });
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(band->mapToGlobal(pos));
  });
  return band;
}

void SiteBuilderSheet::ApplyEnabled() {
  const SiteBuilderEnabled e = EnabledFor(main_.Core().Builder().Definition());
  cat1Memo_->setEnabled(e.cat1Editor);
  cat2Memo_->setEnabled(e.cat2Editor);
  for (QWidget* w : httpControls_) w->setEnabled(e.httpScripts);
  for (QWidget* w : ftpControls_) w->setEnabled(e.ftpControls);
  for (QWidget* w : emailControls_) w->setEnabled(e.emailControls);
}

void SiteBuilderSheet::Refresh() {
  Refreshing guard(refreshing_);
  const SiteBuilder& b = main_.Core().Builder();
  if (b.Lists().SiteList != shownNames_ || shownNamesQt_.size() != siteName_->count()) {
    shownNames_ = b.Lists().SiteList;
    shownNamesQt_.clear();
    shownNamesQt_.reserve(static_cast<qsizetype>(shownNames_.size()));
    for (const auto& n : shownNames_) shownNamesQt_ << ToQt(n);
  }
  const std::string* selected = b.Lists().Selected();
  SetItems(siteName_, shownNamesQt_, selected ? ToQt(*selected) : QString());
  if (siteName_->currentIndex() != b.Lists().selected)
    siteName_->setCurrentIndex(b.Lists().selected);
  for (const auto& show : show_) show();
  contribute_->setVisible(b.ContributeVisible() && !main_.Core().ContributeHidden());
  ApplyEnabled();
}

}  // namespace vendrix::ui
