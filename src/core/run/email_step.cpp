// The e-mail step: the site's message (or the copy to the company contact) built and
// sent through a mail window of its own.
#include <optional>

#include "base/cp1252.h"
#include "mail/mail_error.h"
#include "run/retry_rules.h"
#include "run/site_poster.h"
#include "run/smtp_form.h"
#include "script/submission_builder.h"

namespace vendrix {
namespace {

// The mail window's events: its progress lines go to the run log and the site's page.
// A server's words pass mask, which hides the password where it stands alone.
class MailWindowLines : public SmtpFormView {
 public:
  MailWindowLines(SubmissionLog& log, std::function<std::string(const std::string&)> mask)
      : log_(log), mask_(std::move(mask)) {}
  void AddReportLine(const std::string& line) override { log_.AddReportLine(mask_(line)); }
  void AddLogLine(const std::string& line) override { log_.AddLogLine(mask_(line)); }

 private:
  SubmissionLog& log_;
  std::function<std::string(const std::string&)> mask_;
};

}  // namespace

// The step as the poster runs it: the site's message, then the copy to the company
// contact when the site asks for one (whose failure the site's step does not share).
class MailStep final : public SiteStep {
 public:
  explicit MailStep(SitePoster& poster) : p_(poster) {}
  RunStep Which() const override { return RunStep::Mail; }
  StepEnd Run(bool isNew) override {
    StepEnd end = p_.Guarded(RunStep::Mail, [&] { return p_.MailPost(isNew, false); });
    if (end.ok && p_.job_.site.emailSendCopy && !p_.skip_) {
      p_.Guarded(RunStep::Mail, [&] { return p_.MailPost(isNew, true); });
    }
    return end;
  }

 private:
  SitePoster& p_;
};

std::unique_ptr<SiteStep> MakeMailStep(SitePoster& poster) {
  return std::make_unique<MailStep>(poster);
}

StepEnd SitePoster::MailPost(bool isNew, bool isCopy) {
  const std::string site = siteName_;
  const std::string contact = shared_.companyEmail;
  const ProgramSettings& settings = shared_.settings;
  SubmissionLog& log = *this;
  MailWindowLines lines(log, [this](const std::string& line) { return MaskWords(line); });
  sink_.Status(*this, RunStep::Mail, "Preparing Email");
  TSMTPForm form(&lines);
  std::vector<std::string> attached;  // UTF-8 paths
  sink_.Status(*this, RunStep::Mail, "Preparing to mail to: " + site);
  // The SMTP password never reaches a log line or a page.
  secret_ = settings.smtpPassword;
  struct ClearSecret {
    std::string& s;
    ~ClearSecret() { s.clear(); }
  } clearSecret{secret_};
  try {
    auto mail = builder_->BuildMailSubmission(
        isNew ? SubmissionKind::New : SubmissionKind::Update, isCopy,
        {settings.email.substr(0, 255), settings.name.substr(0, 255), settings.footerUrl});
    form.ToEdit = mail ? mail->to : std::string();
    form.SubjectEdit = mail ? mail->subject : std::string();
    TSetupDlg setup;
    setup.ServerEdit = settings.smtp;
    setup.UserAddressEdit = settings.email.substr(0, 255);
    setup.UserNameEdit = settings.name.substr(0, 255);
    setup.LogFileNameEdit = DefaultTranscriptFile(*shared_.tree);
    setup.Security = ParseSmtpSecurity(settings.smtpSecurity);
    setup.User = settings.smtpUser;
    setup.Password = settings.smtpPassword;
    form.Apply(setup);
    sink_.Status(*this, RunStep::Mail,
                 isCopy ? "Preparing Mail Copy To: " + contact : "Preparing Mail");
    if (!mail) return StepEnd::Failed(lastLogLine_);  // no script: the builder said so
    form.BodyMemo = mail->body;
    form.msMessage1.Attachments.Clear();
    for (const auto& file : mail->attachments) form.Attach(file);
    attached = mail->attachments;
    sink_.Status(*this, RunStep::Mail, isCopy ? "Sending Mail Copy..." : "Sending Mail...");
  } catch (const VendrixError& e) {
    // A file to attach that cannot be read, or a setting the window refuses.
    AddLogLine(e.what());
    return StepEnd::Failed(e.what());
  }
  if (Stopped()) return StepEnd::Failed({});
  // One of the mail server's sessions.
  std::optional<HostSlots::Hold> hold;
  if (shared_.hostSlots) {
    hold.emplace(
        shared_.hostSlots->Take(MailServerSlots(settings.smtp), 1, [this] { return Stopped(); }));
    if (!*hold) return StepEnd::Failed({});
  }
  // The message to the site is recorded before DATA; the copy to the company is not
  // the site's.
  if (!isCopy) form.msSMTP1.OnBeforeData = [this] { return Commit(RunStep::Mail); };
  {
    std::lock_guard lock(mailMutex_);
    mailForm_ = &form;
  }
  bool raised = false;
  for (int retried = 0;; ++retried) {
    raised = false;
    try {
      form.Send();
    } catch (const VendrixError&) {
      raised = true;  // the window has reported it
    }
    const bool ok = !raised && !form.ErrorFlag();
    {
      // A server that refused the message (a reply of its own after DATA, or DATA
      // itself refused) does not have it; one that fell silent may.
      const std::string& last = form.msSMTP1.LastReply();
      const bool refused = !last.empty() && (last[0] == '4' || last[0] == '5');
      Settle(RunStep::Mail, ok                                       ? StepState::Delivered
                            : !form.msSMTP1.ContentSent() || refused ? StepState::NotDelivered
                                                                     : StepState::Uncertain);
    }
    if (ok) break;
    // Tried again only while the server cannot have the message: it refused to
    // talk (421) or said "later" (4xx) before DATA, or no connection came about.
    const std::string& reply = form.msSMTP1.LastReply();
    const bool later = !reply.empty() && reply[0] == '4';
    const bool noConnection = reply.empty() && form.msSMTP1.ConnectionTried() &&
                              form.ErrorText().find("timed out") == std::string::npos;
    if (form.msSMTP1.ContentSent() || !(later || noConnection) || Stopped() ||
        retried >= settings.postRetries) {
      break;
    }
    const int wait = BackOffMs(retried);
    AddLogLine("Trying " + (isCopy ? contact : site) + " by e-mail again in " + Seconds(wait) +
               " (attempt " + std::to_string(retried + 2) + ")");
    if (!WaitBeforeRetry(wait)) break;
  }
  {
    std::lock_guard lock(mailMutex_);
    mailForm_ = nullptr;
  }
  if (raised || form.ErrorFlag()) {
    sink_.Status(*this, RunStep::Mail, "Mail Send Error");
    const std::string line = (isCopy ? contact : site) + " EMail ERROR!!!";
    AddLogLine(line);
    // What the server or the connection said, else the log's word.
    return StepEnd::Failed(form.ErrorText().empty() ? line : MaskWords(form.ErrorText()));
  }
  if (isCopy) {
    sink_.Status(*this, RunStep::Mail, "Mail Copy Sent");
    AddLogLine(contact + " E-Mailed Copy.");
  } else {
    sink_.Status(*this, RunStep::Mail, "Mail Sent");
    AddLogLine(site + " E-Mailed Information.");
    for (const auto& file : attached) {
      const auto slash = file.find_last_of("/\\");
      RecordSentFile("email",
                     Utf8ToCp1252(slash == std::string::npos ? file : file.substr(slash + 1)), file,
                     false);
    }
  }
  return StepEnd::Done();
}

}  // namespace vendrix
