#include "sites_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "base/file_io.h"
#include "busy_cursor.h"
#include "key_filter.h"
#include "page_host.h"
#include "qt_text.h"
#include "sheet_support.h"
#include "site_table_model.h"

namespace vendrix::ui {

SitesSheet::SitesSheet(PageHost& main) : main_(main) {
  setObjectName("SitesSheet");
  SiteTable& table = main_.Core().Table();
  auto* layout = new QVBoxLayout(this);

  model_ = new SiteTableModel([&table]() -> const std::vector<AppSiteRow>& { return table.Rows(); },
                              this);
  grid_ = new QTableView(this);
  grid_->setObjectName("SiteGrid");
  grid_->setModel(model_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->setShowGrid(false);
  grid_->setWordWrap(false);
  grid_->setMinimumHeight(220);
  // Tab enters and leaves the table; the arrows move inside it, Space ticks "P" and
  // Enter opens the site's page.
  grid_->setTabKeyNavigation(false);
  grid_->setAccessibleName("Sites");
  grid_->installEventFilter(this);
  QHeaderView* header = grid_->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(false);
  const int ch = grid_->fontMetrics().horizontalAdvance('M');
  // Narrow enough that "Sent" is in view without scrolling.
  const int widths[] = {15, 7, 6, 11, 11, 2, 2, 2, 2, 8, 2, 5};
  for (int c = 0; c < 12; ++c) grid_->setColumnWidth(c, widths[c] * ch + 12);
  layout->addWidget(grid_, 1);
  firstStart_ = FirstStartPanel();
  layout->addWidget(firstStart_, 1);

  auto* counts = new QHBoxLayout;
  countLbl_ = new QLabel("0", this);
  countLbl_->setObjectName("SiteGridCountLbl");
  totalLbl_ = new QLabel("0", this);
  totalLbl_->setObjectName("TotalToPostLbl");
  counts->addWidget(Caption("Current A&vailable Sites:", grid_, this));
  counts->addWidget(countLbl_);
  counts->addSpacing(24);
  counts->addWidget(new QLabel("Total To Post:", this));
  counts->addWidget(totalLbl_);
  counts->addStretch();
  gridLinesChk_ = new QCheckBox("Use G&rid Lines", this);
  gridLinesChk_->setObjectName("UseGridLinesChk");
  counts->addWidget(gridLinesChk_);
  layout->addLayout(counts);

  // The detail panel of the selected row.
  auto* panel = new QGroupBox("Selected Site", this);
  auto* grid = new QGridLayout(panel);
  cat1_ = new QComboBox(panel);
  cat1_->setObjectName("CatCombo1");
  cat2_ = new QComboBox(panel);
  cat2_->setObjectName("CatCombo2");
  for (QComboBox* c : {cat1_, cat2_}) {
    MakeChooseOnly(c);
    c->setMinimumContentsLength(24);
    c->installEventFilter(this);
  }
  cat1Lbl_ = Caption("Primary &Category:", cat1_, panel);
  cat2Lbl_ = Caption("Sec&ondary Category:", cat2_, panel);
  grid->addWidget(cat1Lbl_, 0, 0);
  grid->addWidget(cat1_, 0, 1);
  grid->addWidget(cat2Lbl_, 1, 0);
  grid->addWidget(cat2_, 1, 1);
  postChk_ = new QCheckBox("Sub&mit to this software site as", panel);
  postChk_->setObjectName("DoPostCheckBox");
  newRadio_ = new QRadioButton("a NE&W first time submission", panel);
  newRadio_->setObjectName("SubmitNewRadio");
  updateRadio_ = new QRadioButton("an UP&DATE to an Existing Listing", panel);
  updateRadio_->setObjectName("SubmitUpdateRadio");
  grid->addWidget(postChk_, 0, 2);
  grid->addWidget(newRadio_, 1, 2);
  grid->addWidget(updateRadio_, 2, 2);
  auto* arrows = new QVBoxLayout;
  auto* up = new QToolButton(panel);
  up->setObjectName("SiteGridUpBtn");
  up->setArrowType(Qt::UpArrow);
  up->setToolTip("Previous site");
  up->setAccessibleName("Previous site");
  auto* down = new QToolButton(panel);
  down->setObjectName("SiteGridDownBtn");
  down->setArrowType(Qt::DownArrow);
  down->setToolTip("Next site");
  down->setAccessibleName("Next site");
  arrows->addWidget(up);
  arrows->addWidget(down);
  grid->addLayout(arrows, 0, 3, 3, 1);
  grid->setColumnStretch(1, 1);
  layout->addWidget(panel);

  auto* buttons = new QHBoxLayout;
  QPushButton* save = AddButton(buttons, "AppSiteChangeBtn", "Sav&e Changes", this);
  QPushButton* url = AddButton(buttons, "AppSiteGoUrlBtn", "&Go to URL", this);
  buttons->addStretch();
  QPushButton* allNew = AddButton(buttons, "AllToNewBtn", "A&ll \"New\"", this);
  QPushButton* allUpdate = AddButton(buttons, "AllToUpdateBtn", "All \"&Update\"", this);
  QPushButton* allPost = AddButton(buttons, "AllToPostBtn", "All \"&Post\"", this);
  QPushButton* allNoPost = AddButton(buttons, "AllToNoPostBtn", "All \"&No Post\"", this);
  layout->addLayout(buttons);

  popup_ = new QMenu(this);
  popup_->setObjectName("SiteGridPopupMenu");
  auto item = [this](const char* name, const char* text) {
    QAction* a = popup_->addAction(text);
    a->setObjectName(name);
    return a;
  };
  QAction* toPost = item("SG_PopUp_ToPost", "Set Post To YES");
  QAction* asPost = item("SG_PopUp_AsPost", "Set as Post NEW");
  QAction* postDate = item("SG_PopUp_ChangePostDate", "Set Last Post Date To NOW");
  popup_->addSeparator();
  QAction* toBuilder = item("SG_PopUp_GoToSiteBuilder", "View in Site Builder");
  QAction* toUrl = item("SG_PopUp_GoToURL", "Go To Sites URL");
  connect(popup_, &QMenu::aboutToShow, this, [this, &table, toPost, asPost, postDate] {
    if (table.Selected() < 0) return;
    const PopupCaptions c = table.Captions();
    toPost->setText(ToQt(c.toPost));
    asPost->setText(ToQt(c.asPost));
    postDate->setText(ToQt(c.changePostDate));
  });

  // Edits of the selected row.
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this, &table](const QModelIndex& current) {
            if (refreshing_ || !current.isValid()) return;
            table.Select(current.row());
            ShowDetails();
          });
  connect(grid_, &QTableView::doubleClicked, this, [this] { GoToUrl(); });
  connect(grid_, &QTableView::customContextMenuRequested, this, &SitesSheet::PopupMenu);
  auto radio = [this, &table](bool isNew) {
    if (refreshing_) return;
    table.SetSubmit(isNew);
    RowEdited();
    FocusGrid();
  };
  connect(newRadio_, &QRadioButton::clicked, this, [radio] { radio(true); });
  connect(updateRadio_, &QRadioButton::clicked, this, [radio] { radio(false); });
  connect(postChk_, &QCheckBox::clicked, this, [this, &table](bool ticked) {
    if (refreshing_) return;
    table.SetPost(ticked);
    RowEdited();
    FocusGrid();
  });
  auto category = [this, &table](int which, int index) {
    if (refreshing_) return;
    table.ChooseCategory(which, index);
    RowEdited();
    FocusGrid();
  };
  connect(cat1_, &QComboBox::activated, this, [category](int i) { category(1, i); });
  connect(cat2_, &QComboBox::activated, this, [category](int i) { category(2, i); });
  connect(up, &QToolButton::clicked, this, [this, &table] {
    table.SelectPrev();
    ShowSelection();
    FocusGrid();
  });
  connect(down, &QToolButton::clicked, this, [this, &table] {
    table.SelectNext();
    ShowSelection();
    FocusGrid();
  });
  connect(gridLinesChk_, &QCheckBox::clicked, this, [this](bool on) {
    Session& s = main_.Core();
    s.Settings().useGridLines = on;
    grid_->setShowGrid(on);
    main_.Act([&] { WriteUseGridLines(s.Wide().SettingsFile(), on); });
  });
  connect(save, &QPushButton::clicked, this, [this, &table] {
    if (table.Rows().empty()) return;
    main_.Act([&] { table.Save(main_.Core().App().Shown()); }, true);
  });
  connect(url, &QPushButton::clicked, this, [this] { GoToUrl(); });
  auto all = [this, &table](SiteTable::AllRows what) {
    main_.Act([&] { table.ApplyToAll(what); });
    FocusGrid();
  };
  connect(allNew, &QPushButton::clicked, this, [all] { all(SiteTable::AllRows::ToNew); });
  connect(allUpdate, &QPushButton::clicked, this, [all] { all(SiteTable::AllRows::ToUpdate); });
  connect(allPost, &QPushButton::clicked, this, [all] { all(SiteTable::AllRows::ToPost); });
  connect(allNoPost, &QPushButton::clicked, this, [all] { all(SiteTable::AllRows::ToNoPost); });
  connect(toPost, &QAction::triggered, this,
          [this, &table] { main_.Act([&] { table.PopupToPost(); }, true); });
  connect(asPost, &QAction::triggered, this, [this, &table] {
    table.PopupAsPost();
    RowEdited();
  });
  connect(postDate, &QAction::triggered, this, [this, &table] {
    table.PopupChangePostDate();
    RowEdited();
    FocusGrid();
  });
  connect(toBuilder, &QAction::triggered, this, [this] {
    Session& s = main_.Core();
    const int row = s.Table().Selected();
    SaveFirstThen(
        main_, &Session::OfferSaveSite,
        [&] {
          main_.ShowPage(Page::SiteBuilder);
          s.ViewInSiteBuilder(row);
        },
        true);
  });
  connect(toUrl, &QAction::triggered, this, [this] { GoToUrl(); });
}

bool SitesSheet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) return QWidget::eventFilter(watched, event);
    SiteTable& table = main_.Core().Table();
    if (key->key() == Qt::Key_Space && table.Selected() >= 0) {
      // As the "Submit to this software site as" box: refused for a site that does
      // not fit the application.
      const bool post = table.Rows()[static_cast<std::size_t>(table.Selected())].post == "Y";
      table.SetPost(!post);
      RowEdited();
      return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      GoToUrl();
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonPress && (watched == cat1_ || watched == cat2_)) {
    main_.Core().Table().CategoryClicked();
  }
  return QWidget::eventFilter(watched, event);
}

void SitesSheet::PopupMenu(const QPoint& pos) {
  const QModelIndex index = grid_->indexAt(pos);
  if (index.isValid() && index.row() != main_.Core().Table().Selected()) {
    grid_->selectRow(index.row());
  }
  popup_->popup(grid_->viewport()->mapToGlobal(pos));
}

void SitesSheet::GoToUrl() {
  std::optional<std::string> url;
  main_.Act([&] { url = main_.Core().Table().GoToUrl(); });
  if (url) main_.OpenUrl(ToQt(*url));
}

void SitesSheet::ShowTotalToPost(int total) {
  totalLbl_->setText(QString::number(total));
}

void SitesSheet::FocusGrid() {
  if (model_->rowCount() > 0) grid_->setFocus();
}

void SitesSheet::RowEdited() {
  SiteTable& table = main_.Core().Table();
  model_->RowChanged(table.Selected());
  Refresh();
  main_.SiteCountsChanged();
}

void SitesSheet::ShowSelection() {
  Refreshing guard(refreshing_);
  const int row = main_.Core().Table().Selected();
  if (row < 0 || row >= model_->rowCount()) {
    grid_->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, 0);
  if (grid_->currentIndex().row() != row) {
    grid_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  grid_->scrollTo(index);
  ShowDetails();
}

void SitesSheet::ShowDetails() {
  Refreshing guard(refreshing_);
  SiteTable& table = main_.Core().Table();
  std::optional<RowDetails> details;
  if (!main_.Core().Flags().LoadingGrid) {
    try {
      details = table.ShowRowDetails();
    } catch (const std::exception&) {
      // An unreadable category list leaves the panel as far as it got.
    }
  }
  const CategoryChoice empty;
  const CategoryChoice* choices[] = {details ? &details->cat1 : &empty,
                                     details ? &details->cat2 : &empty};
  QComboBox* combos[] = {cat1_, cat2_};
  QLabel* labels[] = {cat1Lbl_, cat2Lbl_};
  for (int i = 0; i < 2; ++i) {
    QStringList items;
    for (const auto& l : choices[i]->items) items << ToQt(l);
    SetItems(combos[i], items, choices[i]->index >= 0 ? items.value(choices[i]->index) : QString());
    // A value that no entry holds ("NOT SET!", a label the list lost) is shown as it is:
    // it is what a run would send.
    const bool unlisted = choices[i]->enabled && choices[i]->index < 0;
    combos[i]->setPlaceholderText(unlisted ? ToQt(choices[i]->value) : QString());
    combos[i]->setToolTip(unlisted && choices[i]->value != kNotSet
                              ? "This category is not in the site's list: choose one from it."
                              : QString());
    combos[i]->setEnabled(choices[i]->enabled);
    labels[i]->setEnabled(choices[i]->enabled);
  }
  if (details) {
    newRadio_->setChecked(details->submitNew);
    updateRadio_->setChecked(!details->submitNew);
    postChk_->setChecked(details->post);
  }
}

// What to do while the catalogue has no site, in place of an empty table.
QWidget* SitesSheet::FirstStartPanel() {
  auto* panel = new QFrame(this);
  panel->setObjectName("FirstStartPanel");
  panel->setFrameShape(QFrame::StyledPanel);
  auto* box = new QVBoxLayout(panel);
  auto* text = new QLabel(
      "<p><b>There are no download sites yet.</b> To get some:</p>"
      "<ul><li><b>Use the Example Sites</b>: a web form, an FTP upload with a zip archive and "
      "an e-mail, to copy and adapt (they point at the demo sites on this computer);</li>"
      "<li><b>Build a Site</b> of your own in the Site Builder;</li>"
      "<li><b>Update Data Files</b> from a catalogue's address (the UpdateURL setting) or "
      "from an archive file.</li></ul>",
      panel);
  text->setWordWrap(true);
  text->setTextFormat(Qt::RichText);
  box->addWidget(text);
  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, panel);
    b->setObjectName(name);
    buttons->addWidget(b);
    return b;
  };
  connect(button("UseExamplesBtn", "Use the E&xample Sites"), &QPushButton::clicked, this, [this] {
    main_.Act([this] { main_.Core().AddExampleSites(); }, true);
    main_.RefreshAll();
  });
  connect(button("BuildSiteBtn", "&Build a Site..."), &QPushButton::clicked, this, [this] {
    main_.ShowPage(Page::SiteBuilder);
    main_.Act([this] { main_.Core().Builder().NewSite(); });
    main_.RefreshAll();
  });
  connect(button("UpdateDataBtn", "Update &Data Files..."), &QPushButton::clicked, this,
          [this] { main_.RunCommand(HostCommand::UpdateDataFiles); });
  buttons->addStretch();
  box->addLayout(buttons);
  box->addStretch();
  panel->hide();
  return panel;
}

void SitesSheet::Refresh() {
  Refreshing guard(refreshing_);
  Session& s = main_.Core();
  const bool noSites = s.Builder().Lists().SiteList.empty();
  firstStart_->setVisible(noSites);
  grid_->setVisible(!noSites);
  model_->SetHistory(s.SentHistory());
  model_->Refresh();
  grid_->setShowGrid(s.Settings().useGridLines);
  gridLinesChk_->setChecked(s.Settings().useGridLines);
  countLbl_->setText(QString::number(s.Table().Rows().size()));
  totalLbl_->setText(QString::number(s.Table().Counts().total));
  ShowSelection();
}

}  // namespace vendrix::ui
