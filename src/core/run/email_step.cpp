// The e-mail step: the site's message (or the copy to the company contact) built and
// handed to the mail client.
#include "run/submission_run.h"
#include "script/submission_builder.h"

namespace vendrix {

bool SubmissionRun::DoEmailPost(bool isNew, int row, bool isCopy) {
  (void)row;  // the builder reads the current row through the expansion context
  const std::string site = SiteName();
  const std::string contact = host_.Company().email;
  view_.Status(RunStep::Mail, "Preparing Email");
  view_.Status(RunStep::Mail, "Preparing to mail to: " + site);
  view_.Status(RunStep::Mail, isCopy ? "Preparing Mail Copy To: " + contact : "Preparing Mail");
  auto mail = builder_->BuildMailSubmission(isNew ? SubmissionKind::New : SubmissionKind::Update,
                                            isCopy, {settings_.email, settings_.name});
  if (!mail) return false;  // the builder logged the three lines
  view_.Status(RunStep::Mail, isCopy ? "Sending Mail Copy..." : "Sending Mail...");
  if (skipRequested_) return false;
  bool sent = false;
  if (!mail_) {
    AddLogLine("No mail client is available to send the e-mail to " + site);
  } else {
    mailSending_ = true;
    SubmissionLog& log = *this;
    sent = mail_->Send(*mail, settings_, log);
    mailSending_ = false;
  }
  if (!sent) {
    view_.Status(RunStep::Mail, "Mail Send Error");
    AddLogLine((isCopy ? contact : site) + " EMail ERROR!!!");
    return false;
  }
  if (isCopy) {
    view_.Status(RunStep::Mail, "Mail Copy Sent");
    AddLogLine(contact + " E-Mailed Copy.");
  } else {
    view_.Status(RunStep::Mail, "Mail Sent");
    AddLogLine(site + " E-Mailed Information.");
  }
  return true;
}

}  // namespace vendrix
