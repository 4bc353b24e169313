#pragma once
// Pieces of the submission run tests: the demo download sites started on free
// loopback ports, a view that records what the run shows, and the report pages read
// back through Python's html.parser.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "run/run_view.h"

namespace vendrix::test {

// The demo-site server (HTTP form handlers, FTP, SMTP sink) writing what it receives
// under received.
class DemoSites {
 public:
  explicit DemoSites(const std::string& received) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::string script = std::string(VENDRIX_SHARE_DIR) + "/demo-sites/server.py";
      ::execl("/usr/bin/python3", "python3", script.c_str(), "--received", received.c_str(),
              "--http-port", "0", "--ftp-port", "0", "--smtp-port", "0", (char*)nullptr);
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
    char line[128] = "";
    if (!std::fgets(line, sizeof line, out_) ||
        std::sscanf(line, "PORTS %d %d %d", &http, &ftp, &smtp) != 3) {
      Stop();
      throw std::runtime_error("the demo sites did not start");
    }
  }
  ~DemoSites() {
    Stop();
    if (out_) std::fclose(out_);
  }
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(http) + path;
  }
  int http = 0, ftp = 0, smtp = 0;

 private:
  pid_t pid_ = -1;
  std::FILE* out_ = nullptr;
};

// Records the run's screen; hooks let a test act when a status text shows.
class RecordingView : public RunView {
 public:
  std::vector<std::string> log, ftp, events, sitesShown;
  PostCounts verified;
  bool verify = true;
  int shownRow = -1;
  std::vector<std::string> opened;
  std::vector<std::pair<RunStep, LampState>> lamps;
  std::function<void(RunStep, const std::string&)> onStatus;
  std::function<void(const std::string&)> onSite;
  // The sites in flight as the run showed them (the run's thread).
  std::function<void(const std::vector<SiteInFlight>&)> onFlight;
  std::size_t mostInFlight = 0;

  void CurrentSite(const std::string& name) override {
    if (!name.empty()) sitesShown.push_back(name);
    if (onSite) onSite(name);
  }
  void Status(RunStep step, const std::string& text) override {
    if (text != "Idle") events.push_back(text);
    if (onStatus) onStatus(step, text);
  }
  void LogLine(const std::string& line) override {
    std::lock_guard lock(mutex_);
    log.push_back(line);
  }
  void LogCleared() override { log.clear(); }
  void FtpLine(const std::string& line) override { ftp.push_back(line); }
  void Lamp(RunStep step, LampState state) override { lamps.emplace_back(step, state); }
  void ShowSitesPage(int row) override { shownRow = row; }
  void SitesInFlight(const std::vector<SiteInFlight>& sites) override {
    mostInFlight = std::max(mostInFlight, sites.size());
    if (onFlight) onFlight(sites);
  }
  bool VerifySubmission(const PostCounts& counts) override {
    verified = counts;
    return verify;
  }
  void OpenPage(const std::string& url) override { opened.push_back(url); }

  bool Logged(const std::string& line) const {
    for (const auto& l : log) {
      if (l == line) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
};

// What a report page says, read with Python's html.parser: the title, the visible
// paragraphs, the links with their labels, the frames, the script elements and the
// table cells.
struct ParsedPage {
  std::string title;
  std::vector<std::string> paragraphs;
  std::vector<std::pair<std::string, std::string>> links;   // label, href
  std::vector<std::pair<std::string, std::string>> frames;  // sandbox, srcdoc
  std::vector<std::string> cells;
  int scripts = 0;
  bool Mentions(const std::string& text) const {
    for (const auto& p : paragraphs) {
      if (p.find(text) != std::string::npos) return true;
    }
    return false;
  }
};

// The path of a file URL, percent-decoded.
inline std::string UrlPath(const std::string& url, const std::string& pageDir = "") {
  const bool file = url.rfind("file://", 0) == 0;
  std::string path = file ? "" : pageDir + "/";
  for (std::size_t i = file ? 7 : 0; i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size()) {
      path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += url[i];
    }
  }
  return path;
}

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char n = line[++i];
      fields.back() += n == 't' ? '\t' : n == 'r' ? '\r' : n == 'n' ? '\n' : n;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

inline ParsedPage ParsePage(const std::string& path) {
  std::string cmd =
      "/usr/bin/python3 '" + std::string(VENDRIX_TESTS_DIR) + "/run_parse_page.py' '" + path + "'";
  std::FILE* f = ::popen(cmd.c_str(), "r");
  if (!f) throw std::runtime_error("popen");
  std::string all;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
  if (::pclose(f) != 0) throw std::runtime_error("could not parse " + path);
  ParsedPage page;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    auto fields = SplitTabs(all.substr(start, end - start));
    start = end + 1;
    fields.resize(std::max<std::size_t>(fields.size(), 3));
    const std::string kind = fields[0];
    if (kind == "title") page.title = fields[1];
    if (kind == "p") page.paragraphs.push_back(fields[1]);
    if (kind == "link") page.links.emplace_back(fields[1], fields[2]);
    if (kind == "frame") page.frames.emplace_back(fields[1], fields[2]);
    if (kind == "cell") page.cells.push_back(fields[1]);
    if (kind == "script") ++page.scripts;
  }
  return page;
}

}  // namespace vendrix::test
