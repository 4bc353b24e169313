#include "bhs_frm.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "bhs_new_account_frm.h"
#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

BhsWindowView::BhsWindowView(QDialog* window, QLabel* status, std::function<void(bool)> waiting)
    : window_(window), status_(status), waiting_(std::move(waiting)) {}

void BhsWindowView::Status(const std::string& text) {
  PostToGui(window_, [s = status_, t = ToQt(text)] { s->setText(t); });
}

void BhsWindowView::Waiting(bool waiting) {
  CallOnGui(window_, [this, waiting] { waiting_(waiting); });
}

void BhsWindowView::Close() {
  // The window's event loop ends once the handler that closed it has returned.
  CallOnGui(window_, [w = window_] { w->done(QDialog::Rejected); });
}

QWidget* BhsWaitPanel(const QString& caption, QLabel** status, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName("WaitPanel");
  panel->setFrameShape(QFrame::StyledPanel);
  auto* v = new QVBoxLayout(panel);
  auto* title = new QLabel(caption, panel);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  title->setAlignment(Qt::AlignCenter);
  *status = new QLabel("(Connecting to BHS Server)", panel);
  (*status)->setObjectName("StatusLbl");
  (*status)->setAlignment(Qt::AlignCenter);
  v->addStretch();
  v->addWidget(title);
  v->addWidget(*status);
  v->addStretch();
  panel->hide();
  return panel;
}

TBHSFrmWindow::TBHSFrmWindow(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      main_(main),
      prompt_(this) {
  setObjectName("TBHSFrm");
  setWindowTitle("BHS ID");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      "If you already have an account set up with BHS, click the \"Browse Accounts\" button "
      "and pick your company from the list.  For a new account, click \"Get New Account\".",
      this);
  text->setWordWrap(true);
  layout->addWidget(text);

  list_ = new QTreeWidget(this);
  list_->setObjectName("AccountList");
  list_->setAccessibleName("BHS accounts");
  list_->setColumnCount(2);
  list_->setHeaderLabels({"Company", "BHS ID#"});
  list_->setRootIsDecorated(false);
  list_->setColumnWidth(0, 500);
  list_->setColumnWidth(1, 96);
  list_->setMinimumSize(620, 220);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  layout->addWidget(list_);
  waitPanel_ = BhsWaitPanel("Getting BHS Accounts. Please wait...", &status_, this);
  waitPanel_->setMinimumSize(list_->minimumSize());
  layout->addWidget(waitPanel_);

  auto* row = new QHBoxLayout;
  auto button = [this, row](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    row->addWidget(b);
    return b;
  };
  browse_ = button("BrowseBtn", "&Browse Accounts");
  newAccount_ = button("NewAccountBtn", "Get &New Account");
  useSelected_ = button("UseSelectedBtn", "&Use Selected");
  row->addStretch();
  QPushButton* cancel = button("CancelBtn", "&Cancel");
  useSelected_->setEnabled(false);
  layout->addLayout(row);

  Session& s = main.Core();
  view_ = std::make_unique<BhsWindowView>(this, status_, [this](bool w) { SetWaiting(w); });
  core_ = std::make_unique<TBHSFrm>(
      BhsServer{s.Settings().bhsServer, {}}, s.Company().Profile(),
      [&s](const std::string& id) { s.AssignBhsId(id); }, prompt_, *view_);

  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
  connect(newAccount_, &QPushButton::clicked, this, [this] { GetNewAccount(); });
  connect(useSelected_, &QPushButton::clicked, this, [this] { UseSelected(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { core_->ShowId(list_->indexOfTopLevelItem(item)); });
  setFixedSize(sizeHint());
}

TBHSFrmWindow::~TBHSFrmWindow() {
  core_->Cancel();
}

void TBHSFrmWindow::SetWaiting(bool waiting) {
  waitPanel_->setVisible(waiting);
  list_->setVisible(!waiting);
  browse_->setEnabled(!waiting);
  newAccount_->setEnabled(!waiting);
  if (waiting) useSelected_->setEnabled(false);
}

void TBHSFrmWindow::Browse() {
  if (worker_.Running() || !core_->BeginBrowse()) return;
  list_->clear();
  auto received = std::make_shared<std::optional<std::string>>();
  worker_.Start([this, received] { *received = core_->FetchAccounts(); },
                [this, received] {
                  core_->FinishBrowse(*received);
                  if (!core_->Closed()) FillList();
                });
}

void TBHSFrmWindow::FillList() {
  list_->clear();
  for (const BhsAccount& a : core_->Entries()) {
    auto* item = new QTreeWidgetItem(list_, {ToQt(a.text), ToQt(a.id)});
    item->setData(0, Qt::UserRole, ToQt(a.id));
  }
  if (core_->Selected() >= 0) list_->setCurrentItem(list_->topLevelItem(core_->Selected()));
  useSelected_->setEnabled(core_->UseSelectedEnabled());
}

void TBHSFrmWindow::UseSelected() {
  const int index = list_->indexOfTopLevelItem(list_->currentItem());
  core_->UseSelected(index);
  if (core_->Closed()) main_.RefreshAll();
}

void TBHSFrmWindow::GetNewAccount() {
  Session& s = main_.Core();
  TBHSNewAccountFrmWindow form(BhsServer{s.Settings().bhsServer, {}}, s.Company().Profile(), this);
  form.exec();
  core_->NewAccountClosed(form.Id());
  main_.RefreshAll();
}

void TBHSFrmWindow::reject() {
  if (worker_.Running()) {
    // The request stops at once; the window closes when the worker has returned.
    core_->Cancel();
    return;
  }
  QDialog::reject();
}

}  // namespace vendrix::ui
