#pragma once
// What a run did at each site, kept as it happens: each step's result and the site's
// outcome. The run hands each finished site to its view (the command line prints it as
// JSON) and writes them all, with the run's figures, to "run.json" in the run's report
// folder, so that a pipeline reads the run without parsing HTML.
//
// Failures: WriteRunJson throws VendrixError when the file cannot be written. Plain
// data otherwise; one thread (the run's) fills it.
#include <string>
#include <vector>

namespace vendrix {

// The file name of the run's results in its report folder.
inline constexpr const char* kRunJsonName = "run.json";

struct StepResult {
  std::string step;  // "ftp", "http", "email"
  // "ok", "failed", "skipped", "uncertain", "not-sent" (delivered by an earlier run)
  std::string status;
  std::string detail;  // the last thing the step logged when it failed (Windows-1252)
  std::string page;    // the step's report page in the run's folder (UTF-8)
};

// A file the run sent to a site: uploaded by FTP or attached to its e-mail.
struct SentFile {
  std::string step;  // "ftp" or "email"
  std::string name;  // as the site got it (Windows-1252)
  long long bytes = 0;
  std::string sha256;
  bool confirmed = false;  // the server said it holds that many bytes (FTP SIZE)
};

struct SiteResult {
  std::string site;
  std::string kind;  // "New" or "Update": what the row asked for
  // "succeeded", "failed", "skipped", "uncertain" (a step may have reached the site:
  // check it), "not-sent" (every step was delivered before)
  std::string outcome;
  std::string reason;  // for all but "succeeded"
  std::vector<StepResult> steps;
  std::vector<SentFile> files;
};

struct RunSummary {
  std::string application, version;
  int succeeded = 0, failed = 0, skipped = 0, uncertain = 0, notSent = 0;
  bool cancelled = false;
  std::string report;  // the main report's path (UTF-8)
  std::string started, ended;
};

struct Finding;

// The JSON object of one finding of the check before a run (one line, UTF-8); with
// asEvent it carries "event": "finding" for a stream of events.
std::string FindingJson(const Finding& finding, bool asEvent);
// The JSON text of one site, and of the summary (one line each, UTF-8).
std::string SiteResultJson(const SiteResult& site);
std::string RunSummaryJson(const RunSummary& summary);
// "run.json": the summary with every site's result.
void WriteRunJson(const std::string& path, const RunSummary& summary,
                  const std::vector<SiteResult>& sites);

}  // namespace vendrix
