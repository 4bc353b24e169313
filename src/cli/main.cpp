// vendrix-cli: the core of Vendrix for scripts and release pipelines.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iostream>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/tree_lock.h"
#include "cli.h"
#include "net/process_signals.h"

namespace {

// One entry per command: its name, its usage lines (the help is made of them, so it
// cannot drift from what the commands take) and what runs it. A command with
// runBare needs no data tree.
struct Command {
  const char* name;
  const char* usage;
  int (*run)(vendrix::cli::Context&);
  int (*runBare)(vendrix::cli::Args&);
};

const Command kCommands[] = {
    {"company", "  company list | show [NAME] | new NAME | set NAME KEY=VALUE... | delete NAME\n",
     vendrix::cli::CompanyCommand, nullptr},
    {"app",
     "  app list | show [NAME] | new NAME | set NAME KEY=VALUE... | delete NAME   [--company C]\n"
     "      (LONGDESC=@file and NOTES=@file read a file)\n"
     "  app import-pad FILE|URL [--company C] [--update] [--dry-run] [--cafile PEM]\n"
     "      (prints the fields the PAD file changes; --dry-run stops there)\n"
     "  app export-pad NAME [--company C] --out FILE     (--out -: standard output)\n",
     vendrix::cli::AppCommand, nullptr},
    {"settings",
     "  settings show | set KEY=VALUE...     (SMTPPassword=@FILE: the password is read from "
     "a file)\n",
     vendrix::cli::SettingsCommand, nullptr},
    {"site",
     "  site list | show NAME | new NAME | delete NAME | set NAME KEY=VALUE...\n"
     "      (CAT1=@file and CAT2=@file replace a category list)\n"
     "  site script NAME KIND [--from FILE]     KIND: HTTP_NEW HTTP_UPDATE FTP_NEW EMAIL_NEW "
     "EMAIL_UPDATE\n"
     "  site contribute NAME [--company C] [--cafile PEM]\n"
     "      (mails the site's files to the ContributeAddress setting through the SMTP settings)\n",
     vendrix::cli::SiteCommand, nullptr},
    {"table",
     "  table show --app A [--company C]\n"
     "  table set --app A --site S [submit=New|Update] [post=Y|N] [cat1=LABEL] [cat2=LABEL] "
     "[lastpost=TEXT]\n",
     vendrix::cli::TableCommand, nullptr},
    {"expand", "  expand [--site S] [--mode preview|submission] TEXT\n",
     vendrix::cli::ExpandCommand, nullptr},
    {"check", "  check\n", vendrix::cli::CheckCommand, nullptr},
    {"mass-change", "  mass-change FROM TO     (TO is one of the %VARIABLE% texts)\n",
     vendrix::cli::MassChangeCommand, nullptr},
    {"preview",
     "  preview [--site S]     (a dry run: what a submission would send)\n"
     "      (expand, check, mass-change and preview take --company C --app A;\n"
     "       default: the first company and its first application)\n",
     vendrix::cli::PreviewCommand, nullptr},
    {"submit",
     "  submit --app A [--company C] [--only SITE]... [--yes] [--again] [--json]\n"
     "         [--parallel N]\n"
     "      (--again also sends sites that already got this version; --json prints\n"
     "       JSON Lines: one object per step and site, the summary last; --parallel\n"
     "       posts N sites at once, 1 to 16, instead of the PostAtOnce setting)\n"
     "      (the submission run; --only posts just the named rows, their marks unchanged;\n"
     "       exit 3 when some sites failed, 130 when cancelled)\n",
     vendrix::cli::SubmitCommand, nullptr},
    {"precheck",
     "  precheck --app A [--company C] [--only SITE]... [--offline] [--json] [--cafile PEM]\n"
     "      (what a run would find wrong; exit 3 when there are errors, warnings allowed)\n",
     vendrix::cli::PreCheckCommand, nullptr},
    {"manifest",
     "  manifest winget | scoop | chocolatey | all --app A [--company C] --out DIR\n"
     "           [--verify-download] [--pack] [--force] [--cafile PEM]\n"
     "      (package manifests from the profile, checked against each channel's rules;\n"
     "       --verify-download compares the file at the download address with PATH,\n"
     "       --pack also builds the Chocolatey .nupkg, --force replaces a different\n"
     "       one of the same version; exit 3 when a rule is broken)\n",
     vendrix::cli::ManifestCommand, nullptr},
    {"history",
     "  history --app A [--company C] [--site S]\n"
     "      (each successful post: site, version, date and time, kind, methods)\n",
     vendrix::cli::HistoryCommand, nullptr},
    {"reports",
     "  reports list [--app A] | show --app A [--run STAMP] [--json] | delete --app A [--run "
     "STAMP]\n"
     "      (show --json prints the run's run.json)\n",
     vendrix::cli::ReportsCommand, nullptr},
    {"update",
     "  update [--url URL | --file ZIP] [--cafile PEM]\n"
     "      (replaces the site catalogue; default URL: the UpdateURL setting)\n",
     vendrix::cli::UpdateCommand, nullptr},
    {"bhs",
     "  bhs show | browse [--use ID [--force]] | new [KEY=VALUE...]   [--company C] [--cafile PEM] "
     "[--verbose]\n"
     "      (new: name Address1 Address2 City State Zipcode phone email FTPSite WebSite,\n"
     "       each defaulting to the company's value; the server is the BHSServer setting)\n",
     vendrix::cli::BhsCommand, nullptr},
    {"net",
     "  net http get|post URL [--data TEXT] [--out FILE] [--proxy HOST:PORT] [--timeout S] "
     "[--cafile PEM]\n"
     "  net ftp-upload --host H[:PORT] --user U --password-file FILE|- --local FILE --remote NAME\n"
     "                 [--passive] [--tls] [--ascii] [--timeout S] [--cafile PEM]\n"
     "      (--password P also works, but other users may see it before it is blanked)\n"
     "  net mail --server HOST[:PORT] --from ADDR [--name NAME] --to ADDR [--to ADDR]...\n"
     "           --subject TEXT [--body FILE|-] [--attach FILE]... [--security "
     "auto|starttls|tls|none]\n"
     "           [--user U --password-file FILE|-] [--cafile PEM] [--transcript FILE] "
     "[--timeout S]\n",
     nullptr, vendrix::cli::NetCommand},
};

// Whether a command may change the data tree, and so must hold the lock exclusively for
// as long as it runs. Only the commands known to read share it; an unknown action
// takes it exclusively too (it fails as a usage error anyway).
bool WritesToTree(const std::string& command, const std::vector<std::string>& rest) {
  const std::string verb = rest.empty() ? std::string() : rest[0];
  auto has = [&](const char* word) {
    return std::find(rest.begin(), rest.end(), word) != rest.end();
  };
  if (command == "expand" || command == "check" || command == "preview" || command == "precheck" ||
      command == "history" || command == "manifest") {
    return false;
  }
  if (command == "app" && (verb == "export-pad" || (verb == "import-pad" && has("--dry-run")))) {
    return false;
  }
  if (command == "company" || command == "app") return verb != "list" && verb != "show";
  if (command == "settings" || command == "table") return verb != "show";
  if (command == "reports") return verb != "list" && verb != "show";
  if (command == "bhs") return verb != "show" && !(verb == "browse" && !has("--use"));
  if (command == "site") {
    if (verb == "script") return has("--from");
    return verb != "list" && verb != "show" && verb != "contribute";
  }
  return true;  // submit, update, mass-change
}

// How a refused command names this one.
std::string Holder(const std::string& command, const std::vector<std::string>& rest) {
  if (command == "submit") return "a submission run";
  std::string text = "vendrix-cli " + command;
  if (!rest.empty() && rest[0].rfind("--", 0) != 0) text += " " + rest[0];
  return vendrix::Utf8ToCp1252(text);
}

vendrix::cli::CommandTable Table() {
  vendrix::cli::CommandTable table;
  for (const auto& c : kCommands) table.push_back({c.name, c.usage});
  return table;
}

std::string Usage() {
  return vendrix::cli::UsageText(Table());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vendrix;
  using namespace vendrix::cli;
  IgnoreProcessSignals();
  KeepArguments(argc, argv);
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string dataDir;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--data-dir") {
      if (i + 1 >= words.size()) {
        std::cerr << Usage();
        return kExitUsage;
      }
      dataDir = words[i + 1];
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i),
                  words.begin() + static_cast<std::ptrdiff_t>(i + 2));
      break;
    }
  }
  if (words.size() > 1 && words[0] == "help") {
    Args helpArgs(std::vector<std::string>(words.begin() + 1, words.end()));
    try {
      return HelpCommand(helpArgs, Table());
    } catch (const UsageError& e) {
      std::cerr << "vendrix-cli: " << e.what() << "\n\n" << Usage();
      return kExitUsage;
    }
  }
  if (words.size() == 1 && words[0] == "--version") {
    std::cout << VersionText();
    return kExitOk;
  }
  if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::cout << Usage();
    return words.empty() ? kExitUsage : kExitOk;
  }
  std::string command = words[0];
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  Args args(rest);
  CliPrompt prompt;
  SystemClock clock;
  try {
    const Command* found = nullptr;
    for (const auto& entry : kCommands) {
      if (command == entry.name) found = &entry;
    }
    if (!found) throw UsageError("unknown command " + command);
    if (found->runBare) return found->runBare(args);
    // A command that only reads makes no folder: on a tree that is not there yet it
    // finds nothing (the shell completion runs such commands on every Tab).
    const bool writes = WritesToTree(command, rest);
    std::string root = writes ? PrepareDataRoot(dataDir) : ResolveDataRoot(dataDir, ProgramPath());
    // One writer per data tree: a second one is refused at once, naming the first.
    // Readers share the tree, and write nothing into it.
    TreeLock lock = writes ? TreeLock::Take(root, Holder(command, rest)) : TreeLock::Share(root);
    Session session(root, prompt, clock);
    session.Flags().ReadOnly = !writes;
    if (!session.Initialise()) {
      std::cerr << "Unable to initialize Vendrix!\n";
      return kExitRefused;
    }
    prompt.ResetFailed();  // skipped list entries were reported; they do not fail a command
    Context c{session, prompt, args};
    int rc = found->run(c);
    if (rc == kExitOk && prompt.Failed()) rc = kExitRefused;
    return rc;
  } catch (const UsageError& e) {
    std::cerr << "vendrix-cli: " << e.what() << "\n\n" << Usage();
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << Cp1252ToUtf8(e.what()) << '\n';
    return kExitRefused;
  }
}
