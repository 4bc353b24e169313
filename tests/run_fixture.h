#pragma once
// The submission run's test fixture: a data tree with one company and application,
// the demo download sites running, and helpers that write sites into the catalogue,
// run the submission and read what it left.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/session_run.h"
#include "run/submission_run.h"
#include "run_support.h"
#include "support/peer_process.h"
#include "support/session_fixture.h"

namespace vendrix::test {

namespace fs = std::filesystem;

// Lines of the run log that start with text.
inline int LinesStarting(const Lines& log, const std::string& text) {
  return static_cast<int>(std::count_if(
      log.begin(), log.end(), [&](const std::string& l) { return l.rfind(text, 0) == 0; }));
}

class RunTest : public SessionTest {
 protected:
  RunTest() : sites(dir / "received") {
    Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\n");
    AddCompany("Acme");
    session->Company().SetField("CEMAIL", "jo@acme.example");
    session->Company().SaveCompany();
    AddApp("Prog");
    WriteFile(Data("dist/prog.exe"), std::string(4096, 'x'));
    for (auto [key, value] : {std::pair{"FILENAME", "prog.exe"},
                              {"8CHAR", "prog"},
                              {"VERSION", "1.5"},
                              {"PLATFORM", "Windows 95"},
                              {"DSTATUS", "Author"},
                              {"STATUS", "Shareware"}}) {
      session->App().SetField(key, value);
    }
    session->App().SetField("PATH", Data("dist/prog.exe"));
    std::string longDesc(30, 'w');
    session->App().SetLongDesc({longDesc + " " + longDesc + " " + longDesc + " " + longDesc});
    session->App().SaveApp();
  }

  void Settings(const std::string& extra) {
    WriteFile(Data("settings.dat"), "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(sites.smtp) +
                                        "\r\nEMAIL=jo@acme.example\r\nNAME=Jo\r\n" + extra);
  }

  // A site in the catalogue: settings keys and scripts (kind -> text).
  void Site(const std::string& name, const std::string& keys,
            const std::map<std::string, std::string>& scripts = {}) {
    WriteFile(Data("sites/" + name + ".ini"), "[SETTINGS]\r\n" + keys);
    for (const auto& [kind, text] : scripts) {
      WriteFile(Data("sites/" + name + " " + kind + ".scp"), text + "\r\n");
    }
    names.push_back(name);
  }
  // The one site "Both", a form then a mail, each to a scripted peer of its own in
  // folder: form is the "/form" route's reply, mail extra SMTP replies ("" none). The
  // history, the table and the settings start afresh; the peers live as long as the
  // result.
  struct FormAndMail {
    std::unique_ptr<PeerProcess> form, smtp;
  };
  FormAndMail FormAndMailSite(const std::string& folder, const std::string& form,
                              const std::string& mail) {
    WriteFile(folder + "/routes.json", std::string(R"({"/form": )") + form + "}");
    WriteFile(folder + "/smtp.json",
              std::string(R"({"greeting": "220 hi", "replies": {"DATA": "354 go")") +
                  (mail.empty() ? "" : ", ") + mail + "}}");
    FormAndMail peers;
    peers.form = std::make_unique<PeerProcess>(
        std::vector<std::string>{PeerScript("http_peer.py"), "--routes", folder + "/routes.json"});
    peers.smtp = std::make_unique<PeerProcess>(std::vector<std::string>{
        PeerScript("smtp_peer.py"), "script", "--script", folder + "/smtp.json"});
    names.clear();
    Site("Both",
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=http://127.0.0.1:" +
             std::to_string(peers.form->port()) +
             "/form\r\nUSE_EMAIL=1\r\nEMAIL_TONAME=submit@example.com\r\n",
         {{"HTTP_NEW", "program=%APPNAME%"}, {"EMAIL_NEW", "Please list %APPNAME%."}});
    std::filesystem::remove(Data("data/Prog.hst"));
    std::filesystem::remove(Data("data/Prog_SITES.dat"));
    WriteFile(Data("settings.dat"),
              "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(peers.smtp->port()) +
                  "\r\nEMAIL=jo@acme.example\r\nNAME=Jo\r\nPostRetries=0\r\n");
    return peers;
  }
  void HttpSite(const std::string& name, const std::string& path, bool get = false) {
    const std::string url = sites.Url(path) + (get ? "?" : "");
    Site(name,
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=" + std::string(get ? "2" : "1") +
             "\r\nHTTP_NEW_SCRIPT_URL=" + url + "\r\nHTTP_UPDATE_SCRIPT_URL=" + url + "\r\n",
         {{"HTTP_NEW", "program=%APPNAME%&version=%APPVERSION%"},
          {"HTTP_UPDATE", "program=%APPNAME%&update=1"}});
  }
  void FtpSite(const std::string& name, int port, const std::string& user,
               const std::string& password, const std::string& more = "") {
    Site(name,
         "USE_FTP_UPLOAD=1\r\nFTP_SERVER=127.0.0.1:" + std::to_string(port) +
             "\r\nLOGIN_NAME=" + user + "\r\nLOGIN_PASSWORD=" + password +
             "\r\nREMOTE_PATH=/incoming/\r\nFTP_FILENAME=%8PLUS3%.txt\r\n" + more,
         {{"FTP_NEW", "Program: %APPNAME% %APPVERSION%"}});
  }

  // Loads the catalogue written so far, as after a restart.
  void Load() {
    std::string list;
    for (const auto& n : names) list += n + "\r\n";
    WriteFile(Data("sites/Sites.dat"), list);
    Restart();
  }

  SubmissionRun::Outcome Run() {
    host = std::make_unique<SessionRunHost>(*session);
    run = std::make_unique<SubmissionRun>(*host, view, prompt, clock);
    return run->Submit();
  }

  const AppSiteRow& Row(const std::string& site) {
    for (const auto& r : session->Table().Rows()) {
      if (r.site == site) return r;
    }
    throw std::runtime_error("no row " + site);
  }
  // The run's report folder.
  std::string RunDir() const { return run->Report().RunReportDir; }
  std::string Page(const std::string& site, const std::string& method) const {
    return RunDir() + "/" + site + " _" + method + ".htm";
  }
  std::vector<std::string> SiteResponses() {
    std::vector<std::string> labels;
    for (const auto& [label, href] : ParsePage(RunDir() + "/MainReport.htm").links) {
      if (label != "View Submission Log") labels.push_back(label);
    }
    return labels;
  }
  std::vector<std::string> Received(const std::string& sub) const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir / ("received/" + sub), ec)) {
      if (e.is_regular_file()) files.push_back(e.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  DemoSites sites;
  std::vector<std::string> names;
  RecordingView view;
  std::unique_ptr<SessionRunHost> host;
  std::unique_ptr<SubmissionRun> run;
};

}  // namespace vendrix::test
