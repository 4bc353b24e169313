#include "reports_list_frm.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

TReportsListFrmWindow::TReportsListFrmWindow(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), prompt_(this) {
  setObjectName("TReportsListFrm");
  setWindowTitle("Submission Reports");
  setModal(true);
  prompt_.SetDefaultNo(true);  // its questions delete: No is the safe default
  core_ = std::make_unique<TReportsListFrm>(
      main.Core().Wide().ReportsDir, prompt_,
      [&main](const std::string& url) { main.OpenUrl(QString::fromStdString(url)); });

  auto* layout = new QHBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName("RepListBox");
  list_->setAccessibleName("Reports");
  list_->setMinimumSize(list_->fontMetrics().horizontalAdvance('0') * 36, 240);
  layout->addWidget(list_);
  auto* column = new QVBoxLayout;
  auto button = [this, column](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    column->addWidget(b);
    return b;
  };
  QPushButton* go = button("GoBtn", "&GO");
  up_ = button("UpBtn", "&UP");
  delete_ = button("DeleteBtn", "&Delete");
  column->addStretch();
  QPushButton* cancel = button("CancelBtn", "&Cancel");
  layout->addLayout(column);
  go->setDefault(true);

  connect(go, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Go); });
  connect(up_, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Up); });
  connect(delete_, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Delete); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Act(&TReportsListFrm::Go); });
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!showing_ && row >= 0) core_->Select(CoreIndex(row));
  });
}

void TReportsListFrmWindow::ShowReports(TMainFrm& main) {
  TReportsListFrmWindow window(main);
  if (window.Open()) window.exec();
}

bool TReportsListFrmWindow::Open() {
  if (!core_->Open()) return false;
  Show();
  return true;
}

QString TReportsListFrmWindow::RunText(const std::string& stamp) {
  // "2026-01-02-10-00-00-100": year, month, day, hours, minutes, seconds, milliseconds.
  const QStringList parts = PathToQt(stamp).split('-');
  QList<int> n;
  for (const QString& p : parts) {
    bool ok = false;
    n << p.toInt(&ok);
    if (!ok) return PathToQt(stamp);
  }
  if (n.size() < 6) return PathToQt(stamp);
  const QDateTime at(QDate(n[0], n[1], n[2]), QTime(n[3], n[4], n[5]));
  if (!at.isValid()) return PathToQt(stamp);
  const QLocale locale;
  QString time = locale.timeFormat(QLocale::LongFormat);
  time.remove(QRegularExpression("\\s*t+\\s*"));  // no time zone: the stamp has none
  return locale.toString(at, locale.dateFormat(QLocale::ShortFormat) + " " + time.trimmed());
}

int TReportsListFrmWindow::CoreIndex(int row) const {
  if (row < 0 || !core_->AtRunLevel()) return row;
  return static_cast<int>(core_->Items().size()) - 1 - row;  // newest first on screen
}

void TReportsListFrmWindow::Show() {
  showing_ = true;
  list_->clear();
  const auto& items = core_->Items();
  if (core_->AtRunLevel()) {
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      auto* item = new QListWidgetItem(RunText(*it), list_);
      item->setToolTip(PathToQt(*it));  // the folder's own name
    }
  } else {
    // Folder names on disk are UTF-8.
    for (const auto& item : items) list_->addItem(PathToQt(item));
  }
  if (core_->AtRunLevel() && !items.empty() && !wasRunLevel_) {
    core_->Select(static_cast<int>(items.size()) - 1);  // the newest run
  }
  wasRunLevel_ = core_->AtRunLevel();
  if (core_->Selected() >= 0) list_->setCurrentRow(CoreIndex(core_->Selected()));
  up_->setEnabled(core_->UpEnabled());
  delete_->setEnabled(!items.empty());
  showing_ = false;
}

void TReportsListFrmWindow::Act(void (TReportsListFrm::*action)()) {
  if (list_->currentRow() >= 0) core_->Select(CoreIndex(list_->currentRow()));
  ((*core_).*action)();
  if (!core_->Visible()) {
    accept();
    return;
  }
  Show();
  // The keyboard goes back to the list (a disabled Delete would strand it).
  if (action == &TReportsListFrm::Delete) list_->setFocus();
}

}  // namespace vendrix::ui
