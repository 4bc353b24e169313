// The HTTP step: the site's web form sent as one POST or GET, under the time-out of
// the settings, and the server's answer judged.
#include <chrono>
#include <optional>

#include "base/error_codes.h"
#include "net/http_head.h"
#include "net/net_error.h"
#include "run/retry_rules.h"
#include "run/site_poster.h"
#include "script/submission_builder.h"

namespace vendrix {
namespace {

constexpr const char* kFilemineMarker = "HARDCODED->FILEMINE";

// A redirection after a successful form post: "302" with any reason text, or "303".
bool AcceptedRedirect(const EHttpClient& e) {
  if (e.ErrorCode != 151) return false;
  const std::string& d = e.Description;
  for (const char* code : {"302", "303"}) {
    if (d.rfind(code, 0) == 0 && (d.size() == 3 || d[3] == ' ')) return true;
  }
  return false;
}

// The seconds a 429 or 503 reply asks to wait (Retry-After in seconds, at most 30);
// -1 for any other reply or wait.
int ServerAsksToWait(const EHttpClient& e, const std::string& retryAfter) {
  if (e.ErrorCode != code::kHttpStatus) return -1;
  const std::string& d = e.Description;
  const bool busy =
      (d.rfind("429", 0) == 0 || d.rfind("503", 0) == 0) && (d.size() == 3 || d[3] == ' ');
  const long long seconds = busy ? ParseRetryAfter(retryAfter) : -1;
  return seconds >= 0 && seconds <= 30 ? static_cast<int>(seconds) : -1;
}

// The first digit of the status code ('2' for 2xx), or 0 when no status line came.
char StatusClass(const std::string& statusLine) {
  auto space = statusLine.find(' ');
  return space != std::string::npos && space + 1 < statusLine.size() ? statusLine[space + 1] : 0;
}

bool StatusIs2xx(const std::string& statusLine) {
  return StatusClass(statusLine) == '2';
}

}  // namespace

// The step as the poster runs it.
class HttpStep final : public SiteStep {
 public:
  explicit HttpStep(SitePoster& poster) : poster_(poster) {}
  RunStep Which() const override { return RunStep::Http; }
  StepEnd Run(bool isNew) override {
    poster_.ClearXfer();
    return poster_.Guarded(RunStep::Http, [&] { return poster_.HttpPost(isNew); });
  }

 private:
  SitePoster& poster_;
};

std::unique_ptr<SiteStep> MakeHttpStep(SitePoster& poster) {
  return std::make_unique<HttpStep>(poster);
}

StepEnd SitePoster::HttpPost(bool isNew) {
  const SiteDefinition& def = job_.site;
  if (def.Script(ScriptKind::HttpNew).find(kFilemineMarker) != std::string::npos ||
      def.Script(ScriptKind::HttpUpdate).find(kFilemineMarker) != std::string::npos) {
    // Served by a submitter built for that site: nothing is sent.
    return StepEnd::Failed("the site's form is sent by a submitter of its own");
  }
  const std::string site = siteName_;
  sink_.Status(*this, RunStep::Http, "Preparing to Post to " + site);
  http_.ContentType = "application/x-www-form-urlencoded";
  auto http = builder_->BuildHttpSubmission(isNew ? SubmissionKind::New : SubmissionKind::Update);
  if (!http) return StepEnd::Failed(lastLogLine_);  // the builder's own words
  sink_.Status(*this, RunStep::Http, "HTTP Posting: " + site);

  auto idle = [this] {
    for (RunStep s : {RunStep::Ftp, RunStep::Http, RunStep::Mail})
      sink_.Status(*this, s, kIdleStatus);
  };
  auto fail = [this, &site](const std::string& why) {
    const std::string line = "Posting Error - " + why + "(" + site + ")";
    AddLogLine(line);
    AddReportLine(line);
    return StepEnd::Failed(line);
  };
  StepEnd failed;  // the last attempt's failure
  http_.SetURL(http->url);
  http_.PostData = http->get ? std::string() : http->data;
  int retried = 0;               // tries again after nothing reached the site
  bool waitedForServer = false;  // a Retry-After is waited for once
  for (int attempt = 1;; ++attempt) {
    transferLines_ = 0;
    int againMs = -1;  // the wait before the next attempt; none: the step has ended
    std::string why;
    try {
      // The time-out interrupts the exchange however the server behaves: a silent one
      // and one that trickles bytes are both given up after HTTPTimeOut seconds.
      // One of the host's slots while connected; the time-out counts from the request.
      std::optional<HostSlots::Hold> hold;
      if (shared_.hostSlots) {
        hold.emplace(
            shared_.hostSlots->Take(ServerOf(http->url, 80), 1, [this] { return Stopped(); }));
        if (!*hold) throw EHttpClient(kErrInterrupted, "Interrupted");
      }
      // The client's own deadline, in the same waits as its socket and the stop token.
      httpTimedOut_ = false;
      http_.TimeOut = shared_.settings.httpTimeOut;
      if (Stopped()) throw EHttpClient(kErrInterrupted, "Interrupted");
      http_.SetAction(http->get ? THttpActions::httpGet : THttpActions::httpPost);
    } catch (const EHttpClient& e) {
      if (e.ErrorCode == kErrTimedOut) httpTimedOut_ = true;
      if (AcceptedRedirect(e) && !httpTimedOut_) {
        Settle(RunStep::Http, StepState::Delivered);
        AddLogLine("Accepted HTTP Post to: " + site + " (" + e.Description + ")");
        idle();
        return StepEnd::Done();
      }
      // A site that answered with a refusal did not take the form; one that gave no
      // answer to a request it was given may have.
      const char status = StatusClass(http_.StatusLine());
      const bool nothingReached = !http_.RequestWritten() && NothingReachedTheSite(e.ErrorCode);
      Settle(RunStep::Http, status == '4' || status == '5' || nothingReached
                                ? StepState::NotDelivered
                                : StepState::Uncertain);
      if (httpTimedOut_) return fail("TIMED OUT!");
      std::string line = e.what();
      if (e.ErrorCode == code::kConnectionReset) {
        // Said as what happened rather than in the socket's words.
        line = std::to_string(e.ErrorCode) +
               ": the server closed the connection before the reply was complete";
      }
      const int asked = ServerAsksToWait(e, http_.RetryAfter());
      if (asked >= 0 && !waitedForServer) {
        // The server said when to come back: it did not take the form.
        waitedForServer = true;
        againMs = asked * 1000;
        why = "the server asked to wait " + std::to_string(asked) + " s";
      } else if (!http_.RequestWritten() && NothingReachedTheSite(e.ErrorCode) &&
                 retried < shared_.settings.postRetries) {
        // The request never left: the site cannot have registered it.
        againMs = BackOffMs(retried++);
        why = "nothing reached the site";
      }
      failed = fail(line);
      if (againMs < 0) return failed;
    }
    if (againMs < 0) break;
    const std::string again = "Trying " + site + " again in " + Seconds(againMs) + " (attempt " +
                              std::to_string(attempt + 1) + "): " + why;
    AddLogLine(again);
    AddReportLine(again);
    if (!WaitBeforeRetry(againMs)) return failed;
  }
  if (httpTimedOut_ || !StatusIs2xx(http_.StatusLine())) {
    Settle(RunStep::Http, StepState::Uncertain);
  } else {
    Settle(RunStep::Http, StepState::Delivered);
  }
  if (httpTimedOut_) return fail("TIMED OUT!");
  if (!StatusIs2xx(http_.StatusLine())) {
    // The connection ended before a status line: nothing says the site took the form.
    return fail("The server closed the connection without an answer");
  }
  sink_.Status(*this, RunStep::Http, "Posted on " + site);
  AddLogLine("Completed HTTP Post to: " + site);
  idle();
  return StepEnd::Done();
}

}  // namespace vendrix
