#pragma once
// TReportsFrm: the HTML reports of a submission run. One page per site and method
// ("<site> _HTTP.htm"), a log page with the whole run log and a main report with the
// run's figures and links to every page, all in one folder per run under the
// application's report folder. Pages are Windows-1252 text with CR LF lines, say so
// in a meta element, and are each written atomically. Every text that comes from outside (log
// lines, names, server answers) is HTML-escaped; a site's answer is shown inside a sandboxed frame.
// Not thread-safe: the run's thread owns it, except SiteHead and ReportLine, which
// sites posted at once call from their own threads once the run's report is started.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/line_list.h"

namespace vendrix {

// The separator between a label and its URL in FinalSubsList.
inline constexpr char kSubsSeparator = '\xB1';
inline constexpr const char* kMainReportName = "MainReport.htm";
inline constexpr const char* kLogReportName = "LogReport.htm";
// The line that closes every page.
inline constexpr const char* kReportFooter =
    "Report produced by Vendrix, submission software from Halvane.";

class TReportsFrm {
 public:
  // reportsDir and imagesDir: UTF-8 folders of the data tree, ending with "/".
  TReportsFrm(std::string reportsDir, std::string imagesDir, const Clock& clock);

  // Called with a message when a folder or page could not be written; the run logs
  // it and goes on.
  std::function<void(const std::string&)> OnWriteError;

  // Prepares a run of the application: counters, URLs and the two report folders.
  // Two runs started in the same millisecond still get two folders. False (after
  // OnWriteError) when the run's folder could not be made.
  bool StartRunReport(const std::string& appName);
  void BeginSiteSection(const std::string& method);
  void AddReportLine(const std::string& text);
  // Finishes the page: for "HTTP" the site's answer (answer: the received body blocks)
  // goes into a sandboxed frame; then saves and lists the page. Returns the page's file
  // name in the run's folder (UTF-8).
  std::string EndSiteSection(const std::string& method, const std::string& siteName,
                             const Lines& answer = {});
  // A site's page built apart (by a site posted beside others): its head, its lines
  // (each made by ReportLine) and, when saved, the same ending and listing as
  // EndSiteSection. Pages are listed on the main report by order (the site's row), so
  // that sites ending in any order are listed in the table's.
  Lines SiteHead(const std::string& method, const std::string& siteName) const;
  std::string ReportLine(const std::string& text) const;
  // The same paragraph with a time taken earlier (TimeNow when the line was made).
  std::string ReportLineAt(const std::string& time, const std::string& text) const;
  // The time of day as a report line shows it (any thread).
  std::string TimeNow() const;
  std::string SaveSitePage(const std::string& method, const std::string& siteName, Lines page,
                           const Lines& answer, int order);
  // The log page: one paragraph per run-log line, each with its own time (times[i],
  // made by TimeNow when the line was logged; the time of writing where none is given).
  void WriteLogReport(const Lines& log, const Lines& times = {});
  // The log page, then the main report. False when a page could not be written (after
  // OnWriteError).
  bool WriteMainReport(const Lines& log, const Lines& times = {});

  std::string LogoUrl, BackgroundUrl;
  std::string AppReportDir, RunReportDir;  // UTF-8, without a final "/"
  std::string MainReportPath, MainReportUrl, LogReportPath, LogReportUrl;
  std::string CurrentSite;
  std::string FooterLine = kReportFooter;
  std::string RunDate, TimeStarted, TimeCompleted;
  int SuccessCount = 0, FailureCount = 0;
  int NotSentCount = 0;  // marked sites the run did not send (delivered or awaiting a check)
  Lines XferMemo;
  Lines FinalSubsList;  // "<site> <METHOD>" + kSubsSeparator + relative URL

  const std::string& AppName() const { return app_; }
  const std::string& Stamp() const { return stamp_; }

 private:
  Lines PageHead(const std::string& title, const std::string& heading) const;
  static void AddFooter(Lines& page, const std::string& footer);
  void Save(const std::string& path, const Lines& lines);
  std::string DateNow() const;

  std::string reportsDir_, imagesDir_;
  const Clock& clock_;
  std::string app_, stamp_;
  std::set<std::string> pages_;  // the page files of this run
  std::vector<int> subsOrder_;   // the order of each FinalSubsList entry
  bool writeFailed_ = false;     // a page of this run could not be written
};

}  // namespace vendrix
