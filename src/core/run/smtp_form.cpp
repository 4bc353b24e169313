#include "run/smtp_form.h"

#include "base/ini_file.h"
#include "mail/address_list.h"
#include "mail/mail_error.h"

namespace vendrix {
namespace {

constexpr const char* kSection = "Setup";

}  // namespace

TSMTPForm::TSMTPForm(SmtpFormView* view) : view_(view ? view : &none_) {
  msMessage1.ContentType = "text/plain";
  msMessage1.ReturnReceipt = false;
  msMessage1.Headers = {kIdentificationHeader};
  msSMTP1.MailMessage = &msMessage1;

  auto line = [this](const char* report, const char* status, const char* log) {
    if (report) view_->AddReportLine(report);
    if (status) Status(status);
    if (log) view_->AddLogLine(log);
  };
  msSMTP1.OnOpen = [=] {
    line("Opening SMTP Connection", "Opening connection", "Opening SMTP Connection");
  };
  msSMTP1.OnPrepare = [=] { line("Preparing Message", "Preparing message", "Preparing Message"); };
  msSMTP1.OnSending = [=] { line("Sending Message", "Sending message", "Sending Message"); };
  msSMTP1.OnMailSent = [=, this] {
    line("Mail Sent", nullptr, "Mail Sent");
    view_->SetProgress(0);
    view_->SetMainProgress(0);
  };
  msSMTP1.OnClosing = [=] {
    line("Closing Connection", "Closing connection", "Closing SMTP Connection");
  };
  msSMTP1.OnClosed = [=, this] {
    line("Connection Closed", "Connection closed", nullptr);
    view_->SetMainProgress(0);
  };
  msSMTP1.OnCancel = [=] {
    line("MailSend Operation Canceled!", "Operation has been canceled", nullptr);
  };
  msSMTP1.OnError = [this](std::string& msg) { MarkError(msg); };
  msSMTP1.OnAddressRejected = [this](const std::string&, const std::string&, bool&) {
    view_->AddReportLine("ERROR -> Address Rejected By Server");
    view_->AddLogLine("ERROR -> Address Rejected By Server");
    errorFlag_ = true;
  };
  msSMTP1.OnProgress = [this](int perc, long long) {
    view_->SetProgress(perc);
    view_->SetMainProgress(perc);
  };
}

void TSMTPForm::Status(const std::string& text) {
  status_ = text;
  view_->SetStatus(text);
}

void TSMTPForm::MarkError(const std::string& text) {
  view_->AddReportLine("ERROR -> " + text);
  Status(text);
  view_->AddLogLine("SMTP Error");
  errorFlag_ = true;
  errorText_ = text;
}

void TSMTPForm::SetBusy(bool busy) {
  busy_ = busy;
  view_->BusyChanged(busy);
}

void TSMTPForm::Send() {
  errorFlag_ = false;
  errorText_.clear();
  msMessage1.Recipients.Clear();
  msMessage1.Subject = SubjectEdit.substr(0, 255);
  msMessage1.Body = BodyMemo;
  SetBusy(true);
  try {
    for (const auto& a : ParseAddressList(ToEdit))
      msMessage1.Recipients.AddAddress(a.Address, a.Name);
    msSMTP1.Send();
  } catch (const std::exception& e) {
    // A server's refusal and an incomplete message fire no OnError; they are
    // reported the same way, so that no failure goes unexplained.
    if (errorText_.empty()) MarkError(e.what());
    errorFlag_ = true;
    SetBusy(false);
    if (!msSMTP1.TranscriptError().empty()) view_->AddLogLine(msSMTP1.TranscriptError());
    throw;
  }
  SetBusy(false);
  if (!msSMTP1.TranscriptError().empty()) view_->AddLogLine(msSMTP1.TranscriptError());
}

TSMTPForm::TSMTPForm(SmtpFormView* view, std::string iniPath) : TSMTPForm(view) {
  iniPath_ = std::move(iniPath);
  TSetupDlg setup = Setup();
  setup.LoadIni(iniPath_);
  Apply(setup);
}

bool TSMTPForm::Close() {
  if (!CloseQuery()) return false;
  if (!iniPath_.empty()) Setup().SaveIni(iniPath_);
  return true;
}

bool TSMTPForm::CloseQuery() {
  if (!busy_) return true;
  view_->ShowError(kTransferInProgress);
  return false;
}

TSetupDlg TSMTPForm::Setup() const {
  TSetupDlg d;
  d.ServerEdit = msSMTP1.Server;
  d.UserAddressEdit = msMessage1.Sender.Address;
  d.UserNameEdit = msMessage1.Sender.Name;
  d.LogFileNameEdit = msSMTP1.LogFileName;
  d.CharSetCombo = msMessage1.CharSet == TCharSet::csISO8859 ? 1 : 0;
  d.EncodingCombo = msMessage1.Encoding == TMsgEncoding::meUU ? 1 : 0;
  d.Security = msSMTP1.Security;
  d.User = msSMTP1.User;
  d.Password = msSMTP1.Password;
  d.CaFile = msSMTP1.CaFile;
  return d;
}

void TSMTPForm::Apply(const TSetupDlg& d) {
  msSMTP1.Server = d.ServerEdit;
  msMessage1.Sender.Address = d.UserAddressEdit;
  msMessage1.Sender.Name = d.UserNameEdit;
  msSMTP1.LogFileName = d.LogFileNameEdit;
  msMessage1.CharSet = d.CharSetCombo == 1 ? TCharSet::csISO8859 : TCharSet::csUSASCII;
  msMessage1.Encoding = d.EncodingCombo == 1 ? TMsgEncoding::meUU : TMsgEncoding::meMIME;
  msSMTP1.Security = d.Security;
  msSMTP1.User = d.User;
  msSMTP1.Password = d.Password;
  msSMTP1.CaFile = d.CaFile;
}

const std::vector<std::string>& TSetupDlg::CharSetItems() {
  static const std::vector<std::string> items = {"US-ASCII", "ISO-8859-1"};
  return items;
}

void TSetupDlg::LoadIni(const std::string& path) {
  IniDocument doc = IniDocument::Load(path);
  ServerEdit = doc.ReadString(kSection, "Server", "");
  UserAddressEdit = doc.ReadString(kSection, "EMail Address", "");
  UserNameEdit = doc.ReadString(kSection, "Name", "");
  LogFileNameEdit = doc.ReadString(kSection, "Log File", "");
  CharSetCombo = doc.ReadInteger(kSection, "CharSet", 0) == 1 ? 1 : 0;
  EncodingCombo = doc.ReadInteger(kSection, "Encoding", 0) == 1 ? 1 : 0;
}

void TSetupDlg::SaveIni(const std::string& path) const {
  IniDocument doc = IniDocument::Load(path);
  doc.WriteString(kSection, "Server", ServerEdit);
  doc.WriteString(kSection, "EMail Address", UserAddressEdit);
  doc.WriteString(kSection, "Name", UserNameEdit);
  doc.WriteString(kSection, "Log File", LogFileNameEdit);
  doc.WriteInteger(kSection, "CharSet", CharSetCombo);
  doc.WriteInteger(kSection, "Encoding", EncodingCombo);
  doc.Save(path);
}

}  // namespace vendrix
