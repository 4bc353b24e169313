#pragma once
// The reports of earlier runs on disk (ReportsDir/<application>/<run stamp>/), the
// "Submission Reports" window's logic (TReportsListFrm: applications, then runs; GO,
// UP, Delete, Cancel) and the print-log rule. Questions and messages go through
// UserPrompt; opening a page goes through the open callback. One thread at a time.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/line_list.h"

namespace vendrix {

class UserPrompt;

// Sub-folder names of a folder (UTF-8), without "." and ".."; empty when it cannot
// be read.
std::vector<std::string> SubFolders(const std::string& dir);
// The application folders, sorted without regard to case.
std::vector<std::string> ReportApps(const std::string& reportsDir);
// The run folders of an application, oldest first (by the time in their stamps).
std::vector<std::string> ReportRuns(const std::string& reportsDir, const std::string& app);
// Whether the application has a report folder (or anything in its place).
bool ReportAppExists(const std::string& reportsDir, const std::string& app);
// Deletes the files of a run folder and the folder; false when something stayed.
// Never follows a link: a folder that is a link (the application's or the run's) is
// refused with VendrixError before anything is deleted; a link inside is removed as
// a link.
bool DeleteRunReport(const std::string& reportsDir, const std::string& app, const std::string& run);
// Deletes every run of the application, then its folder; false when something stayed.
bool DeleteAppReports(const std::string& reportsDir, const std::string& app);

// The figures of a main report, read back from its value cells: date, time started,
// time completed, application, successes, failures (in the page's order).
std::vector<std::string> MainReportFigures(const std::string& mainReportPath);

class TReportsListFrm {
 public:
  // open: shows a page (a file URL) in the desktop's browser.
  TReportsListFrm(std::string reportsDir, UserPrompt& prompt,
                  std::function<void(const std::string&)> open);

  // Loads the application level; false (after "No Reports Found") when there are no
  // application folders and the window is not shown.
  bool Open();
  const std::vector<std::string>& Items() const { return items_; }
  int Selected() const { return selected_; }
  void Select(int index);
  bool AtRunLevel() const { return runLevel_; }
  bool UpEnabled() const { return runLevel_; }
  bool Visible() const { return visible_; }

  void Go();  // also a double-click on an entry
  void Up();
  void Delete();
  void Cancel() { visible_ = false; }

 private:
  void LoadApps();
  std::string reportsDir_;
  UserPrompt& prompt_;
  std::function<void(const std::string&)> open_;
  std::vector<std::string> items_;
  int selected_ = -1;
  bool runLevel_ = false;
  bool visible_ = false;
  std::string app_;
};

// The lines that "Print Log" prints, or nullopt after "You do not have a log to print."
// when the log is empty.
std::optional<Lines> PrintLogLines(const Lines& log, UserPrompt& prompt);
inline constexpr const char* kNoLogToPrint = "You do not have a log to print.";

}  // namespace vendrix
