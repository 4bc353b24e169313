// vendrix-cli company ... and app ...
#include <climits>

#include "base/error.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "cli.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"

namespace vendrix::cli {
namespace {

void PrintCompany(const CompanyProfile& p) {
  for (const auto& f : kCompanyFields) Out(std::string(f.key) + "=" + p.*f.member);
}

void PrintApp(const AppProfile& p) {
  for (const auto& f : kAppFields) Out(std::string(f.key) + "=" + p.*f.member);
}

}  // namespace

int CompanyCommand(Context& c) {
  std::string verb = c.args.Next("company action");
  CompanyPage& company = c.session.Company();
  if (verb == "list") {
    for (const auto& n : company.Names()) Out(n);
    return kExitOk;
  }
  if (verb == "new") {
    company.Create(c.args.Next("company name"), CompanyProfile{});
    return kExitOk;
  }
  std::optional<std::string> name;
  if (!c.args.Empty()) name = c.args.Next("company name");
  if (name && !c.session.ChooseCompany(*name)) throw VendrixError("No company named " + *name);
  if (company.Shown().empty()) throw VendrixError("There is no company yet.");
  if (verb == "show") {
    PrintCompany(company.Profile());
    return kExitOk;
  }
  if (verb == "set") {
    if (!name) throw UsageError("company set needs a name");
    std::vector<std::pair<std::string, std::string>> edits;
    for (const auto& word : c.args.Rest()) {
      auto edit = KeyValue(word);
      const CompanyField* f = FindCompanyField(edit.first);
      if (!f || f->control.empty() || edit.first == "CONAME") {
        throw UsageError("not a company key you can set: " + edit.first);
      }
      edits.push_back(std::move(edit));
    }
    // Every value passes the field rules before anything is saved.
    for (auto& [key, value] : edits) {
      if (!company.SetField(key, value)) return kExitRefused;
    }
    company.SaveCompany();
    return kExitOk;
  }
  if (verb == "delete") {
    if (!name) throw UsageError("company delete needs a name");
    company.DeleteCompany();
    return kExitOk;
  }
  throw UsageError("unknown company action " + verb);
}

int AppCommand(Context& c) {
  std::string verb = c.args.Next("app action");
  if (verb == "import-pad") return ImportPadCommand(c);
  if (verb == "export-pad") return ExportPadCommand(c);
  auto company = c.args.Option("--company");
  AppPage& app = c.session.App();
  if (verb == "list") {
    SelectCompanyFor(c, company, std::nullopt);
    for (const auto& n : app.Names()) Out(n);
    return kExitOk;
  }
  if (verb == "new") {
    SelectCompanyFor(c, company, std::nullopt);
    app.Create(c.args.Next("application name"), app.NewAppFields());
    return kExitOk;
  }
  std::optional<std::string> name;
  if (!c.args.Empty()) name = c.args.Next("application name");
  SelectCompanyFor(c, company, name);
  SelectApp(c, name);
  if (verb == "show") {
    PrintApp(app.Profile());
    return kExitOk;
  }
  if (verb == "set") {
    if (!name) throw UsageError("app set needs a name");
    std::vector<std::pair<std::string, std::string>> edits;
    for (const auto& word : c.args.Rest()) {
      auto edit = KeyValue(word);
      const std::string& key = edit.first;
      if (key != "LONGDESC" && key != "NOTES" && (!FindAppField(key) || key == "NAME")) {
        throw UsageError("not an application key you can set: " + key);
      }
      edits.push_back(std::move(edit));
    }
    // Every value passes the field rules before anything is saved.
    for (auto& [key, value] : edits) {
      bool ok = key == "LONGDESC" ? app.EnterLongDesc(SplitLines(value))
                : key == "NOTES"  ? app.EnterNotes(SplitLines(value))
                                  : app.EnterValue(key, value);
      if (!ok) return kExitRefused;
    }
    app.SaveApp();
    return kExitOk;
  }
  if (verb == "delete") {
    if (!name) throw UsageError("app delete needs a name");
    app.DeleteApp();
    return kExitOk;
  }
  throw UsageError("unknown app action " + verb);
}

int SettingsCommand(Context& c) {
  std::string verb = c.args.Next("settings action");
  const std::string path = c.session.Wide().SettingsFile();
  if (verb == "show") {
    ProgramSettings s = LoadProgramSettings(path);
    Out("SMTP=" + s.smtp);
    Out("EMAIL=" + s.email);
    Out("NAME=" + s.name);
    Out("PROXY=" + s.proxy);
    Out("PORT=" + s.port);
    Out("FTPRetries=" + std::to_string(s.ftpRetries));
    Out("HTTPTimeOut=" + std::to_string(s.httpTimeOut));
    Out("PostRetries=" + std::to_string(s.postRetries));
    Out("PostAtOnce=" + std::to_string(s.postAtOnce));
    Out(std::string("UseGridLines=") + (s.useGridLines ? "1" : "0"));
    Out(std::string("ShowHints=") + (s.showHints ? "1" : "0"));
    Out("UpdateURL=" + s.updateUrl);
    Out("BHSServer=" + s.bhsServer);
    Out("ContributeAddress=" + s.contributeAddress);
    Out("FooterURL=" + s.footerUrl);
    Out("SMTPSecurity=" + s.smtpSecurity);
    Out("SMTPUser=" + s.smtpUser);
    Out(std::string("SMTPPassword=") + (s.smtpPassword.empty() ? "" : "****"));
    return kExitOk;
  }
  if (verb != "set") throw UsageError("unknown settings action " + verb);
  SettingsDialog dialog(path, c.prompt);
  dialog.Open();
  ProgramSettings& f = dialog.Fields();
  std::optional<bool> gridLines;
  std::vector<std::pair<std::string, std::string>> services;
  bool dialogKeys = false;  // any key of the Settings dialog given
  auto number = [](const std::string& key, const std::string& v) {
    int n = ParseIniInteger(v, INT_MIN);
    if (n == INT_MIN) throw UsageError(key + " must be a whole number");
    return n;
  };
  for (const auto& word : c.args.Rest()) {
    // A password on the command line is visible to every user of the machine.
    if (word.rfind("SMTPPassword=", 0) == 0 && word.size() > 13 && word[13] != '@') {
      throw UsageError("SMTPPassword takes @FILE (the first line of the file)");
    }
    auto [key, value] = KeyValue(word);
    if (key == "UseGridLines") {
      gridLines = number(key, value) != 0;
      continue;
    }
    if (key == "UpdateURL" || key == "BHSServer" || key == "ContributeAddress" ||
        key == "FooterURL") {
      services.emplace_back(key, value);
      continue;
    }
    dialogKeys = true;
    if (key == "SMTPPassword") {
      value = value.substr(0, value.find_first_of("\r\n"));
      f.smtpPassword = value;
      continue;
    }
    if (key == "SMTPSecurity") {
      f.smtpSecurity = SmtpSecurityItem(value);
      if (f.smtpSecurity.empty()) throw UsageError("SMTPSecurity is Auto, STARTTLS, TLS or None");
      continue;
    }
    if (key == "SMTPUser") {
      f.smtpUser = value;
      continue;
    }
    if (key == "SMTP")
      f.smtp = value;
    else if (key == "EMAIL")
      f.email = value;
    else if (key == "NAME")
      f.name = value;
    else if (key == "PROXY")
      f.proxy = value;
    else if (key == "PORT")
      f.port = value;
    else if (key == "FTPRetries")
      f.ftpRetries = number(key, value);
    else if (key == "HTTPTimeOut")
      f.httpTimeOut = number(key, value);
    else if (key == "PostRetries")
      f.postRetries = number(key, value);
    else if (key == "PostAtOnce")
      f.postAtOnce = number(key, value);
    else if (key == "ShowHints")
      f.showHints = number(key, value) != 0;
    else
      throw UsageError("unknown settings key " + key);
  }
  // The dialog's keys are written through the dialog ("&Ok"); the grid-lines box and
  // the service keys write their own key only.
  if (dialogKeys && !dialog.Ok()) return kExitRefused;
  if (gridLines) WriteUseGridLines(path, *gridLines);
  for (const auto& [key, value] : services) WriteServiceSetting(path, key, value);
  return kExitOk;
}

}  // namespace vendrix::cli
