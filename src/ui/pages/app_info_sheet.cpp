#include "app_info_sheet.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/session.h"
#include "busy_cursor.h"
#include "key_filter.h"
#include "page_host.h"
#include "profiles/app_profile.h"
#include "profiles/value_lists.h"
#include "qt_text.h"
#include "sheet_support.h"

namespace vendrix::ui {

namespace {

template <std::size_t N>
QStringList Items(const std::array<std::string_view, N>& list) {
  QStringList items;
  for (auto v : list) items << ToQt(v);
  return items;
}

// The sheets' side margins are narrow, so that the General sheet fits the window at its
// smallest width without scrolling sideways.
void NarrowMargins(QLayout* layout) {
  layout->setContentsMargins(4, 9, 4, 9);
}

QWidget* Row(QWidget* parent, std::initializer_list<QWidget*> widgets) {
  auto* w = new QWidget(parent);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  for (QWidget* x : widgets) h->addWidget(x);
  h->addStretch();
  return w;
}

}  // namespace

AppInfoSheet::AppInfoSheet(PageHost& main) : main_(main) {
  setObjectName("AppInfoSheet");
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  appName_ = new QComboBox(this);
  appName_->setObjectName("AppName");
  appName_->setMinimumWidth(320);
  MakeChooseOnly(appName_);
  top->addWidget(Caption("Appli&cation Name:", appName_, this));
  top->addWidget(appName_, 1);
  layout->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("AppInfoPages");
  tabs_->addTab(BuildGeneral(), "&General");
  tabs_->addTab(BuildLocations(), "&Locations");
  tabs_->addTab(BuildDescription(), "D&escription");
  tabs_->addTab(BuildPackages(), "Pac&kages");
  layout->addWidget(tabs_, 1);

  auto* buttons = new QHBoxLayout;
  QPushButton* newBtn = AddButton(buttons, "NewAppBtn", "Ne&w Application", this);
  QPushButton* deleteBtn = AddButton(buttons, "DeleteAppBtn", "Delete Applicatio&n", this);
  QPushButton* saveBtn = AddButton(buttons, "SaveAppBtn", "Save A&pplication", this);
  buttons->addStretch();
  QPushButton* exportBtn = AddButton(buttons, "ExportPadBtn", "Export PA&D File...", this);
  layout->addLayout(buttons);

  Session& s = main_.Core();
  connect(appName_, &QComboBox::activated, this, [this, &s](int index) {
    const std::string name = FromQt(appName_->itemText(index));
    SaveFirstThen(
        main_, &Session::OfferSaveApp, [&] { s.ChooseApp(name); }, true);
  });
  connect(newBtn, &QPushButton::clicked, this,
          [this, &s] { SaveFirstThen(main_, &Session::OfferSaveApp, [&] { s.App().NewApp(); }); });
  connect(deleteBtn, &QPushButton::clicked, this,
          [this, &s] { main_.Act([&] { s.App().DeleteApp(); }, true); });
  connect(saveBtn, &QPushButton::clicked, this,
          [this, &s] { main_.Act([&] { s.App().SaveApplication(); }, true); });
  connect(exportBtn, &QPushButton::clicked, this, [this] { main_.ExportPad(); });
}

QLineEdit* AppInfoSheet::Field(const char* key, QWidget* parent) {
  const AppField* field = FindAppField(key);
  auto* edit = NewEdit(std::string(field->control).c_str(), parent);
  const std::string k = key;
  // The year takes a whole year too; it is stored as its last two digits when the
  // field is left.
  const bool year = k == "YEAR";
  if (field->maxLength > 0) ShowLengthLimit(edit, year ? 4 : field->maxLength);
  if (year) edit->setToolTip("The year's last two digits (26), or the whole year (2026).");
  ApplyKeyRule(edit, field->rule);
  edits_[key] = edit;
  connect(edit, &QLineEdit::textChanged, this, [this, edit, k, year](const QString& text) {
    if (refreshing_) return;
    if (year && text.size() > 2) return;  // a whole year, entered when the field is left
    if (Storable(edit, text) && main_.Core().App().SetField(k, FromQt(text))) return;
    // Refused by the field rules (after their message): show what is stored.
    QTimer::singleShot(0, this, [this] { Refresh(); });
  });
  return edit;
}

QComboBox* AppInfoSheet::Selector(const char* key, QWidget* parent) {
  const AppField* field = FindAppField(key);
  auto* combo = new QComboBox(parent);
  combo->setObjectName(std::string(field->control).c_str());
  // Editable only to show a stored text that is not one of the items; typing is refused.
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  MakeChooseOnly(combo, true);
  combo->setMinimumContentsLength(6);
  selectors_[key] = combo;
  const std::string k = key;
  connect(combo, &QComboBox::activated, this, [this, k, combo](int index) {
    if (refreshing_) return;
    main_.Core().App().SetField(k, FromQt(combo->itemText(index)));
  });
  return combo;
}

QWidget* AppInfoSheet::BuildGeneral() {
  auto* page = new QWidget;
  page->setObjectName("GeneralSheet");
  auto* columns = new QHBoxLayout(page);
  NarrowMargins(columns);
  auto* left = new QFormLayout;
  auto* right = new QFormLayout;
  columns->addLayout(left, 1);
  columns->addSpacing(6);
  columns->addLayout(right, 1);

  QLineEdit* filename = Field("FILENAME", page);
  left->addRow(Caption("Application Filename", filename, page), filename);
  QLineEdit* version = Field("VERSION", page);
  left->addRow(Caption("&Version", version, page), version);

  QLineEdit* month = Field("MONTH", page);
  QLineEdit* day = Field("DAY", page);
  QLineEdit* year = Field("YEAR", page);
  for (QLineEdit* e : {month, day, year}) {
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance("0000") + 16);
    e->installEventFilter(this);
  }
  longDate_ = new QLabel(page);
  longDate_->setObjectName("ldatel");
  longDate_->setMinimumWidth(longDate_->fontMetrics().horizontalAdvance("00-Mmm-0000"));
  left->addRow(Caption("Release Month:", month, page),
               Row(page, {month, Caption("Day", day, page), day, Caption("Year", year, page), year,
                          longDate_}));

  QComboBox* platforms = Selector("PLATFORM", page);
  platforms->addItems(Items(kPlatforms));
  left->addRow(Caption("Platf&orm(s)", platforms, page), platforms);
  QLineEdit* size32 = Field("SIZE32", page);
  left->addRow(Caption("&32 Bit File Size", size32, page),
               Row(page, {size32, new QLabel("Bytes", page)}));
  QLineEdit* size16 = Field("SIZE16", page);
  left->addRow(Caption("&16 Bit File Size", size16, page),
               Row(page, {size16, new QLabel("Bytes", page)}));
  QLineEdit* price = Field("PRICE", page);
  left->addRow(Caption("P&rice: $", price, page), price);
  QLineEdit* eval = Field("EVAL", page);
  left->addRow(Caption("Evaluation Period", eval, page), eval);
  QLineEdit* expire = Field("XDATE", page);
  expire->setToolTip("Enter the expiration date as DD/MM/YY.");
  left->addRow(Caption("Expiration Date (day-month-year):", expire, page), expire);

  QLineEdit* char8 = Field("8CHAR", page);
  char8->installEventFilter(this);
  right->addRow(Caption("&8 Character Name:", char8, page), char8);
  QComboBox* submitter = Selector("DSTATUS", page);
  submitter->addItems(Items(kSubmitters));
  right->addRow(Caption("Sub&mitted By:", submitter, page), submitter);
  QComboBox* status = Selector("STATUS", page);
  status->addItems(Items(kStatuses));
  right->addRow(Caption("Stat&us", status, page), status);
  QComboBox* installer = Selector("installer", page);
  installer->addItems(Items(kInstallers));
  right->addRow(Caption("Install/Uninstall", installer, page), installer);
  // Each installed size in the row of its program's file size, as both captions are
  // the same.
  QLineEdit* inst32 = Field("INSTSIZE32", page);
  inst32->setToolTip("Installed size of the 32-bit program, in bytes");
  right->addRow(Caption("Installed Size:", inst32, page),
                Row(page, {inst32, new QLabel("Bytes", page)}));
  QLineEdit* inst16 = Field("INSTSIZE16", page);
  inst16->setToolTip("Installed size of the 16-bit program, in bytes");
  right->addRow(Caption("Installed Size:", inst16, page),
                Row(page, {inst16, new QLabel("Bytes", page)}));
  QLineEdit* after = Field("XDAYS", page);
  after->setMaximumWidth(after->fontMetrics().horizontalAdvance("000000") + 16);
  right->addRow(Caption("E&xpires After:", after, page),
                Row(page, {after, new QLabel("Days", page)}));
  specReq_ = NewEdit("specreq", page);
  connect(specReq_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (refreshing_) return;
    if (!Storable(specReq_, text)) return Refresh();
    main_.Core().App().SetSpecReq(FromQt(text));
  });
  right->addRow(Caption("Special Re&quirements:", specReq_, page), specReq_);
  return page;
}

QWidget* AppInfoSheet::PathRow(const char* key, const char* button, QWidget* parent) {
  QLineEdit* edit = Field(key, parent);
  auto* browse = new QPushButton("...", parent);
  browse->setObjectName(button);
  browse->setToolTip("Browse");
  const std::string k = key;
  connect(browse, &QPushButton::clicked, this,
          [this, k] { main_.Act([&] { main_.Core().App().BrowseFor(k); }); });
  auto* w = new QWidget(parent);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(edit, 1);
  h->addWidget(browse);
  return w;
}

QWidget* AppInfoSheet::BuildLocations() {
  auto* page = new QWidget;
  page->setObjectName("LocationsSheet");
  auto* layout = new QVBoxLayout(page);
  NarrowMargins(layout);
  auto* urls = new QFormLayout;
  QLineEdit* appUrl = Field("APPURL", page);
  urls->addRow(Caption("Application Info &URL", appUrl, page), appUrl);
  layout->addLayout(urls);

  auto* downloads = new QHBoxLayout;
  for (const char* bits : {"32", "16"}) {
    auto* box = new QGroupBox(QString("%1 Bit Download Locations:").arg(bits), page);
    auto* form = new QFormLayout(box);
    for (int n = 1; n <= 4; ++n) {
      const std::string key = "DL" + std::to_string(n) + "_" + bits;
      QLineEdit* e = Field(key.c_str(), box);
      form->addRow(Caption(QString("URL#%1:").arg(n), e, box), e);
    }
    downloads->addWidget(box);
  }
  layout->addLayout(downloads);

  auto* more = new QFormLayout;
  QLineEdit* shot = Field("SHOT", page);
  more->addRow(Caption("URL Location of ScreenShot", shot, page), shot);
  QLineEdit* gif = Field("GIF", page);
  more->addRow(Caption("URL Location of .GIF Icon", gif, page), gif);
  QLineEdit* ico = Field("ICO", page);
  more->addRow(Caption("URL Location of .ICO Icon", ico, page), ico);
  QLineEdit* pad = Field("PADURL", page);
  more->addRow(Caption("URL Location of PAD File", pad, page), pad);
  QWidget* local = PathRow("PATH", "BrowseProgramBtn", page);
  more->addRow(Caption("Full L&ocal Path to File Archive", edits_["PATH"], page), local);

  auto* attach = new QGroupBox("Local Paths to E-Mail Attachments:", page);
  auto* form = new QFormLayout(attach);
  struct PathLook {
    const char* key;
    const char* label;
    const char* button;
  };
  for (const PathLook& p : {PathLook{"ICOPATH", ".Ico Icon:", "BrowseIcoBtn"},
                            PathLook{"GIFPATH", "Gif Icon:", "BrowseGifBtn"},
                            PathLook{"SCREENPATH", "Screen Shot:", "BrowseScreenShotBtn"},
                            PathLook{"OTHERPATH", "Other File:", "BrowseOtherBtn"}}) {
    QWidget* row = PathRow(p.key, p.button, attach);
    form->addRow(Caption(p.label, edits_[p.key], attach), row);
  }
  // The web locations beside the local files, so that the sheet fits a 720-pixel
  // screen without scrolling.
  auto* files = new QHBoxLayout;
  files->addLayout(more, 1);
  files->addWidget(attach, 1, Qt::AlignTop);
  layout->addLayout(files);
  layout->addStretch();
  return page;
}

QPlainTextEdit* AppInfoSheet::Memo(const char* name, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  // Tab moves on, as in every other field: the descriptions are plain paragraphs.
  memo->setTabChangesFocus(true);
  ApplyKeyRule(memo, KeyRule::NoDollar);
  connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
    if (refreshing_) return;
    if (!Storable(memo, memo->toPlainText())) return Refresh();
    Lines lines = LinesFromQt(memo->toPlainText());
    if (memo == longDesc_) {
      main_.Core().App().SetLongDesc(std::move(lines));
    } else {
      main_.Core().App().SetNotes(std::move(lines));
    }
  });
  return memo;
}

QWidget* AppInfoSheet::BuildDescription() {
  auto* page = new QWidget;
  page->setObjectName("DescriptionSheet");
  auto* layout = new QVBoxLayout(page);
  NarrowMargins(layout);
  auto* form = new QFormLayout;
  QLineEdit* shortDesc = Field("SHORTDESC", page);
  form->addRow(Caption("Sho&rt Description:", shortDesc, page),
               Row(page, {shortDesc, LengthCounter(shortDesc, page)}));
  shortDesc->setMinimumWidth(shortDesc->fontMetrics().horizontalAdvance('x') * 50);
  layout->addLayout(form);
  longDesc_ = Memo("longdesc", page);
  layout->addWidget(Caption("L&ong Description", longDesc_, page));
  layout->addWidget(longDesc_, 2);
  notes_ = Memo("NotesToReviewer", page);
  layout->addWidget(
      Caption("Notes to reviewer if applicable.  (Reg code offer, Version Update Changes, etc.)",
              notes_, page));
  layout->addWidget(notes_, 1);
  return page;
}

QWidget* AppInfoSheet::BuildPackages() {
  auto* page = new QWidget;
  page->setObjectName("PackagesSheet");
  auto* layout = new QVBoxLayout(page);
  NarrowMargins(layout);
  auto* intro = new QLabel(
      "winget, Scoop and Chocolatey take the application from the fields of the other sheets "
      "(the download address URL#1 of 32 bits and the local file) and these:",
      page);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  QLineEdit* license = Field("LICENSE", page);
  license->setToolTip("The licence's name, as \"MIT\" or \"Proprietary\"");
  form->addRow(Caption("Licence:", license, page), license);
  QLineEdit* licenseUrl = Field("LICENSEURL", page);
  form->addRow(Caption("Licence Add&ress:", licenseUrl, page), licenseUrl);
  QLineEdit* pkgId = Field("PKGID", page);
  pkgId->setPlaceholderText("Publisher.Package, made from the company's and application's names");
  form->addRow(Caption("Package Identifier:", pkgId, page), pkgId);
  QLineEdit* tags = Field("TAGS", page);
  tags->setToolTip("Separated by commas: at most 16 tags of at most 40 characters each");
  form->addRow(Caption("Tags:", tags, page), tags);
  QComboBox* kind = Selector("INSTKIND", page);
  kind->addItem("");
  kind->addItems(Items(kInstallerKinds));
  kind->setToolTip("Empty: the file's name decides (.msi, .zip, else exe)");
  form->addRow(Caption("Installer Kind:", kind, page), kind);
  QLineEdit* silent = Field("SILENT", page);
  silent->setToolTip(
      "The switches that install without questions; inno, nullsoft and msi "
      "have their own when this is empty");
  form->addRow(Caption("Silent Switches:", silent, page), silent);
  QLineEdit* pkgExe = Field("PKGEXE", page);
  pkgExe->setToolTip("The program file inside a zip, or the installed program to start");
  form->addRow(Caption("Pr&ogram File:", pkgExe, page), pkgExe);
  QLineEdit* relNotes = Field("RELNOTES", page);
  form->addRow(Caption("Release Notes:", relNotes, page), relNotes);
  layout->addLayout(form);
  auto* row = new QHBoxLayout;
  row->addStretch();
  QPushButton* exportBtn =
      AddButton(row, "ExportManifestsBtn", "Export Package &Manifests\u2026", page);
  connect(exportBtn, &QPushButton::clicked, this, [this] { main_.ExportManifests(); });
  layout->addLayout(row);
  layout->addStretch();
  return page;
}

bool AppInfoSheet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && watched == edits_["YEAR"]) {
    yearBefore_ = main_.Core().App().Profile().year;
  }
  if (event->type() == QEvent::FocusOut) {
    // Leaving the field, not the window (a message box or a menu takes the focus too).
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
      return QWidget::eventFilter(watched, event);
    }
    if (watched == edits_["8CHAR"]) {
      // After the focus has moved on, so that the message box does not fight it.
      QTimer::singleShot(0, this, [this] { Char8Exit(); });
    } else if (watched == edits_["YEAR"] && edits_["YEAR"]->text().size() > 2) {
      QTimer::singleShot(0, this, [this] { YearExit(); });
    } else {
      longDate_->setText(ToQt(main_.Core().App().LongDate()));
    }
  }
  return QWidget::eventFilter(watched, event);
}

void AppInfoSheet::Char8Exit() {
  if (inChar8Exit_) return;
  inChar8Exit_ = true;
  const bool accepted = main_.Core().App().Char8NameExit();
  Refresh();
  if (!accepted) edits_["8CHAR"]->setFocus();
  inChar8Exit_ = false;
}

void AppInfoSheet::YearExit() {
  QLineEdit* year = edits_["YEAR"];
  const QString typed = year->text();
  if (typed.size() <= 2) return;
  // Stored as two digits, or refused after the message: then the year is what it was
  // before the person began typing (the first digits went in as they came).
  bool stored = false;
  main_.Act([&] { stored = main_.Core().App().EnterValue("YEAR", FromQt(typed)); });
  if (!stored) main_.Core().App().SetField("YEAR", yearBefore_);
  Refresh();
}

void AppInfoSheet::Refresh() {
  Refreshing guard(refreshing_);
  const AppPage& page = main_.Core().App();
  QStringList names;
  for (const auto& n : page.Names()) names << ToQt(n);
  SetItems(appName_, names, ToQt(page.Shown()));
  const AppProfile& p = page.Profile();
  for (const auto& [key, edit] : edits_) SetText(edit, ToQt(p.*(FindAppField(key)->member)));
  for (const auto& [key, combo] : selectors_) SetText(combo, ToQt(p.*(FindAppField(key)->member)));
  SetText(specReq_, ToQt(p.specReq));
  SetText(longDesc_, LinesToQt(p.longDesc));
  SetText(notes_, LinesToQt(p.notes));
  longDate_->setText(ToQt(page.LongDate()));
}

}  // namespace vendrix::ui
