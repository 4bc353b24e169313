#include "engine_check_frm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"
#include "sheet_support.h"

namespace vendrix::ui {

TEngineCheckFrm::TEngineCheckFrm(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      main_(main),
      prompt_(this) {
  setObjectName("TEngineCheckFrm");
  setWindowTitle("Engine Checker");
  Session& s = main_.Core();
  checker_ =
      std::make_unique<EngineChecker>(s.Wide().EngBuild(), prompt_, s.Builder().Lists().SiteList);
  auto* layout = new QVBoxLayout(this);
  errorList_ = new QTreeWidget(this);
  errorList_->setObjectName("ErrorList");
  errorList_->setColumnCount(3);
  errorList_->setHeaderLabels({"Site", "Error", "Script File"});
  errorList_->setRootIsDecorated(false);
  errorList_->setColumnWidth(0, 160);
  errorList_->setColumnWidth(1, 200);
  layout->addWidget(errorList_, 1);
  loadPanel_ = new QLabel(kCheckingPanel, this);
  loadPanel_->setObjectName("LoadPanel");
  loadPanel_->setAlignment(Qt::AlignCenter);
  loadPanel_->setFrameShape(QFrame::Panel);
  loadPanel_->setFrameShadow(QFrame::Raised);
  loadPanel_->setMinimumHeight(loadPanel_->fontMetrics().height() * 2);
  layout->addWidget(loadPanel_);
  prompt_.SetBeforeMessage([this] { loadPanel_->hide(); });
  fileNameEdit_ = new QLineEdit(this);
  fileNameEdit_->setObjectName("FileNameEdit");
  fileNameEdit_->setReadOnly(true);
  layout->addWidget(fileNameEdit_);
  editMemo_ = new QPlainTextEdit(this);
  editMemo_->setObjectName("EditMemo");
  editMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  editMemo_->setTabChangesFocus(true);
  editMemo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(editMemo_, 2);
  auto* row = new QHBoxLayout;
  auto button = [&](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  begin_ = button("BeginBtn", "&Begin Checking");
  load_ = button("LoadBtn", "&Load Selected Script");
  save_ = button("SaveBtn", "&Save Script");
  mass_ = button("MassChangeBtn", "&Mass Change");
  row->addStretch();
  exit_ = button("ExitBtn", "E&xit");
  layout->addLayout(row);
  resize(760, 560);
  errorList_->setAccessibleName("Scripts with errors");
  fileNameEdit_->setAccessibleName("Script file");
  editMemo_->setAccessibleName("Script");

  connect(begin_, &QPushButton::clicked, this, [this] { BeginChecking(); });
  connect(load_, &QPushButton::clicked, this, [this] { LoadSelected(); });
  connect(errorList_, &QTreeWidget::itemDoubleClicked, this, [this] { LoadSelected(); });
  connect(errorList_, &QTreeWidget::currentItemChanged, this, [this] {
    if (!showing_) checker_->selected = errorList_->indexOfTopLevelItem(errorList_->currentItem());
  });
  connect(editMemo_, &QPlainTextEdit::textChanged, this, [this] {
    if (showing_) return;
    if (!Storable(editMemo_, editMemo_->toPlainText())) return Show();
    checker_->editorText = ScriptFromQt(editMemo_->toPlainText());
  });
  connect(save_, &QPushButton::clicked, this, [this] { checker_->SaveScript(); });
  connect(mass_, &QPushButton::clicked, this, [this] { MassChange(); });
  connect(exit_, &QPushButton::clicked, this, [this] {
    exiting_ = true;
    accept();
  });
  Show();
}

TEngineCheckFrm::~TEngineCheckFrm() = default;

void TEngineCheckFrm::Show() {
  showing_ = true;
  const EngineChecker& c = *checker_;
  begin_->setEnabled(c.beginEnabled);
  load_->setEnabled(c.loadEnabled);
  exit_->setEnabled(c.exitEnabled);
  errorList_->setEnabled(c.listEnabled);
  loadPanel_->setVisible(c.panelVisible);
  errorList_->clear();
  for (const auto& r : c.rows) {
    auto* item = new QTreeWidgetItem(errorList_);
    item->setText(0, ToQt(r.site));
    item->setText(1, ToQt(r.error));
    item->setText(2, PathToQt(r.path));
  }
  if (c.selected >= 0 && c.selected < errorList_->topLevelItemCount()) {
    errorList_->setCurrentItem(errorList_->topLevelItem(c.selected));
  }
  if (editMemo_->toPlainText() != ScriptToQt(c.editorText)) {
    editMemo_->setPlainText(ScriptToQt(c.editorText));
  }
  fileNameEdit_->setText(PathToQt(c.fileName));
  showing_ = false;
}

void TEngineCheckFrm::BeginChecking() {
  // The panel is painted at once: the check runs without returning to the event loop.
  loadPanel_->show();
  loadPanel_->repaint();
  {
    BusyCursor busy;
    checker_->RunEngineCheck();
  }
  Show();
}

void TEngineCheckFrm::LoadSelected() {
  if (errorList_->topLevelItemCount() == 0 || !errorList_->currentItem()) return;
  checker_->selected = errorList_->indexOfTopLevelItem(errorList_->currentItem());
  checker_->LoadSelectedScript();
  Show();
}

void TEngineCheckFrm::MassChange() {
  TMassChangeFrm form(this);
  form.exec();
  if (!form.Accepted()) return;
  loadPanel_->show();
  loadPanel_->repaint();
  {
    BusyCursor busy;
    try {
      checker_->RunMassChange(FromQt(form.From()), FromQt(form.To()));
    } catch (const std::exception& e) {
      prompt_.Error(e.what());
    }
  }
  Show();
}

void TEngineCheckFrm::keyPressEvent(QKeyEvent* event) {
  // Escape closes as "Exit" does (QDialog's own Escape would skip the close rules).
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TEngineCheckFrm::closeEvent(QCloseEvent* event) {
  // The close box and Escape are "Exit": refused while "Exit" is not offered.
  if (!exiting_ && !exit_->isEnabled()) {
    event->ignore();
    return;
  }
  exiting_ = true;
  QDialog::closeEvent(event);
}

TMassChangeFrm::TMassChangeFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("TMassChangeFrm");
  setWindowTitle("Mass Change In All Scripts");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  QStringList choices;
  for (const auto& c : MassChangeChoices()) choices << ToQt(c);
  from_ = new QComboBox(this);
  from_->setObjectName("ComboFrom");
  from_->setEditable(true);
  from_->setInsertPolicy(QComboBox::NoInsert);
  from_->addItems(choices);
  from_->setCurrentIndex(0);
  to_ = new QComboBox(this);
  to_->setObjectName("ComboTo");
  to_->addItems(choices);
  to_->setCurrentIndex(0);
  for (QComboBox* c : {from_, to_}) c->setMinimumContentsLength(24);
  auto* fromLbl = new QLabel("Change Any Vars Found of:", this);
  fromLbl->setBuddy(from_);
  auto* toLbl = new QLabel("To:", this);
  toLbl->setBuddy(to_);
  form->addRow(fromLbl, from_);
  form->addRow(toLbl, to_);
  layout->addLayout(form);
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* replace = new QPushButton("&Replace", this);
  replace->setObjectName("ReplaceBtn");
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  row->addWidget(replace);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(replace, &QPushButton::clicked, this, [this, replace, cancel] {
    accepted_ = !From().isEmpty() && From() != To();
    replace->setEnabled(false);
    cancel->setEnabled(false);
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TMassChangeFrm::From() const {
  return from_->currentText();
}

QString TMassChangeFrm::To() const {
  return to_->currentText();
}

}  // namespace vendrix::ui
