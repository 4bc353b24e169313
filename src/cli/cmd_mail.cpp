// vendrix-cli net mail ...: send one message as the e-mail step would, to try a mail
// server and its settings before a run.
#include <iostream>
#include <iterator>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "cli.h"
#include "mail/address_list.h"
#include "mail/mail_error.h"
#include "run/smtp_form.h"

namespace vendrix::cli {
namespace {

// Text files of a pipeline are UTF-8; anything else is taken as Windows-1252 already.
// A character that Windows-1252 cannot hold is refused with its place, never sent as
// "?".
std::string BodyText(const std::string& bytes) {
  if (!IsUtf8(bytes)) return bytes;
  if (auto text = Utf8ToCp1252Exact(bytes)) return *text;
  throw VendrixError("The body holds a character that Windows-1252 cannot hold (" +
                     FirstRefusedPlace(bytes) + "); use others.");
}

class PrintingView : public SmtpFormView {
 public:
  void AddReportLine(const std::string& line) override { Out(line); }
};

}  // namespace

int MailCommand(Args& args) {
  auto server = args.Option("--server");
  auto from = args.Option("--from");
  auto name = args.Option("--name");
  std::vector<std::string> to;
  while (auto t = args.Option("--to")) to.push_back(*t);
  auto subject = args.Option("--subject");
  auto body = args.Option("--body");
  std::vector<std::string> attach;
  while (auto a = args.Option("--attach")) attach.push_back(Cp1252ToUtf8(*a));
  auto security = args.Option("--security");
  auto user = args.Option("--user");
  auto caFile = args.Option("--cafile");
  auto transcript = args.Option("--transcript");
  auto timeout = args.Option("--timeout");
  // A password on the command line is visible to every user of the machine.
  if (args.Option("--password")) {
    throw UsageError("a password goes in a file: --password-file FILE");
  }
  auto password = TakePassword(args);
  if (!server || !from || to.empty() || !subject) {
    throw UsageError("net mail needs --server, --from, --to and --subject");
  }
  if (!args.Empty()) throw UsageError("unexpected words for net mail");
  if (security && *security != "auto" && *security != "starttls" && *security != "tls" &&
      *security != "none") {
    throw UsageError("--security is auto, starttls, tls or none");
  }
  if (password && !user) throw UsageError("--password-file goes with --user");

  PrintingView view;
  TSMTPForm form(&view);
  TSetupDlg setup;
  setup.ServerEdit = *server;
  setup.UserAddressEdit = *from;
  setup.UserNameEdit = name.value_or("");
  setup.Security = ParseSmtpSecurity(security.value_or("auto"));
  setup.User = user.value_or("");
  setup.Password = password.value_or("");
  if (caFile) setup.CaFile = Cp1252ToUtf8(*caFile);
  if (transcript) setup.LogFileNameEdit = Cp1252ToUtf8(*transcript);
  form.Apply(setup);
  if (timeout) {
    int seconds = ParseIniInteger(*timeout, -1);
    if (seconds <= 0) throw UsageError("--timeout takes whole seconds");
    form.msSMTP1.TimeOut = seconds;
  }
  // Each --to is a list of its own ("\"Doe, John\" <j@x.org>, b@x.org"), read by the
  // same reader as the mail window's "To:" field.
  std::string joined;
  for (const auto& t : to) {
    try {
      if (ParseAddressList(t).empty()) throw UsageError("--to \"" + t + "\" holds no address");
    } catch (const EMailError& e) {
      std::cerr << Cp1252ToUtf8(e.what()) << '\n';
      return kExitRefused;
    }
    joined += (joined.empty() ? "" : ", ") + t;
  }
  form.ToEdit = joined;
  // The mail window cuts a subject to 255 characters; here that is said rather than done.
  if (subject->size() > 255) throw VendrixError("--subject is longer than 255 characters");
  form.SubjectEdit = *subject;
  if (body) {
    std::string bytes;
    if (*body == "-") {
      bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      auto data = ReadWholeFile(Cp1252ToUtf8(*body));
      if (!data) throw VendrixError("File not found: " + *body);
      bytes = std::move(*data);
    }
    form.SetBodyText(BodyText(bytes));
  }
  try {
    for (const auto& a : attach) form.Attach(a);
    form.Send();
  } catch (const EMailError& e) {
    std::cerr << Cp1252ToUtf8(e.what()) << '\n';
    return kExitRefused;
  }
  return kExitOk;
}

}  // namespace vendrix::cli
