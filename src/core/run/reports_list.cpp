#include "run/reports_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/text_order.h"
#include "base/user_prompt.h"
#include "run/report_text.h"
#include "run/run_report.h"

namespace vendrix {
namespace fs = std::filesystem;
namespace {

constexpr const char* kNoReports = "No Reports Found";

std::string Join(const std::string& dir, const std::string& name) {
  return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The numbers of a stamp, for ordering runs by time.
std::vector<long> StampKey(const std::string& stamp) {
  std::vector<long> key;
  const char* p = stamp.c_str();
  while (*p) {
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p) break;
    key.push_back(v);
    p = *end == '-' ? end + 1 : end;
    if (*end != '-') break;
  }
  return key;
}

// Whether path is a folder itself, not a link to one.
bool IsRealFolder(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::directory;
}

// Refuses a folder that is a link: deleting through it would delete the files of
// wherever it leads.
void RequireRealFolder(const std::string& path) {
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() == fs::file_type::symlink) {
    throw VendrixError("The report folder " + Utf8ToCp1252(path) +
                       " is a symbolic link; nothing was deleted.");
  }
}

// Removes the plain files of a folder (a link among them is removed as a link), then
// the folder; what cannot go stays.
bool RemoveFolder(const std::string& dir) {
  RequireRealFolder(dir);
  if (!IsRealFolder(dir)) return false;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fe;
    if (it->symlink_status(fe).type() != fs::file_type::directory) fs::remove(it->path(), fe);
  }
  return fs::remove(dir, ec) && !ec;
}

}  // namespace

std::vector<std::string> SubFolders(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fe;
    if (it->is_directory(fe) && !it->is_symlink(fe)) {
      names.push_back(it->path().filename().string());
    }
  }
  return names;
}

std::vector<std::string> ReportApps(const std::string& reportsDir) {
  auto apps = SubFolders(reportsDir);
  SortNoCase(apps);
  return apps;
}

std::vector<std::string> ReportRuns(const std::string& reportsDir, const std::string& app) {
  auto runs = SubFolders(Join(reportsDir, app));
  std::sort(runs.begin(), runs.end(), [](const std::string& a, const std::string& b) {
    auto ka = StampKey(a), kb = StampKey(b);
    return ka != kb ? ka < kb : a < b;
  });
  return runs;
}

bool ReportAppExists(const std::string& reportsDir, const std::string& app) {
  std::error_code ec;
  return !app.empty() &&
         fs::symlink_status(Join(reportsDir, app), ec).type() != fs::file_type::not_found;
}

bool DeleteRunReport(const std::string& reportsDir, const std::string& app,
                     const std::string& run) {
  RequireRealFolder(Join(reportsDir, app));
  return RemoveFolder(Join(Join(reportsDir, app), run));
}

bool DeleteAppReports(const std::string& reportsDir, const std::string& app) {
  const std::string appDir = Join(reportsDir, app);
  RequireRealFolder(appDir);
  for (const auto& run : SubFolders(appDir)) RemoveFolder(Join(appDir, run));
  return RemoveFolder(appDir);
}

std::vector<std::string> MainReportFigures(const std::string& path) {
  std::vector<std::string> figures;
  auto data = ReadWholeFile(path);
  if (!data) return figures;
  const std::string open = "<td width=\"243\"><small><font face=\"Arial\">";
  const std::string close = "</font></small></td>";
  for (const auto& line : SplitLines(*data)) {
    auto a = line.find(open);
    if (a == std::string::npos) continue;
    a += open.size();
    auto b = line.find(close, a);
    if (b == std::string::npos) continue;
    std::string v = line.substr(a, b - a);
    // Undo the escaping of the names and times shown.
    for (auto [ref, ch] : {std::pair{"&lt;", "<"},
                           {"&gt;", ">"},
                           {"&quot;", "\""},
                           {"&#39;", "'"},
                           {"&amp;", "&"}}) {
      std::string r = ref;
      for (auto p = v.find(r); p != std::string::npos; p = v.find(r, p + 1))
        v.replace(p, r.size(), ch);
    }
    figures.push_back(v);
  }
  return figures;
}

TReportsListFrm::TReportsListFrm(std::string reportsDir, UserPrompt& prompt,
                                 std::function<void(const std::string&)> open)
    : reportsDir_(std::move(reportsDir)), prompt_(prompt), open_(std::move(open)) {}

void TReportsListFrm::LoadApps() {
  runLevel_ = false;
  items_ = ReportApps(reportsDir_);
  selected_ = items_.empty() ? -1 : 0;
}

bool TReportsListFrm::Open() {
  LoadApps();
  if (items_.empty()) {
    prompt_.Inform(kNoReports);
    visible_ = false;
    return false;
  }
  visible_ = true;
  return true;
}

void TReportsListFrm::Select(int index) {
  if (index >= 0 && index < static_cast<int>(items_.size())) selected_ = index;
}

void TReportsListFrm::Go() {
  if (selected_ < 0 || selected_ >= static_cast<int>(items_.size())) return;
  if (!runLevel_) {
    app_ = items_[selected_];
    auto runs = ReportRuns(reportsDir_, app_);
    if (runs.empty()) {
      prompt_.Inform(kNoReports);
      LoadApps();
      return;
    }
    items_ = std::move(runs);
    selected_ = 0;
    runLevel_ = true;
    return;
  }
  const std::string page = Join(Join(Join(reportsDir_, app_), items_[selected_]), kMainReportName);
  if (open_) open_(FileUrl(page));
  visible_ = false;
}

void TReportsListFrm::Up() {
  LoadApps();
}

void TReportsListFrm::Delete() {
  if (selected_ < 0 || selected_ >= static_cast<int>(items_.size())) return;
  if (runLevel_) {
    if (prompt_.Confirm("Delete the selected report?", false) != Answer::Yes) return;
    try {
      DeleteRunReport(reportsDir_, app_, items_[selected_]);
    } catch (const VendrixError& e) {
      prompt_.Error(e.what());
    }
    items_ = ReportRuns(reportsDir_, app_);
    selected_ = 0;
    if (items_.empty()) LoadApps();
    return;
  }
  if (prompt_.Confirm("Delete all reports for selected site?", false) != Answer::Yes) return;
  try {
    DeleteAppReports(reportsDir_, items_[selected_]);
  } catch (const VendrixError& e) {
    prompt_.Error(e.what());
  }
  LoadApps();
  if (items_.empty()) visible_ = false;
}

std::optional<Lines> PrintLogLines(const Lines& log, UserPrompt& prompt) {
  if (log.empty()) {
    prompt.Inform(kNoLogToPrint);
    return std::nullopt;
  }
  return log;
}

}  // namespace vendrix
