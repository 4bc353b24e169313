#include "small_windows.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "catalogue/match_ups.h"
#include "logo.h"
#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("TAboutBox");
  setWindowTitle("About Vendrix");
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(LogoPixmap(64));
  top->addWidget(picture, 0, Qt::AlignTop);
  auto* text = new QLabel(
      "<b>Vendrix 2.08</b><br>Submits your software to download sites.<br><br>"
      "Copyright &copy; Halvane",
      this);
  text->setObjectName("AboutText");
  top->addWidget(text, 1);
  layout->addLayout(top);
  auto* row = new QHBoxLayout;
  // A small, quiet button: the way into the engine checker.
  auto* engine = new QToolButton(this);
  engine->setText("&D");
  engine->setObjectName("EngineCheckBtn");
  engine->setAutoRaise(true);
  engine->setToolTip("Engine Checker");
  connect(engine, &QToolButton::clicked, this, [this] { done(kEngineCheck); });
  row->addWidget(engine, 0, Qt::AlignBottom);
  row->addStretch();
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  row->addWidget(ok);
  layout->addLayout(row);
}

TScriptCheckFrm::TScriptCheckFrm(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName("TScriptCheckFrm");
  setWindowTitle("Script Check");
  auto* layout = new QVBoxLayout(this);
  auto* memo = new QPlainTextEdit(text, this);
  memo->setObjectName("ScriptMemo");
  memo->setAccessibleName("Expanded script");
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(memo);
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
  resize(560, 380);
}

TMatchUpFrm::TMatchUpFrm(SiteBuilder& builder, QWidget* parent)
    : QDialog(parent), builder_(builder) {
  setObjectName("TMatchUpFrm");
  setWindowTitle("Field Translations");
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const MatchUps values = builder_.MatchUpWindowValues();
  // Two columns: platforms and submitters left, statuses and installers right.
  for (std::size_t i = 0; i < kMatchUpCount; ++i) {
    auto* edit = new QLineEdit(ToQt(values[i]), this);
    edit->setObjectName(QString("MatchUp_%1").arg(ToQt(kMatchUpTable[i].key)));
    edit->setMinimumWidth(160);
    edits_[i] = edit;
    const int column = i < 8 ? 0 : 2;
    const int row = static_cast<int>(i < 8 ? i : i - 8);
    auto* label = new QLabel(ToQt(kMatchUpTable[i].standard), this);
    label->setBuddy(edit);
    grid->addWidget(label, row, column);
    grid->addWidget(edit, row, column + 1);
  }
  layout->addLayout(grid);
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

void TMatchUpFrm::done(int result) {
  MatchUps values;
  for (std::size_t i = 0; i < kMatchUpCount; ++i) {
    // The fields refuse what cannot be stored; a value that slipped past stays as it was.
    values[i] = ExactFromQt(edits_[i]->text()).value_or(builder_.MatchUpWindowValues()[i]);
  }
  builder_.CloseMatchUpWindow(values);
  QDialog::done(result);
}

TDefaultScriptFrm::TDefaultScriptFrm(TMainFrm& main, DefaultScript which)
    : QDialog(&main), prompt_(this), which_(which) {
  setObjectName("TDefaultScriptFrm");
  setWindowTitle("Default Script:");
  auto* layout = new QVBoxLayout(this);
  auto* head = new QLabel(DefaultScriptTitle(which), this);
  head->setObjectName("HeadLbl");
  QFont bold = head->font();
  bold.setBold(true);
  head->setFont(bold);
  layout->addWidget(head);
  editor_ = new QPlainTextEdit(this);
  editor_->setObjectName("ScriptMemo");
  editor_->setAccessibleName("Default script");
  editor_->setTabChangesFocus(true);
  editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(editor_, 1);
  auto* save = new QPushButton("&Save Script", this);
  save->setObjectName("SaveScriptBtn");
  layout->addWidget(save, 0, Qt::AlignRight);
  resize(600, 420);

  try {
    script_ = std::make_unique<DefaultScriptEditor>(main.Core().Wide(), prompt_, which);
    editor_->setPlainText(ScriptToQt(script_->Text()));
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
  }
  loaded_ = editor_->toPlainText();
  connect(save, &QPushButton::clicked, this, [this] {
    if (Save()) accept();
  });
}

TDefaultScriptFrm::~TDefaultScriptFrm() = default;

bool TDefaultScriptFrm::Save() {
  if (!script_) return false;
  try {
    script_->Text() = ScriptFromQt(editor_->toPlainText());
    script_->Save();
    loaded_ = editor_->toPlainText();
    return true;
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
    return false;
  }
}

void TDefaultScriptFrm::reject() {
  if (script_ && editor_->toPlainText() != loaded_) {
    switch (prompt_.AskSave(std::string("Save changes to ") + DefaultScriptTitle(which_) + "?")) {
      case Answer::Yes:
        if (!Save()) return;  // the failure was shown; the edits stay
        break;
      case Answer::No:
        break;
      case Answer::Cancel:
        return;
    }
  }
  QDialog::reject();
}

}  // namespace vendrix::ui
