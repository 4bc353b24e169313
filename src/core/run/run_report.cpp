#include "run/run_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "base/file_io.h"
#include "run/report_text.h"

namespace vendrix {
namespace {

// Replaces a page atomically. A page can be written again from the run, so it is not
// flushed to disk first, which keeps a run of many sites from waiting on the disk.
void ReplacePage(const std::string& path, const std::string& data) {
  WriteFileAtomic(path, data, {.flush = false, .mode = 0644});
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

int CurrentMillisecond() {
  using namespace std::chrono;
  return static_cast<int>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 1000);
}

// Every page says how its bytes are to be read.
constexpr const char* kCharsetLine = "<meta charset=\"windows-1252\">";

// A pair of cells of the site pages' heading table.
void AddDetailRow(Lines& page, const char* label, const std::string& value) {
  page.push_back(std::string("    <td width=\"287\" align=\"right\"><font face=\"Arial\" "
                             "color=\"#000080\"><small>") +
                 label + "</small></font></td>");
  page.push_back("    <td width=\"290\"><small><font face=\"Arial\">" + value +
                 "</font></small></td>");
  page.push_back("  </tr>");
  page.push_back("  <tr>");
}

}  // namespace

TReportsFrm::TReportsFrm(std::string reportsDir, std::string imagesDir, const Clock& clock)
    : reportsDir_(std::move(reportsDir)), imagesDir_(std::move(imagesDir)), clock_(clock) {
  if (!reportsDir_.empty() && reportsDir_.back() != '/') reportsDir_ += '/';
  if (!imagesDir_.empty() && imagesDir_.back() != '/') imagesDir_ += '/';
}

std::string TReportsFrm::TimeNow() const {
  return LongTime(clock_.Now());
}
std::string TReportsFrm::DateNow() const {
  return ShortDate(clock_.Now());
}

bool TReportsFrm::StartRunReport(const std::string& appName) {
  app_ = appName;
  const std::tm now = clock_.Now();
  RunDate = ShortDate(now);
  TimeStarted = TimeCompleted = LongTime(now);
  SuccessCount = FailureCount = 0;
  AppReportDir = reportsDir_ + SafeFileNamePart(appName);
  if (!DirExists(AppReportDir) && !MakeDir(AppReportDir) && OnWriteError) {
    OnWriteError(UnableToWrite(AppReportDir));
  }
  // The stamp names the folder; a run that starts in the same millisecond as an
  // earlier one takes the next free millisecond.
  int ms = CurrentMillisecond();
  for (int tries = 0; tries < 1000; ++tries, ms = (ms + 1) % 1000) {
    stamp_ = RunStamp(now, ms);
    RunReportDir = AppReportDir + "/" + stamp_;
    if (!DirExists(RunReportDir)) break;
  }
  const bool made = MakeDir(RunReportDir) && DirExists(RunReportDir);
  if (!made && OnWriteError) OnWriteError(UnableToWrite(RunReportDir));
  // A picture that is not there is left out, not shown as a broken image. Pages link
  // to each other and to the pictures by relative links.
  auto picture = [this](const char* name) {
    const std::string path = imagesDir_ + name;
    return FileExists(path) ? Quoted(RelativeUrl(RunReportDir, path)) : std::string();
  };
  LogoUrl = picture("vxsr.jpg");
  BackgroundUrl = picture("back.jpg");
  MainReportPath = RunReportDir + "/" + kMainReportName;
  MainReportUrl = FileUrl(MainReportPath);
  LogReportPath = RunReportDir + "/" + kLogReportName;
  LogReportUrl = RelativeUrl(RunReportDir, LogReportPath);
  FooterLine = kReportFooter;
  FinalSubsList.clear();
  subsOrder_.clear();
  XferMemo.clear();
  pages_.clear();
  return made;
}

Lines TReportsFrm::PageHead(const std::string& title, const std::string& heading) const {
  Lines p;
  p.insert(p.end(),
           {"<html>", "<head>", kCharsetLine, "<title>" + title + " </title>", "</head>",
            "<body leftmargin=\"0\" bgcolor=\"#FFFFFF\">",
            LogoUrl.empty()
                ? "<p></p>"
                : "<p><img src=" + LogoUrl + " alt=\".jpg\" WIDTH=\"180\" HEIGHT=\"60\"></p>",
            "<table border=\"0\" cellpadding=\"2\" width=\"581\" cellspacing=\"0\">", "  <tr>"});
  p.push_back(
      "    <td width=\"577\" bgcolor=\"#000080\" colspan=\"2\"><p align=\"right\"><font "
      "face=\"Arial\" color=\"#FFFFFF\"><strong>" +
      heading + " Log:</strong></font></td>");
  p.push_back("  </tr>");
  p.push_back("  <tr>");
  AddDetailRow(p, "Date:", DateNow());
  AddDetailRow(p, "Time:", TimeNow());
  AddDetailRow(p, "Application:", HtmlEscape(app_));
  p.push_back(
      "    <td width=\"577\" colspan=\"2\" bgcolor=\"#000080\"><p align=\"right\"><a href=\"" +
      HtmlEscape(RelativeUrl(RunReportDir, MainReportPath)) +
      "\"><font face=\"Arial\" color=\"#FFFFFF\"><strong>&lt;&lt;");
  p.push_back("Back to Main</strong></font></a></td>");
  p.push_back("  </tr>");
  p.push_back("</table>");
  return p;
}

Lines TReportsFrm::SiteHead(const std::string& method, const std::string& siteName) const {
  return PageHead(HtmlEscape(method), HtmlEscape(siteName + method));
}

std::string TReportsFrm::ReportLine(const std::string& text) const {
  return ReportLineAt(TimeNow(), text);
}

std::string TReportsFrm::ReportLineAt(const std::string& time, const std::string& text) const {
  return "<p><small><font face=\"Arial\">[" + HtmlEscape(time) + "] - " + HtmlEscape(text) +
         "</font></small></p>";
}

void TReportsFrm::BeginSiteSection(const std::string& method) {
  XferMemo = SiteHead(method, CurrentSite);
}

void TReportsFrm::AddReportLine(const std::string& text) {
  XferMemo.push_back(ReportLine(text));
}

void TReportsFrm::AddFooter(Lines& page, const std::string& footer) {
  page.push_back(" ");
  page.push_back("<p><small><font face=\"Arial\" color=\"#400080\">" + HtmlEscape(footer) +
                 "</font></small></p>");
  page.push_back("</body>");
  page.push_back("</html>");
}

std::string TReportsFrm::EndSiteSection(const std::string& method, const std::string& siteName,
                                        const Lines& answer) {
  // Sections of one run follow one another: each is listed after the last.
  const int order = subsOrder_.empty() ? 0 : subsOrder_.back();
  return SaveSitePage(method, siteName, std::move(XferMemo), answer, order);
}

std::string TReportsFrm::SaveSitePage(const std::string& method, const std::string& siteName,
                                      Lines page, const Lines& answer, int order) {
  XferMemo = std::move(page);
  if (method == "HTTP" && !answer.empty()) {
    // The site's answer page, shown as the site sent it but without the rights of a
    // local file: its scripts and forms do not run.
    std::string doc;
    for (const auto& block : answer) doc += block;
    XferMemo.push_back("<iframe sandbox srcdoc=\"" + HtmlEscape(doc) +
                       "\" width=\"581\" height=\"400\"></iframe>");
  }
  AddFooter(XferMemo, FooterLine);
  // Two sites whose names make the same file name ("A\B" and "A_B") get two pages.
  const std::string base = RunReportDir + "/" + SafeFileNamePart(siteName + " _" + method);
  std::string path = base + ".htm";
  for (int n = 2; pages_.count(path) != 0; ++n) path = base + " " + std::to_string(n) + ".htm";
  pages_.insert(path);
  Save(path, XferMemo);
  std::string upper = method;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  // Listed in order: after every entry of a lower or equal order.
  auto at = std::upper_bound(subsOrder_.begin(), subsOrder_.end(), order);
  const auto index = at - subsOrder_.begin();
  subsOrder_.insert(at, order);
  FinalSubsList.insert(FinalSubsList.begin() + index,
                       siteName + " " + upper + kSubsSeparator + RelativeUrl(RunReportDir, path));
  return path.substr(path.rfind('/') + 1);
}

void TReportsFrm::Save(const std::string& path, const Lines& lines) {
  try {
    ReplacePage(path, JoinLines(lines));
  } catch (const VendrixError& e) {
    writeFailed_ = true;
    if (OnWriteError) OnWriteError(e.what());
  }
}

void TReportsFrm::WriteLogReport(const Lines& log, const Lines& times) {
  const std::string app = HtmlEscape(app_);
  XferMemo = PageHead(app + " Log File", app);
  const std::string now = TimeNow();
  for (std::size_t i = 0; i < log.size(); ++i) {
    XferMemo.push_back(ReportLineAt(i < times.size() ? times[i] : now, log[i]));
  }
  AddFooter(XferMemo, FooterLine);
  Save(LogReportPath, XferMemo);
}

bool TReportsFrm::WriteMainReport(const Lines& log, const Lines& times) {
  TimeCompleted = TimeNow();
  writeFailed_ = false;
  WriteLogReport(log, times);
  const std::string spacer = "    <td width=\"154\"></td>";
  Lines p = {"<html>",
             "<head>",
             kCharsetLine,
             "<title>Submission Report</title>",
             "</head>",
             BackgroundUrl.empty()
                 ? "<body topmargin=\"0\" leftmargin=\"0\">"
                 : "<body topmargin=\"0\" leftmargin=\"0\" background=" + BackgroundUrl + ">",
             "<blockquote>",
             "  <p><br>",
             LogoUrl.empty()
                 ? "</p>"
                 : "<img src=" + LogoUrl + " alt=\".jpg\" WIDTH=\"180\" HEIGHT=\"60\"></p>",
             "</blockquote>",
             "<table border=\"0\" cellpadding=\"2\" width=\"550\" cellspacing=\"0\">",
             "  <tr>",
             "    <td width=\"546\" bgcolor=\"#000080\" colspan=\"3\"><p align=\"right\"><font "
             "face=\"Arial\" color=\"#FFFFFF\"><strong>Submission Detail</strong></font></td>"};
  const std::string labelOpen =
      "    <td width=\"149\" align=\"right\"><font face=\"Arial\" color=\"#000080\">";
  auto row = [&](const std::string& label, const std::string& value, bool split) {
    p.push_back("  </tr>");
    p.push_back("  <tr>");
    p.push_back(spacer);
    if (split) {
      p.push_back(labelOpen);
      p.push_back("<small>" + label + "</small></font></td>");
    } else {
      p.push_back(labelOpen + "<small>" + label + "</small></font></td>");
    }
    p.push_back("    <td width=\"243\"><small><font face=\"Arial\">" + value +
                "</font></small></td>");
  };
  row("Date:", HtmlEscape(RunDate), false);
  row("Time Started:", HtmlEscape(TimeStarted), false);
  row("Time Completed:", HtmlEscape(TimeCompleted), false);
  row("Application:", HtmlEscape(app_), false);
  row("# of Successful Submissions", std::to_string(SuccessCount), true);
  row("# of Failed Submissions", std::to_string(FailureCount), true);
  row("# of Sites Not Sent", std::to_string(NotSentCount), true);
  auto emptyRow = [&] {
    p.insert(p.end(), {"  </tr>", "  <tr>", spacer, "    <td width=\"149\"></td>",
                       "    <td width=\"243\"></td>"});
  };
  emptyRow();
  p.insert(p.end(),
           {"  </tr>", "  <tr>",
            "    <td width=\"546\" colspan=\"3\" bgcolor=\"#000080\"><p align=\"right\"><font "
            "face=\"Arial\" color=\"#FFFFFF\"><strong>Submission Log</strong></font></td>",
            "  </tr>", "  <tr>", spacer, "    <td width=\"392\" colspan=\"2\"><ul>",
            "      <li><a href=\"" + HtmlEscape(LogReportUrl) +
                "\"><small><font face=\"Arial\" color=\"#0000FF\"><u>View Submission "
                "Log</u></font></small></a></li>",
            "    </ul>", "    </td>"});
  emptyRow();
  p.insert(p.end(), {"  </tr>", "  <tr>",
                     "    <td width=\"546\" colspan=\"3\" bgcolor=\"#000080\"><p "
                     "align=\"right\"><strong><font face=\"Arial\" color=\"#FFFFFF\">Site "
                     "Responses:</font></strong></td>",
                     "  </tr>"});
  for (const auto& entry : FinalSubsList) {
    auto sep = entry.find(kSubsSeparator);
    const std::string label = entry.substr(0, sep);
    const std::string url = sep == std::string::npos ? "" : entry.substr(sep + 1);
    p.insert(p.end(), {"  <tr>", spacer, "    <td width=\"392\" colspan=\"2\"><ul>",
                       "       <li><a href=\"" + HtmlEscape(url) +
                           "\"><font face=\"Arial\" color=\"#0000FF\"><u><small>" +
                           HtmlEscape(label) + "</small></u></font></a></li>",
                       "    </ul>", "    </td>", "  </tr>"});
  }
  p.insert(p.end(),
           {"  <tr>", spacer,
            "    <td width=\"392\" colspan=\"2\"><small><font face=\"Arial\" "
            "color=\"#400080\"><small>*E-Mail Note: ",
            "    that a successful e-mail only means that the e-mail was sent. However there are "
            "many",
            "    circumstances that can cause the mail not to be delivered which are beyond the "
            "control of",
            "    Vendrix.</small></font></small>", " ",
            "<p><small><font face=\"Arial\" color=\"#400080\">" + HtmlEscape(FooterLine) +
                "</font></small></p>",
            "</td>", "  </tr>", "</table>", "</body>", "</html>"});
  Save(MainReportPath, p);
  return !writeFailed_;
}

}  // namespace vendrix
