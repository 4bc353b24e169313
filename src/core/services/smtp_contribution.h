#pragma once
// Sends a contribution as mail through the user's own mail server and settings (a
// desktop of today can seldom reach the maker's server on port 25 itself): a plain
// text message to the submission address, multipart with the site's files when
// there are any. Send blocks (worker thread in a GUI); Cancel may come from any
// thread.
#include <string>

#include "mail/smtp.h"
#include "services/site_contribution.h"

namespace vendrix {

// The mail settings: SMTP, SMTPSecurity, SMTPUser, SMTPPassword.
struct ContributionMailSettings {
  std::string server;
  SmtpSecurity security = SmtpSecurity::Auto;
  std::string user, password;
  std::string caFile;  // extra trusted certificates (PEM)
  int timeOut = 60;    // seconds of silence per network step
};

class SmtpContributionSender : public ContributionSender {
 public:
  explicit SmtpContributionSender(ContributionMailSettings settings)
      : settings_(std::move(settings)) {}
  // Throws the mail client's errors (or its OnError text as a VendrixError).
  void Send(const ContributionMessage& message) override;
  void Cancel() override { msSMTP1.Cancel(); }

  TmsSMTP msSMTP1;

 private:
  ContributionMailSettings settings_;
};

}  // namespace vendrix
