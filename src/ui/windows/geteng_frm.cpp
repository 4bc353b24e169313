#include "geteng_frm.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/program_settings.h"
#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

// Carries the update's progress from the worker to the window's widgets.
class TgetengWindow::Observer : public UpdateObserver {
 public:
  explicit Observer(TgetengWindow& w) : w_(w) {}
  void Status(const std::string& text) override {
    PostToGui(&w_, [w = &w_, t = ToQt(text)] { w->status_->setText(t); });
  }
  void Percent(int percent) override {
    PostToGui(&w_, [w = &w_, percent] {
      // The display stays blank at zero.
      if (percent == 0) {
        w->percent_->display(QString());
      } else {
        w->percent_->display(percent);
      }
    });
  }
  void Bar(long long minimum, long long maximum, long long position) override {
    // A progress bar counts in int; large byte counts go in kilobytes.
    int shift = 0;
    while ((maximum >> shift) > 0x3fffffff) shift += 10;
    PostToGui(&w_,
              [w = &w_, mn = static_cast<int>(minimum >> shift),
               mx = static_cast<int>(maximum >> shift), pos = static_cast<int>(position >> shift)] {
                w->bar_->setRange(mn, mx);
                w->bar_->setValue(pos);
              });
  }
  void Trace(const std::string& line, bool replaceLast) override {
    PostToGui(&w_, [w = &w_, t = ToQt(line), replaceLast] {
      QListWidget* list = w->trace_;
      if (replaceLast && list->count() > 0) {
        list->item(list->count() - 1)->setText(t);
      } else {
        list->addItem(t);
      }
    });
  }

 private:
  TgetengWindow& w_;
};

TgetengWindow::TgetengWindow(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      prompt_(this),
      workerPrompt_(this, prompt_),
      observer_(std::make_unique<Observer>(*this)) {
  setObjectName("Tgeteng");
  setWindowTitle("Update Data Files");
  setModal(true);

  Session& s = main.Core();
  const ProgramSettings& settings = s.Settings();
  UpdateFolders folders{s.Wide().UpdatesDir, s.Wide().SitesDir, s.Wide().CatDir};
  UpdateSource source{
      settings.updateUrl, settings.proxy, static_cast<std::uint16_t>(settings.ProxyPort()), {}};
  url_ = ToQt(settings.updateUrl);
  core_ = std::make_unique<Tgeteng>(folders, source, workerPrompt_, *observer_);

  auto* layout = new QVBoxLayout(this);
  status_ = new QLabel("Status:", this);
  status_->setObjectName("Label4");
  status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance('0') * 44);
  layout->addWidget(status_);

  auto* row = new QHBoxLayout;
  percent_ = new QLCDNumber(3, this);
  percent_->setObjectName("percent");
  percent_->setSegmentStyle(QLCDNumber::Flat);
  percent_->setMinimumSize(72, 36);
  percent_->display(QString());
  auto* caption = new QLabel("% Complete", this);
  caption->setObjectName("Label3");
  row->addWidget(percent_);
  row->addWidget(caption);
  row->addStretch();
  layout->addLayout(row);

  bar_ = new QProgressBar(this);
  bar_->setObjectName("bar");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  layout->addWidget(bar_);

  trace_ = new QListWidget(this);
  trace_->setObjectName("lTrack");
  trace_->hide();
  layout->addWidget(trace_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  start_ = new QPushButton("&Start Update", this);
  start_->setObjectName("Button1");
  start_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("CancelBtn");
  // The same archive from a file: a catalogue passed on, or the example sites.
  fromFile_ = new QPushButton("From &File...", this);
  fromFile_->setObjectName("FromFileBtn");
  buttons->addWidget(start_);
  buttons->addWidget(fromFile_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, [this] { StartUpdate(); });
  connect(fromFile_, &QPushButton::clicked, this, [this, share = s.Wide().ShareDir] {
    const QString file = QFileDialog::getOpenFileName(
        this, "Update Data Files", PathToQt(share.empty() ? std::string() : share + "starter"),
        "Zip archives (*.zip)");
    if (!file.isEmpty()) StartUpdate(file.toStdString());
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  try {
    core_->Open();
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
  }
  setFixedSize(sizeHint());
}

TgetengWindow::~TgetengWindow() {
  // The worker may not outlive the core it drives.
  core_->Cancel();
}

QString TgetengWindow::Url() const {
  return url_;
}

void TgetengWindow::StartUpdate(const std::string& file) {
  if (worker_.Running()) return;
  start_->setEnabled(false);
  fromFile_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  auto outcome = std::make_shared<UpdateOutcome>(UpdateOutcome::Failed);
  worker_.Start([this, outcome,
                 file] { *outcome = file.empty() ? core_->StartUpdate() : core_->Install(file); },
                [this, outcome] {
                  QApplication::restoreOverrideCursor();
                  if (!worker_.Failure().empty()) prompt_.Error(worker_.Failure());
                  Finished(*outcome);
                });
}

void TgetengWindow::Finished(UpdateOutcome outcome) {
  if (outcome == UpdateOutcome::Completed || closeWhenDone_) {
    QDialog::done(outcome == UpdateOutcome::Completed ? Accepted : Rejected);
    return;
  }
  start_->setEnabled(true);
  fromFile_->setEnabled(true);
}

void TgetengWindow::reject() {
  if (worker_.Running()) {
    // Stops the download or the unpacking at once; the window closes when the
    // worker has returned.
    closeWhenDone_ = true;
    cancel_->setEnabled(false);
    core_->Cancel();
    return;
  }
  QDialog::reject();
}

}  // namespace vendrix::ui
