// vendrix-cli reports: the reports of earlier runs.
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "cli.h"
#include "run/report_text.h"
#include "run/reports_list.h"
#include "run/run_report.h"
#include "run/run_results.h"

namespace vendrix::cli {
namespace {

constexpr const char* kFigureLabels[] = {
    "Date:", "Time Started:", "Time Completed:", "Application:", "Successful:", "Failed:"};

std::string RunOrLatest(const std::string& reports, const std::string& folder,
                        const std::optional<std::string>& run) {
  auto runs = ReportRuns(reports, folder);
  if (run) {
    for (const auto& r : runs) {
      if (r == *run) return r;
    }
    throw VendrixError("No run " + *run + " in the reports of this application");
  }
  if (runs.empty()) throw VendrixError("No Reports Found");
  return runs.back();
}

// The run's "run.json" as it was written; one that is missing or does not parse is an
// error, never a partial answer.
int ShowRunJson(const std::string& dir, const std::string& stamp, const std::string& app) {
  const std::string path = dir + "/" + kRunJsonName;
  auto text = ReadWholeFile(path);
  if (!text)
    throw VendrixError("The run " + stamp + " of " + app + " has no " + kRunJsonName + ".");
  // (The parser takes a NUL for the end of its input: what follows one would pass unread.)
  if (text->find('\0') != std::string::npos || !nlohmann::json::accept(*text)) {
    throw VendrixError("The " + std::string(kRunJsonName) + " of the run " + stamp + " of " + app +
                       " is not whole JSON.");
  }
  std::cout << *text;
  if (!text->empty() && text->back() != '\n') std::cout << '\n';
  return kExitOk;
}

}  // namespace

int ReportsCommand(Context& c) {
  const std::string what = c.args.Next("list, show or delete");
  auto app = c.args.Option("--app");
  auto run = c.args.Option("--run");
  const bool json = c.args.Flag("--json");
  if (!c.args.Empty()) throw UsageError("unexpected words after reports " + what);
  const std::string reports = c.session.Wide().ReportsDir;
  const std::string folder = app ? SafeFileNamePart(*app) : "";
  if (json && what != "show") throw UsageError("--json goes with reports show");
  if (what == "list") {
    std::vector<std::string> apps = app ? std::vector<std::string>{folder} : ReportApps(reports);
    if (apps.empty()) throw VendrixError("No Reports Found");
    if (app && ReportRuns(reports, folder).empty()) throw VendrixError("No Reports Found");
    for (const auto& a : apps) {
      if (!app) std::cout << a << '\n';
      for (const auto& r : ReportRuns(reports, a)) std::cout << (app ? "" : "  ") << r << '\n';
    }
    return kExitOk;
  }
  if (!app) throw UsageError("reports " + what + " needs --app A");
  if (what == "show") {
    const std::string stamp = RunOrLatest(reports, folder, run);
    if (json) return ShowRunJson(reports + folder + "/" + stamp, stamp, *app);
    const std::string page = reports + folder + "/" + stamp + "/" + kMainReportName;
    if (!FileExists(page)) {
      throw VendrixError("The run " + stamp + " of " + *app + " has no main report.");
    }
    std::cout << std::filesystem::absolute(page).lexically_normal().string() << '\n';
    auto figures = MainReportFigures(page);
    for (std::size_t i = 0; i < figures.size() && i < std::size(kFigureLabels); ++i) {
      std::cout << kFigureLabels[i] << ' ' << Cp1252ToUtf8(figures[i]) << '\n';
    }
    return kExitOk;
  }
  if (what == "delete") {
    if (run) {
      const std::string stamp = RunOrLatest(reports, folder, run);
      if (!DeleteRunReport(reports, folder, stamp)) {
        throw VendrixError("Could not delete every file of the run " + stamp);
      }
    } else {
      if (!ReportAppExists(reports, folder)) throw VendrixError("No Reports Found");
      if (!DeleteAppReports(reports, folder)) {
        throw VendrixError("Could not delete every report of " + *app);
      }
    }
    return kExitOk;
  }
  throw UsageError("reports list, show or delete");
}

}  // namespace vendrix::cli
