// vendrix-cli precheck: what a submission run would find wrong, before it sends
// anything. Exit 0 when there is no error (warnings allowed), 3 when there are errors.
#include <sys/stat.h>

#include <iostream>

#include "app/manifest_export.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "cli.h"
#include "profiles/program_file.h"
#include "run/precheck.h"
#include "run/precheck_online.h"
#include "run/run_gate.h"
#include "run/run_results.h"
#include "script/dry_run.h"

namespace vendrix::cli {
namespace {

constexpr int kExitFindings = 3;

const char* SeverityName(FindingSeverity s) {
  return s == FindingSeverity::Error ? "error" : "warning";
}

}  // namespace

int PreCheckCommand(Context& c) {
  auto app = c.args.Option("--app");
  if (!app) throw UsageError("precheck needs --app A");
  std::vector<std::string> only;
  while (auto site = c.args.Option("--only")) only.push_back(*site);
  const bool offline = c.args.Flag("--offline");
  const bool json = c.args.Flag("--json");
  auto caFile = c.args.Option("--cafile");
  if (!c.args.Empty()) throw UsageError("unexpected words after precheck");
  SelectAppContext(c, app);

  Session& s = c.session;
  const auto& rows = s.Table().Rows();
  PreCheckTarget target;
  target.rows = &rows;
  if (only.empty()) {
    const AppProfile& profile = s.App().Profile();
    target.indexes = RowsToPost(rows, profile.platform, profile.status);
  } else {
    for (const auto& name : only) {
      bool found = false;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].site == name) {
          target.indexes.push_back(i);
          found = true;
        }
      }
      if (!found) throw VendrixError("No row for the site " + name);
    }
  }
  target.smtpServer = s.Settings().smtp;
  target.senderEmail = s.Settings().email;
  target.rootDir = s.Wide().ProgramDir;

  PreCheck check(s.Wide().EngBuild(), s.Builder());
  std::vector<Finding> findings = check.Run(target);
  {
    // Steps that may have reached their sites already: a run does not send them again
    // unless asked.
    std::string problem;
    const AppProfile& profile = s.App().Profile();
    const PostHistory history = PostHistory::Load(s.Wide().HistoryFile(profile.name), &problem);
    if (!problem.empty()) {
      findings.push_back({FindingSeverity::Error, kWhereApplication, "history",
                          "The history cannot be read (" + problem + "); a run sends nothing."});
    } else if (!profile.version.empty()) {
      auto uncertain = UncertainFindings(
          history, rows, target.indexes, profile.version,
          [&s](const std::string& name) -> const SiteDefinition* {
            return s.Builder().OpenSite(name) ? &s.Builder().Definition() : nullptr;
          });
      findings.insert(findings.end(), uncertain.begin(), uncertain.end());
    }
  }
  // The package managers' rules, for a profile that is meant for them too.
  {
    auto packages =
        PackagePreCheckFindings(s.Company().Profile(), s.App().Profile(), s.Wide().ProgramDir);
    findings.insert(findings.end(), packages.begin(), packages.end());
  }
  if (!offline) {
    const AppProfile& profile = s.App().Profile();
    long long size = -1;
    struct stat st {};
    const std::string program = ProgramFilePath(profile, s.Wide().ProgramDir);
    if (!program.empty() && ::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      size = st.st_size;
    }
    std::vector<ServerProbe> servers = check.FtpServers();
    if (!target.smtpServer.empty()) {
      if (auto smtp = SplitServer(target.smtpServer, 25)) {
        smtp->where = kWhereSettings;
        smtp->field = "SMTP";
        servers.push_back(*smtp);
      }
    }
    OnlineOptions options;
    if (caFile) options.caFile = Cp1252ToUtf8(*caFile);
    auto online = CheckOnline(ProfileUrls(profile, s.Company().Profile(), size), servers, options);
    findings.insert(findings.end(), online.begin(), online.end());
  }

  const std::size_t errors = CountErrors(findings);
  if (json) {
    // One JSON array, a finding per line.
    std::cout << "[";
    for (std::size_t i = 0; i < findings.size(); ++i) {
      std::cout << (i ? ",\n " : "\n ") << FindingJson(findings[i], false);
    }
    std::cout << "\n]\n";
  } else {
    for (const auto& f : findings) {
      Out(std::string(SeverityName(f.severity)) + "\t" + f.where + "\t" + f.field + "\t" + f.text);
    }
    std::cerr << errors << (errors == 1 ? " error, " : " errors, ") << findings.size() - errors
              << (findings.size() - errors == 1 ? " warning" : " warnings") << '\n';
  }
  return errors > 0 ? kExitFindings : kExitOk;
}

}  // namespace vendrix::cli
