#include "run_worker.h"

#include <QApplication>
#include <QLabel>

#include "app/session_run.h"
#include "main_frm.h"
#include "qt_text.h"
#include "run/submission_run.h"
#include "settings_form.h"
#include "submission_verify_frm.h"
#include "submit_page.h"

namespace vendrix::ui {

// The session as the run's host; the posting flag is the GUI thread's, since the
// page rules read it there.
class RunWorker::Host : public SessionRunHost {
 public:
  Host(TMainFrm& main) : SessionRunHost(main.Core()), main_(main) {}
  void SetPosting(bool on) override {
    CallOnGui(&main_, [this, on] { main_.Core().Flags().Posting = on; });
  }

 private:
  TMainFrm& main_;
};

// The run's screen: the Submit page's widgets, reached from the worker thread.
class RunWorker::View : public RunView {
 public:
  View(TMainFrm& main, SubmitPage& page) : main_(main), page_(page) {}
  ~View() override {
    if (busy_) QApplication::restoreOverrideCursor();
  }

  void CurrentSite(const std::string& name) override {
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
    Post([this, total](SubmitPage&) {
      if (auto* label = main_.findChild<QLabel*>("TotalToPostLbl"))
        label->setText(QString::number(total));
    });
  }
  void PostingMode(bool on) override {
    CallOnGui(&page_, [this, on] { page_.SetPostingMode(on); });
  }
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
      TSubmissionVerifyFrm form(c, &main_);
      start = form.exec() == QDialog::Accepted;
    });
    return start;
  }
  bool OpenSettings() override {
    bool ok = false;
    CallOnGui(&page_, [&] {
      TSettingsForm form(main_);
      ok = form.exec() == QDialog::Accepted;
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
  TMainFrm& main_;
  SubmitPage& page_;
  bool busy_ = false;  // GUI thread
};

struct RunWorker::Context {
  Context(TMainFrm& main, SubmitPage& page)
      : host(main),
        view(main, page),
        prompt(&page, main.Prompt()),
        run(host, view, prompt, main.Core().Time()) {}
  Host host;
  View view;
  GuiPrompt prompt;
  SubmissionRun run;
};

RunWorker::RunWorker(TMainFrm& main, SubmitPage& page) : QObject(&page), main_(main), page_(page) {}

RunWorker::~RunWorker() {
  if (context_) context_->run.Cancel();
}

bool RunWorker::Start() {
  if (thread_.Running()) return false;
  context_ = std::make_unique<Context>(main_, page_);
  page_.SetRunActive(true);
  SubmissionRun* run = &context_->run;
  thread_.Start([run] { run->Submit(); }, [this] { Finished(); });
  return true;
}

void RunWorker::Finished() {
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

void RunWorker::CancelClick() {
  if (context_) context_->run.CancelClick(main_.Prompt());
}

SubmissionRun* RunWorker::Run() const {
  return context_ ? &context_->run : nullptr;
}

}  // namespace vendrix::ui
