// Points the demo tree of a GUI test program at demo download sites running on free
// ports: every site's HTTP and FTP addresses, the mail settings, and the application
// "Tidy Notes" with its program file and icon. Call on the GUI thread before a run.
#pragma once

#include <filesystem>
#include <regex>
#include <string>

#include "gui_driver.h"
#include "run_support.h"

namespace vendrix::test {

inline void AimAtDemoSites(Program& p, const DemoSites& sites) {
  const std::regex http("http://127\\.0\\.0\\.1:[0-9]+"), ftp("FTP_SERVER=127\\.0\\.0\\.1:[0-9]+");
  for (const auto& e : std::filesystem::directory_iterator(p.Path("sites"))) {
    if (e.path().extension() != ".ini") continue;
    std::string text = ReadFile(e.path().string()).value();
    text = std::regex_replace(text, http, "http://127.0.0.1:" + std::to_string(sites.http));
    text = std::regex_replace(text, ftp, "FTP_SERVER=127.0.0.1:" + std::to_string(sites.ftp));
    WriteFile(e.path().string(), text);
  }
  WriteFile(p.Path("settings.dat"),
            "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(sites.smtp) +
                "\r\nEMAIL=mira@brightfield.example\r\nNAME=Mira Holt\r\nFTPRetries=0\r\n"
                "HTTPTimeOut=20\r\n");
  Session& s = p.main->Core();
  s.App().SetField("PATH", p.Path("dist/tidynote.exe"));
  s.App().SetField("GIFPATH", p.Path("dist/icon.gif"));
  s.App().SaveApp();
}

}  // namespace vendrix::test
