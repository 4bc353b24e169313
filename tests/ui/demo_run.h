// Points the demo tree of a GUI test program at demo download sites running on free
// ports: every site's HTTP and FTP addresses, the mail settings, and the application
// "Tidy Notes" with its program file and icon. Call on the GUI thread before a run.
// RunProgram is such a program on its Submit page, with helpers for the run tests.
#pragma once

#include <QDir>
#include <QGuiApplication>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "run_support.h"
#include "submit_page.h"

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

// The demo tree with its download sites running on free ports and the application
// "Tidy Notes" pointing at its files.
struct RunProgram {
  RunProgram() : sites(p.Path("received")) {
    AimAtDemoSites(p, sites);
    page = p.main->findChild<ui::SubmitPage*>("SubmitSheet");
    p.ShowPage(3);
  }
  // Adds settings ("KEY=VALUE\r\n" lines) to those AimAtDemoSites wrote.
  void AddSettings(const std::string& lines) {
    WriteFile(p.Path("settings.dat"), ReadFile(p.Path("settings.dat")).value() + lines);
  }
  // Only the named sites are marked to post.
  void PostOnly(const std::vector<std::string>& names) {
    for (AppSiteRow& r : p.main->Core().Table().MutableRows())
      r.post = std::find(names.begin(), names.end(), r.site) != names.end() ? "Y" : "N";
  }
  void SetSiteKey(const std::string& site, const std::string& key, const std::string& value) {
    const std::string path = p.Path("sites/" + site + ".ini");
    std::string text = ReadFile(path).value();
    text = std::regex_replace(text, std::regex(key + "=[^\r]*"), key + "=" + value);
    WriteFile(path, text);
  }
  template <typename T>
  T* W(const char* name) {
    T* w = p.main->findChild<T*>(name);
    if (!w) qFatal("no %s", name);
    return w;
  }
  const AppSiteRow& Row(const std::string& site) {
    for (const auto& r : p.main->Core().Table().Rows())
      if (r.site == site) return r;
    qFatal("no row %s", site.c_str());
  }
  bool Logged(const QString& line) { return page->LogLines().contains(line); }
  // Every report folder of the application's runs.
  std::vector<std::filesystem::path> Runs() {
    std::vector<std::filesystem::path> runs;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(p.Path("reports/Tidy Notes"), ec))
      runs.push_back(e.path());
    return runs;
  }

  Program p;
  DemoSites sites;
  ui::SubmitPage* page = nullptr;
};

inline void Screenshot(QWidget* w, const char* name) {
  NoteScreenNames(w->window());
  if (QGuiApplication::platformName() != "xcb") return;  // real screens only
  QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
  QVERIFY(w->grab().save(QString(VENDRIX_SCREENSHOT_DIR) + "/" + name + ".png"));
}

}  // namespace vendrix::test
