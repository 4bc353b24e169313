#include "services/smtp_contribution.h"

#include "base/error.h"
#include "mail/message.h"

namespace vendrix {

void SmtpContributionSender::Send(const ContributionMessage& m) {
  TmsMessage msMessage1;
  msMessage1.ContentType = "text/plain";
  msMessage1.Sender = {m.senderName, m.senderAddress};
  msMessage1.Recipients.AddAddress(m.to, m.toName);
  msMessage1.Subject = m.subject;
  msMessage1.Body = m.body;
  for (const auto& file : m.attachments) msMessage1.Attachments.AddFile(file);
  msSMTP1.Server = settings_.server;
  msSMTP1.DefaultPort = 25;
  msSMTP1.Security = settings_.security;
  msSMTP1.User = settings_.user;
  msSMTP1.Password = settings_.password;
  msSMTP1.CaFile = settings_.caFile;
  msSMTP1.TimeOut = settings_.timeOut;
  msSMTP1.MailMessage = &msMessage1;
  std::string reported;
  msSMTP1.OnError = [&reported](std::string& text) {
    if (reported.empty()) reported = text;
  };
  try {
    msSMTP1.Send();
  } catch (...) {
    msSMTP1.MailMessage = nullptr;
    throw;
  }
  msSMTP1.MailMessage = nullptr;
  if (!reported.empty()) throw VendrixError(reported);
}

}  // namespace vendrix
