#include "submit_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "busy_cursor.h"
#include "lamp.h"
#include "page_host.h"
#include "print_log.h"
#include "qt_text.h"
#include "run/reports_list.h"
#include "run/submission_run.h"
#include "run_worker.h"

namespace vendrix::ui {
namespace {

constexpr int kBlinkMs = 350;
constexpr int kMinDigits = 3;  // the counters widen for larger counts, never clamp
constexpr int kFlightRowsShown = 4;
enum FlightColumn { kSiteColumn, kStepColumn, kStatusColumn, kBytesColumn };

std::size_t StepIndex(RunStep step) {
  return static_cast<std::size_t>(step);
}

QLabel* Sunken(const char* name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setFrameShape(QFrame::StyledPanel);
  l->setFrameShadow(QFrame::Sunken);
  // A field's ground, so that the read-only text keeps its outline on a dark desktop.
  l->setBackgroundRole(QPalette::Base);
  l->setForegroundRole(QPalette::Text);
  l->setAutoFillBackground(true);
  l->setMinimumWidth(l->fontMetrics().horizontalAdvance('0') * 28);
  l->setTextInteractionFlags(Qt::NoTextInteraction);
  return l;
}

// Shows a count on a counter with as many digits as it needs (three at least).
void Display(QLCDNumber* counter, int value) {
  value = std::max(value, 0);
  const int digits = std::max(kMinDigits, static_cast<int>(QString::number(value).size()));
  if (counter->digitCount() != digits) {
    counter->setDigitCount(digits);
    counter->setMinimumWidth(24 * digits);
  }
  counter->display(value);
}

QLCDNumber* Counter(const char* name, QWidget* parent) {
  auto* n = new QLCDNumber(kMinDigits, parent);
  n->setObjectName(name);
  n->setSegmentStyle(QLCDNumber::Flat);
  n->setMinimumSize(72, 34);
  n->display(0);
  return n;
}

QListWidget* List(const char* name, QWidget* parent) {
  auto* l = new QListWidget(parent);
  l->setObjectName(name);
  l->setUniformItemSizes(true);
  l->setSelectionMode(QAbstractItemView::SingleSelection);
  return l;
}

}  // namespace

SubmitPage::SubmitPage(PageHost& main) : main_(main) {
  setObjectName("SubmitSheet");
  auto* layout = new QVBoxLayout(this);

  auto* statusBox = new QGroupBox("Submission Status:", this);
  auto* grid = new QGridLayout(statusBox);
  currentSite_ = Sunken("currentsite", statusBox);
  httpStatus_ = Sunken("httpstatus", statusBox);
  mailStatus_ = Sunken("mailstatus", statusBox);
  ftpStatus_ = Sunken("ftpstatus", statusBox);
  const std::pair<const char*, QLabel*> texts[] = {{"Current:", currentSite_},
                                                   {"HTTP Status:", httpStatus_},
                                                   {"Mail Status:", mailStatus_},
                                                   {"FTP Status:", ftpStatus_}};
  int row = 0;
  for (const auto& [caption, label] : texts) {
    grid->addWidget(new QLabel(caption, statusBox), row, 0, Qt::AlignRight);
    grid->addWidget(label, row, 1);
    ++row;
  }
  for (QLabel* l : {httpStatus_, mailStatus_, ftpStatus_}) l->setText(SubmissionRun::kIdle);
  httpLed_ = new Lamp(QColor(40, 220, 60), statusBox);
  ftpLed_ = new Lamp(QColor(40, 220, 60), statusBox);
  mailLed_ = new Lamp(QColor(40, 220, 60), statusBox);
  httpLed_->setObjectName("httpled");
  ftpLed_->setObjectName("ftpled");
  mailLed_->setObjectName("mailled");
  auto* lamps = new QGridLayout;
  const std::pair<const char*, Lamp*> lampRows[] = {
      {"HTTP:", httpLed_}, {"FTP:", ftpLed_}, {"EMAIL:", mailLed_}};
  row = 0;
  for (const auto& [caption, lamp] : lampRows) {
    lamps->addWidget(new QLabel(caption, statusBox), row, 0, Qt::AlignRight);
    lamps->addWidget(lamp, row, 1);
    ++row;
  }
  httpBytes_ = Sunken("httpbytes", statusBox);
  httpBytes_->setMinimumWidth(httpBytes_->fontMetrics().horizontalAdvance('0') * 12);
  lamps->addWidget(new QLabel("HTTP Bytes:", statusBox), row, 0, Qt::AlignRight);
  lamps->addWidget(httpBytes_, row, 1);
  grid->addLayout(lamps, 0, 2, 4, 1);
  inFlight_ = new QTreeWidget(statusBox);
  inFlight_->setObjectName("inFlightList");
  inFlight_->setColumnCount(4);
  inFlight_->setHeaderLabels({"Site", "Step", "Status", "Bytes"});
  inFlight_->setRootIsDecorated(false);
  inFlight_->setUniformRowHeights(true);
  inFlight_->setSelectionMode(QAbstractItemView::SingleSelection);
  inFlight_->setAllColumnsShowFocus(true);
  inFlight_->headerItem()->setTextAlignment(kBytesColumn, Qt::AlignRight | Qt::AlignVCenter);
  QHeaderView* header = inFlight_->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(kStatusColumn, QHeaderView::Stretch);
  const int digit = inFlight_->fontMetrics().horizontalAdvance('0');
  inFlight_->setColumnWidth(kSiteColumn, digit * 24);
  inFlight_->setColumnWidth(kStepColumn, digit * 7);
  inFlight_->setColumnWidth(kBytesColumn, digit * 12);
  // A few rows: the list stays small under the status lines and scrolls beyond them.
  inFlight_->setFixedHeight(header->sizeHint().height() +
                            inFlight_->fontMetrics().height() * 5 / 4 * kFlightRowsShown +
                            2 * inFlight_->frameWidth() + 4);
  inFlight_->setToolTip(
      "The sites being posted now, the one that has waited longest first. "
      "Select one to skip it alone.");
  auto* inFlightCaption = new QLabel("Sites i&n flight:", statusBox);
  inFlightCaption->setBuddy(inFlight_);
  inFlight_->setAccessibleName("Sites in flight");
  grid->addWidget(inFlightCaption, 4, 0, Qt::AlignRight | Qt::AlignTop);
  grid->addWidget(inFlight_, 4, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(2, 160);
  layout->addWidget(statusBox);

  auto* lists = new QHBoxLayout;
  auto* logColumn = new QVBoxLayout;
  log_ = List("log", this);
  auto* logCaption = new QLabel("&Log:", this);
  logCaption->setBuddy(log_);
  log_->setAccessibleName("Log");
  logColumn->addWidget(logCaption);
  logColumn->addWidget(log_);
  auto* ftpColumn = new QVBoxLayout;
  ftpList_ = List("ftplist", this);
  ftpColumn->addWidget(new QLabel("FTP:", this));
  ftpList_->setAccessibleName("FTP log");
  ftpColumn->addWidget(ftpList_);
  lists->addLayout(logColumn, 3);
  lists->addLayout(ftpColumn, 2);
  layout->addLayout(lists, 1);
  xfer_ = List("xfer", this);
  xfer_->hide();

  auto* totals = new QHBoxLayout;
  toPost_ = Counter("SitesToPostdgt", this);
  processed_ = Counter("SitesProcesseddgt", this);
  totals->addWidget(new QLabel("Total To Post:", this));
  totals->addWidget(toPost_);
  totals->addSpacing(12);
  totals->addWidget(new QLabel("Total Processed:", this));
  totals->addWidget(processed_);
  totals->addSpacing(12);
  totals->addWidget(new QLabel("Total Progress:", this));
  progress_ = new QProgressBar(this);
  progress_->setObjectName("PostStatus");
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat("%v / %m");
  progress_->setTextVisible(false);
  totals->addWidget(progress_, 1);
  layout->addLayout(totals);

  auto* buttons = new QHBoxLayout;
  auto button = [this, buttons](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    buttons->addWidget(b);
    return b;
  };
  submit_ = button("submitBtn", "Sa&ve/Submit");
  skip_ = button("skip", "S&kip");
  cancel_ = button("cancel", "&Cancel");
  buttons->addStretch();
  viewReport_ = button("ViewReport", "View &Reports");
  print_ = button("print", "&Print Log");
  exit_ = button("exitb", "&Exit");
  layout->addLayout(buttons);
  skip_->setEnabled(false);
  cancel_->setEnabled(false);
  submit_->setToolTip("Save changes and submit the application to every site marked to post.");
  skip_->setToolTip(
      "Skip the site selected in the list of sites in flight (every site in flight when "
      "none is selected) and go on with the next.");
  cancel_->setToolTip("Cancel the whole run.");

  worker_ = new RunWorker(main, *this);
  connect(submit_, &QPushButton::clicked, this, [this] { worker_->Start(); });
  connect(skip_, &QPushButton::clicked, this, [this] { SkipClicked(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { worker_->CancelClick(); });
  connect(viewReport_, &QPushButton::clicked, this,
          [this] { main_.RunCommand(HostCommand::ViewReports); });
  connect(print_, &QPushButton::clicked, this, [this] { PrintLog(); });
  connect(exit_, &QPushButton::clicked, this, [this] { main_.CloseWindow(); });
  main_.OnSiteCountsChanged([page = QPointer<SubmitPage>(this)] {
    if (page) page->ShowIdleCount();
  });

  blink_ = new QTimer(this);
  blink_->setInterval(kBlinkMs);
  connect(blink_, &QTimer::timeout, this, [this] { Blink(); });

  printDialog_ = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("PrintDialog");
    return dialog.exec() == QDialog::Accepted;
  };
}

SubmitPage::~SubmitPage() = default;

Lamp* SubmitPage::LampOf(RunStep step) const {
  switch (step) {
    case RunStep::Ftp:
      return ftpLed_;
    case RunStep::Http:
      return httpLed_;
    case RunStep::Mail:
      return mailLed_;
  }
  return httpLed_;
}

QLabel* SubmitPage::StatusOf(RunStep step) const {
  switch (step) {
    case RunStep::Ftp:
      return ftpStatus_;
    case RunStep::Http:
      return httpStatus_;
    case RunStep::Mail:
      return mailStatus_;
  }
  return httpStatus_;
}

void SubmitPage::ShowCurrentSite(const QString& name) {
  currentSite_->setText(name);
}

void SubmitPage::ShowStatus(RunStep step, const QString& text) {
  StatusOf(step)->setText(text);
}

void SubmitPage::ShowLamp(RunStep step, LampState state) {
  runLamps_[StepIndex(step)] = state;
  ApplyLamp(step);
}

void SubmitPage::ApplyLamp(RunStep step) {
  LampState state = runLamps_[StepIndex(step)];
  if (stepBusy_[StepIndex(step)]) {
    state = LampState::Blinking;
  } else if (listed_ && state == LampState::Blinking) {
    state = LampState::Lit;
  }
  LampOf(step)->SetState(state);
  const bool blinking = httpLed_->State() == LampState::Blinking ||
                        ftpLed_->State() == LampState::Blinking ||
                        mailLed_->State() == LampState::Blinking;
  if (blinking && !blink_->isActive()) {
    phase_ = true;
    for (Lamp* l : {httpLed_, ftpLed_, mailLed_}) l->SetPhase(true);
    blink_->start();
  } else if (!blinking) {
    blink_->stop();
  }
}

void SubmitPage::Blink() {
  phase_ = !phase_;
  for (Lamp* l : {httpLed_, ftpLed_, mailLed_}) l->SetPhase(phase_);
}

void SubmitPage::ShowHttpBytes(const QString& text) {
  httpBytes_->setText(text);
}

void SubmitPage::ShowSitesInFlight(const QList<FlightRow>& rows) {
  if (!posting_) return;  // a list that arrives after the run has left posting mode
  listed_ = true;
  const std::string selected = SelectedInFlight();
  while (inFlight_->topLevelItemCount() > rows.size())
    delete inFlight_->takeTopLevelItem(rows.size());
  stepBusy_.fill(false);
  QTreeWidgetItem* keep = nullptr;
  for (int i = 0; i < rows.size(); ++i) {
    const FlightRow& r = rows[i];
    QTreeWidgetItem* item = inFlight_->topLevelItem(i);
    if (!item) {
      item = new QTreeWidgetItem(inFlight_);
      item->setTextAlignment(kBytesColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setData(kSiteColumn, Qt::UserRole, QByteArray::fromStdString(r.site));
    item->setText(kSiteColumn, r.shown);
    // A site that has not begun a step is in none yet.
    item->setText(kStepColumn, r.status.isEmpty() ? QString() : StepName(r.step));
    item->setText(kStatusColumn, r.status);
    item->setText(kBytesColumn, r.bytes > 0 ? QLocale().toString(r.bytes) : QString());
    if (!r.status.isEmpty()) stepBusy_[StepIndex(r.step)] = true;
    if (!selected.empty() && r.site == selected) keep = item;
  }
  // The selection follows its site while the rows move; a site that ended leaves none.
  if (keep) {
    inFlight_->setCurrentItem(keep);
  } else {
    inFlight_->clearSelection();
    inFlight_->setCurrentItem(nullptr);
  }
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) ApplyLamp(step);
}

std::string SubmitPage::SelectedInFlight() const {
  const QList<QTreeWidgetItem*> items = inFlight_->selectedItems();
  if (items.isEmpty()) return {};
  return items.front()->data(kSiteColumn, Qt::UserRole).toByteArray().toStdString();
}

void SubmitPage::SkipClicked() {
  // With a site selected only that site is skipped; when it has ended meanwhile nothing
  // is (the other sites were not chosen).
  const std::string site = SelectedInFlight();
  if (site.empty()) {
    worker_->Skip();
  } else {
    worker_->Skip(site);
  }
}

void SubmitPage::ShowCounters(int toPost, int processed) {
  Display(toPost_, toPost);
  Display(processed_, processed);
}

void SubmitPage::ShowProgress(int position, int maximum) {
  // An empty bar still needs a range Qt can draw.
  progress_->setRange(0, std::max(maximum, 1));
  progress_->setValue(std::clamp(position, 0, std::max(maximum, 1)));
  progress_->setTextVisible(maximum > 0);
}

void SubmitPage::AddLogLine(const QString& line) {
  log_->addItem(line);
  log_->scrollToBottom();
}

void SubmitPage::ClearLog() {
  log_->clear();
}

void SubmitPage::AddFtpLine(const QString& line) {
  ftpList_->addItem(line);
  ftpList_->scrollToBottom();
}

void SubmitPage::ClearFtpList() {
  ftpList_->clear();
}

void SubmitPage::AddXferLine(const QString& text) {
  xfer_->addItem(text);
}

void SubmitPage::ClearXfer() {
  xfer_->clear();
}

void SubmitPage::SetPostingMode(bool on) {
  if (!on || !posting_) {
    // A run starts and ends with no site in flight.
    inFlight_->clear();
    stepBusy_.fill(false);
    listed_ = false;
  }
  posting_ = on;
  if (on) ran_ = true;
  skip_->setEnabled(on);
  cancel_->setEnabled(on);
  SetRunActive(active_);
}

void SubmitPage::SetRunActive(bool active) {
  active_ = active;
  // While a run holds the session nothing else may start or change it.
  const bool idle = !active_ && !posting_;
  main_.SetMenusEnabled(idle);
  for (QPushButton* b : {submit_, viewReport_, print_, exit_}) b->setEnabled(idle);
  if (idle) ShowIdleCount();
}

void SubmitPage::ShowIdleCount() {
  // Before the first run "Total To Post" shows what a run would post; after one, the
  // counters keep that run's figures until the next.
  if (active_ || posting_ || ran_) return;
  Display(toPost_, main_.Core().Table().Counts().total);
}

QStringList SubmitPage::LogLines() const {
  QStringList lines;
  for (int i = 0; i < log_->count(); ++i) lines << log_->item(i)->text();
  return lines;
}

void SubmitPage::PrintLog() {
  Lines log;
  for (const QString& l : LogLines()) log.push_back(DisplayFromQt(l));
  if (!PrintLogLines(log, main_.Prompt())) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName("Vendrix Log");
  if (!printDialog_ || !printDialog_(printer)) return;
  if (!PrintLines(printer, LogLines(), log_->font())) {
    main_.Prompt().Error("The log could not be printed.");
  }
}

}  // namespace vendrix::ui
