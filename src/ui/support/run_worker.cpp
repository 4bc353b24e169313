#include "run_worker.h"

#include <QApplication>
#include <condition_variable>
#include <mutex>

#include "app/session.h"
#include "app/session_run.h"
#include "busy_cursor.h"
#include "page_host.h"
#include "qt_text.h"
#include "run/submission_run.h"
#include "submission_verify_frm.h"
#include "submit_page.h"

namespace vendrix::ui {

// Holds the run before its next site while the cancel question is open.
struct RunWorker::Gate {
  void Close() {
    std::lock_guard lock(mutex);
    closed = true;
  }
  void Open() {
    {
      std::lock_guard lock(mutex);
      closed = false;
    }
    opened.notify_all();
  }
  bool Closed() {
    std::lock_guard lock(mutex);
    return closed;
  }
  // The run's thread.
  void Pass() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [this] { return !closed; });
  }
  std::mutex mutex;
  std::condition_variable opened;
  bool closed = false;
};

// The session as the run's host; the posting flag is the GUI thread's, since the
// page rules read it there.
class RunWorker::Host : public SessionRunHost {
 public:
  Host(PageHost& main) : SessionRunHost(main.Core()), main_(main) {}
  void SetPosting(bool on) override {
    CallOnGui(main_.Window(), [this, on] { main_.Core().Flags().Posting = on; });
  }

 private:
  PageHost& main_;
};

// The run's screen: the Submit page's widgets, reached from the worker thread.
class RunWorker::View : public RunView {
 public:
  View(PageHost& main, SubmitPage& page, Gate& gate) : main_(main), page_(page), gate_(gate) {}
  ~View() override {
    if (busy_) QApplication::restoreOverrideCursor();
  }

  void CurrentSite(const std::string& name) override {
    if (!name.empty()) gate_.Pass();
    Post([t = ToQt(name)](SubmitPage& p) { p.ShowCurrentSite(t); });
  }
  void Status(RunStep step, const std::string& text) override {
    Post([step, t = ToQt(text)](SubmitPage& p) { p.ShowStatus(step, t); });
  }
  void Lamp(RunStep step, LampState state) override {
    Post([step, state](SubmitPage& p) { p.ShowLamp(step, state); });
  }
  void HttpBytes(const std::string& text) override {
    Post([t = ToQt(text)](SubmitPage& p) { p.ShowHttpBytes(t); });
  }
  void SitesInFlight(const std::vector<SiteInFlight>& sites) override {
    QList<FlightRow> rows;
    for (const SiteInFlight& s : sites)
      rows.push_back({s.site, ToQt(s.site), s.step, ToQt(s.status), s.bytes});
    Post([rows = std::move(rows)](SubmitPage& p) { p.ShowSitesInFlight(rows); });
  }
  void Counters(int toPost, int processed) override {
    Post([toPost, processed](SubmitPage& p) { p.ShowCounters(toPost, processed); });
  }
  void Progress(int position, int maximum) override {
    Post([position, maximum](SubmitPage& p) { p.ShowProgress(position, maximum); });
  }
  void LogLine(const std::string& line) override {
    Post([t = ToQt(line)](SubmitPage& p) { p.AddLogLine(t); });
  }
  void LogCleared() override {
    Post([](SubmitPage& p) { p.ClearLog(); });
  }
  void FtpLine(const std::string& line) override {
    Post([t = ToQt(line)](SubmitPage& p) { p.AddFtpLine(t); });
  }
  void FtpListCleared() override {
    Post([](SubmitPage& p) { p.ClearFtpList(); });
  }
  void XferLine(const std::string& text) override {
    Post([t = ToQt(text)](SubmitPage& p) { p.AddXferLine(t); });
  }
  void XferCleared() override {
    Post([](SubmitPage& p) { p.ClearXfer(); });
  }
  void ShowSitesPage(int row) override {
    // The session is read here: the run waits meanwhile.
    CallOnGui(&page_, [this, row] {
      main_.Core().Table().Select(row);
      main_.ShowPage(Page::Sites);
      main_.RefreshSites();
    });
  }
  void TotalToPost(int total) override {
    Post([this, total](SubmitPage&) { main_.ShowTotalToPost(total); });
  }
  void PostingMode(bool on) override {
    CallOnGui(&page_, [this, on] {
      // The run is ending: a cancel question still open no longer means anything.
      if (!on && closeQuestion_) closeQuestion_();
      page_.SetPostingMode(on);
    });
  }
  void SetCloseQuestion(std::function<void()> close) { closeQuestion_ = std::move(close); }
  void BusyCursor(bool on) override {
    Post([this, on](SubmitPage&) {
      if (on == busy_) return;
      busy_ = on;
      if (on) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
      } else {
        QApplication::restoreOverrideCursor();
      }
    });
  }
  bool VerifySubmission(const PostCounts& counts) override {
    RunConfirmation c;
    c.counts = counts;
    return ConfirmRun(c);
  }
  // The confirmation window shows the findings and the sites already sent itself.
  bool ConfirmRun(RunConfirmation& c) override {
    bool start = false;
    CallOnGui(&page_, [&] {
      TSubmissionVerifyFrm form(c, main_.Window());
      start = form.exec() == QDialog::Accepted;
    });
    return start;
  }
  bool OpenSettings() override {
    bool ok = false;
    CallOnGui(&page_, [&] {
      // The Settings window does not open unexplained: the person is told what is
      // missing and why.
      const ProgramSettings& s = main_.Core().Settings();
      std::vector<std::string> missing;
      if (s.smtp.empty()) missing.push_back("the mail server (SMTP)");
      if (s.email.empty()) missing.push_back("your e-mail address");
      if (s.name.empty()) missing.push_back("your name");
      if (!missing.empty()) {
        std::string list;
        for (std::size_t i = 0; i < missing.size(); ++i) {
          list += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + missing[i];
        }
        main_.Prompt().Inform("Before submitting, fill in " + list +
                              " on the Settings window: the sites' e-mails are sent with them.");
      }
      ok = main_.OpenSettings();
    });
    return ok;
  }
  void OpenPage(const std::string& url) override {
    Post([this, u = QString::fromStdString(url)](SubmitPage&) { main_.OpenUrl(u); });
  }

 private:
  void Post(std::function<void(SubmitPage&)> show) {
    PostToGui(&page_, [p = &page_, show = std::move(show)] { show(*p); });
  }
  PageHost& main_;
  SubmitPage& page_;
  Gate& gate_;
  std::function<void()> closeQuestion_;  // GUI thread
  bool busy_ = false;                    // GUI thread
};

struct RunWorker::Context {
  Context(PageHost& main, SubmitPage& page)
      : host(main),
        view(main, page, gate),
        prompt(&page, main.Prompt()),
        run(host, view, prompt, main.Core().Time()) {}
  Gate gate;
  Host host;
  View view;
  GuiPrompt prompt;
  SubmissionRun run;
};

RunWorker::RunWorker(PageHost& main, SubmitPage& page)
    : QObject(&page), main_(main), page_(page), cancelPrompt_(&page) {}

RunWorker::~RunWorker() {
  if (context_) {
    context_->run.Cancel();
    context_->gate.Open();  // the thread must not wait for a question nobody answers
  }
}

bool RunWorker::Start() {
  if (thread_.Running()) return false;
  context_ = std::make_shared<Context>(main_, page_);
  context_->view.SetCloseQuestion([this] { cancelPrompt_.CloseOpenBox(); });
  page_.SetRunActive(true);
  SubmissionRun* run = &context_->run;
  thread_.Start([run] { run->Submit(); }, [this] { Finished(); });
  return true;
}

void RunWorker::Finished() {
  // Also a run that failed before it left posting mode closes the question.
  cancelPrompt_.CloseOpenBox();
  if (!thread_.Failure().empty()) main_.Prompt().Error(thread_.Failure());
  context_.reset();
  // A failure that left posting mode on would lock the screens for good.
  main_.Core().Flags().Posting = false;
  page_.SetPostingMode(false);
  page_.SetRunActive(false);
  // The run changed the site table and the long description.
  main_.RefreshAll();
  emit Ended();
}

void RunWorker::Skip() {
  if (context_) context_->run.Skip();
}

void RunWorker::Skip(const std::string& site) {
  if (context_) context_->run.Skip(site);
}

bool RunWorker::CancelClick() {
  // The question keeps the run's state alive: the run may end while it is open.
  const std::shared_ptr<Context> context = context_;
  if (!context || context->gate.Closed()) return false;
  context->gate.Close();
  const bool cancelled = context->run.CancelClick(cancelPrompt_);
  context->gate.Open();
  return cancelled;
}

bool RunWorker::Asking() const {
  return context_ && context_->gate.Closed();
}

SubmissionRun* RunWorker::Run() const {
  return context_ ? &context_->run : nullptr;
}

}  // namespace vendrix::ui
