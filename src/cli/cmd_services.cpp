// vendrix-cli bhs ...: the company's BHS account; site contribute: proposing a
// user-made site to the maker.
#include <iostream>

#include "app/program_settings.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "cli.h"
#include "services/bhs_account.h"
#include "services/smtp_contribution.h"

namespace vendrix::cli {
namespace {

// The command line shows no wait panel; the status lines go to stderr with --verbose.
class QuietView : public BhsView {
 public:
  explicit QuietView(bool verbose) : verbose_(verbose) {}
  void Status(const std::string& text) override {
    if (verbose_) std::cerr << Cp1252ToUtf8(text) << '\n';
  }
  void Waiting(bool) override {}
  void Close() override {}

 private:
  bool verbose_;
};

// The form field a KEY=VALUE word sets (the form's own field names, in any case).
std::string* NewAccountField(BhsNewAccountFields& f, const std::string& key) {
  const std::pair<const char*, std::string*> fields[] = {
      {"name", &f.companyName}, {"address1", &f.address1},  {"address2", &f.address2},
      {"city", &f.city},        {"state", &f.stateCountry}, {"zipcode", &f.zipCode},
      {"phone", &f.phone},      {"email", &f.email},        {"ftpsite", &f.ftpSite},
      {"website", &f.webSite}};
  std::string lower = key;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const auto& [name, field] : fields) {
    if (lower == name) return field;
  }
  return nullptr;
}

// The command line's answers, with the questions of choosing an account shown: from
// Shown() on, each question goes to stderr and is answered Yes only with --force.
class ShowingPrompt : public UserPrompt {
 public:
  ShowingPrompt(CliPrompt& inner, bool force) : inner_(inner), force_(force) {}
  void Inform(const std::string& text) override { inner_.Inform(text); }
  void Error(const std::string& text) override { inner_.Error(text); }
  Answer Confirm(const std::string& text, bool withCancel) override {
    if (!showing_) return inner_.Confirm(text, withCancel);
    std::cerr << Cp1252ToUtf8(text)
              << (force_ ? " Yes (--force)\n" : " No (give --force for Yes)\n");
    return force_ ? Answer::Yes : Answer::No;
  }
  std::optional<std::string> AskName(const std::string& caption) override {
    return inner_.AskName(caption);
  }
  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    return inner_.ChooseFile(choice);
  }
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override {
    inner_.ErrorDialog(title, text, instruction);
  }
  void Shown() { showing_ = true; }

 private:
  CliPrompt& inner_;
  bool force_;
  bool showing_ = false;
};

}  // namespace

int BhsCommand(Context& c) {
  std::string verb = c.args.Next("bhs action: show, browse or new");
  auto caFile = c.args.Option("--cafile");
  auto use = c.args.Option("--use");
  bool verbose = c.args.Flag("--verbose");
  bool force = c.args.Flag("--force");
  SelectCompany(c);
  CompanyPage& company = c.session.Company();
  ProgramSettings settings = LoadProgramSettings(c.session.Wide().SettingsFile());
  BhsServer server{settings.bhsServer, caFile ? Cp1252ToUtf8(*caFile) : std::string()};
  QuietView view(verbose);
  bool assigned = false;
  auto assign = [&](const std::string& id) { assigned = company.SetBhsId(id); };

  if (verb == "show") {
    if (!c.args.Empty() || use) throw UsageError("bhs show takes only --company");
    switch (company.ShowBhsId()) {
      case CompanyPage::BhsAction::NoCompany:
        return kExitRefused;
      case CompanyPage::BhsAction::ShownId:
        Out(company.Profile().bhsId);
        return kExitOk;
      case CompanyPage::BhsAction::OpenAccountDialog:
        std::cerr << "No BHS ID# yet: \"bhs browse\" lists the accounts BHS has, \"bhs new\" "
                     "requests one.\n";
        return kExitOk;
    }
  }
  if (company.Shown().empty()) throw VendrixError("You first need to define a company name!");
  if (verb == "browse") {
    if (!c.args.Empty()) throw UsageError("bhs browse takes --use ID [--force] and --company");
    const std::string held = company.Profile().bhsId;
    if (use && !held.empty() && held != *use && !force) {
      throw VendrixError("The company " + company.Shown() + " already has the BHS ID# " + held +
                         "; give --force to replace it with " + *use + ".");
    }
    ShowingPrompt prompt(c.prompt, force);
    TBHSFrm window(server, company.Profile(), assign, prompt, view);
    window.BrowseAccounts();
    if (window.Closed()) return kExitRefused;
    for (const auto& entry : window.Entries()) Out(entry.id + "\t" + entry.text);
    if (use) {
      int index = -1;
      for (std::size_t i = 0; i < window.Entries().size(); ++i) {
        if (window.Entries()[i].id == *use) index = static_cast<int>(i);
      }
      if (index < 0) throw VendrixError("BHS lists no account with the id " + *use);
      prompt.Shown();
      window.UseSelected(index);
    }
  } else if (verb == "new") {
    if (use) throw UsageError("bhs new takes KEY=VALUE fields");
    TBHSNewAccountFrm form(server, company.Profile(), c.prompt, view);
    for (const auto& word : c.args.Rest()) {
      auto [key, value] = KeyValue(word);
      std::string* field = NewAccountField(form.Fields(), key);
      if (!field) throw UsageError("unknown field " + key);
      *field = value;
    }
    auto id = form.RequestAccount();
    if (!id) return kExitRefused;
    TBHSFrm window(server, company.Profile(), assign, c.prompt, view);
    window.NewAccountClosed(*id);
  } else {
    throw UsageError("unknown bhs action " + verb);
  }
  if (!assigned) return c.prompt.Failed() ? kExitRefused : kExitOk;
  company.SaveCompany();
  return kExitOk;
}

int ContributeCommand(Context& c, const std::string& site) {
  auto caFile = c.args.Option("--cafile");
  SelectCompany(c);
  if (!c.args.Empty()) throw UsageError("site contribute takes NAME, --company and --cafile");
  ProgramSettings settings = LoadProgramSettings(c.session.Wide().SettingsFile());
  ContributionMailSettings mail{settings.smtp, ParseSmtpSecurity(settings.smtpSecurity),
                                settings.smtpUser, settings.smtpPassword,
                                caFile ? Cp1252ToUtf8(*caFile) : std::string()};
  SmtpContributionSender sender(mail);
  class : public ContributeView {
    void Sending(bool) override {}
    void Close() override {}
  } view;
  TContributeFrm form(site, c.session.Company().Profile(), c.session.Wide(),
                      settings.contributeAddress, sender, c.prompt, view);
  TContributeFrm::Result result = form.Submit();
  if (result == TContributeFrm::Result::Sent) {
    c.session.ContributionSent();
    return kExitOk;
  }
  if (!form.LastError().empty()) std::cerr << Cp1252ToUtf8(form.LastError()) << '\n';
  return kExitRefused;
}

}  // namespace vendrix::cli
