// vendrix-cli: the core of Vendrix for scripts and release pipelines.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "cli.h"

namespace {

constexpr const char* kUsage = R"(usage: vendrix-cli [--data-dir DIR] COMMAND ...

  company list | show [NAME] | new NAME | set NAME KEY=VALUE... | delete NAME
  app list | show [NAME] | new NAME | set NAME KEY=VALUE... | delete NAME   [--company C]
      (LONGDESC=@file and NOTES=@file read a file)
  settings show | set KEY=VALUE...
  site list | show NAME | new NAME | delete NAME | set NAME KEY=VALUE...
      (CAT1=@file and CAT2=@file replace a category list)
  site script NAME KIND [--from FILE]     KIND: HTTP_NEW HTTP_UPDATE FTP_NEW EMAIL_NEW EMAIL_UPDATE
  table show --app A [--company C]
  table set --app A --site S [submit=New|Update] [post=Y|N] [cat1=LABEL] [cat2=LABEL] [lastpost=TEXT]
  expand --site S [--mode preview|submission] TEXT
  check
  mass-change FROM TO
  preview [--site S]
      (these four take --company C --app A; default: the first company and its first application)
  net http get|post URL [--data TEXT] [--out FILE] [--proxy HOST:PORT] [--timeout S] [--cafile PEM]
  net ftp-upload --host H[:PORT] --user U --password P --local FILE --remote NAME
                 [--passive] [--tls] [--ascii] [--timeout S] [--cafile PEM]

Exit status: 0 done, 1 refused (the reason on stderr), 2 usage error.
)";

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(".");
}

void MakeDirs(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') vendrix::MakeDir(path.substr(0, pos));
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vendrix;
  using namespace vendrix::cli;
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string dataDir;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--data-dir") {
      if (i + 1 >= words.size()) {
        std::cerr << kUsage;
        return kExitUsage;
      }
      dataDir = words[i + 1];
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i),
                  words.begin() + static_cast<std::ptrdiff_t>(i + 2));
      break;
    }
  }
  if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::cout << kUsage;
    return words.empty() ? kExitUsage : kExitOk;
  }
  std::string command = words[0];
  Args args(std::vector<std::string>(words.begin() + 1, words.end()));
  CliPrompt prompt;
  SystemClock clock;
  try {
    if (command == "net") return NetCommand(args);
    std::string root = ResolveDataRoot(dataDir, ProgramPath());
    MakeDirs(root);
    Session session(root, prompt, clock);
    if (!session.Initialise()) {
      std::cerr << "Unable to initialize Vendrix!\n";
      return kExitRefused;
    }
    prompt.ResetFailed();  // skipped list entries were reported; they do not fail a command
    Context c{session, prompt, args};
    static const std::pair<const char*, int (*)(Context&)> kCommands[] = {
        {"company", CompanyCommand},   {"app", AppCommand},
        {"settings", SettingsCommand}, {"site", SiteCommand},
        {"table", TableCommand},       {"expand", ExpandCommand},
        {"check", CheckCommand},       {"mass-change", MassChangeCommand},
        {"preview", PreviewCommand}};
    int (*run)(Context&) = nullptr;
    for (const auto& [name, fn] : kCommands) {
      if (command == name) run = fn;
    }
    if (!run) throw UsageError("unknown command " + command);
    int rc = run(c);
    if (rc == kExitOk && prompt.Failed()) rc = kExitRefused;
    return rc;
  } catch (const UsageError& e) {
    std::cerr << "vendrix-cli: " << e.what() << "\n\n" << kUsage;
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << Cp1252ToUtf8(e.what()) << '\n';
    return kExitRefused;
  }
}
