// Loads a catalogue of 10,000 sites and builds an application's site table from it;
// prints the time taken and the peak memory of the process.
//   site_table_bench [SITES]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/session.h"
#include "base/line_list.h"

namespace {

class SilentPrompt : public vendrix::UserPrompt {
 public:
  void Inform(const std::string&) override {}
  void Error(const std::string&) override {}
  vendrix::Answer Confirm(const std::string&, bool) override { return vendrix::Answer::Yes; }
  std::optional<std::string> AskName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> ChooseFile(const vendrix::FileChoice&) override {
    return std::nullopt;
  }
  void ErrorDialog(const std::string&, const std::string&, const std::string&) override {}
};

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
  const int sites = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::string tmpl = (std::filesystem::temp_directory_path() / "vendrix-bench-XXXXXX").string();
  const std::string root = ::mkdtemp(tmpl.data());
  for (const char* d : {"/sites", "/cat", "/data", "/companies"}) {
    std::filesystem::create_directories(root + d);
  }
  // A realistic settings file: all 50 keys.
  std::string ini = "[SETTINGS]\r\n";
  for (int k = 0; k < 50; ++k) ini += "KEY_" + std::to_string(k) + "=some value text\r\n";
  vendrix::Lines names;
  for (int i = 0; i < sites; ++i) {
    std::string name = "Download Site " + std::to_string(i);
    names.push_back(name);
    Write(root + "/sites/" + name + ".ini",
          ini + "SITE_TYPE=" + std::to_string(1 + i % 2) + "\r\nUSE_CAT1=1\r\nUSE_EMAIL=1\r\n");
  }
  vendrix::SaveLines(root + "/sites/Sites.dat", names);
  vendrix::SaveLines(root + "/companies/companies.dat", {"Bench Co"});
  vendrix::SaveLines(root + "/data/Bench Co Apps.dat", {"Bench App"});
  Write(root + "/data/Bench App.dat", "[APPINFO]\r\nPLATFORM=Windows 95\r\nSTATUS=Shareware\r\n");

  SilentPrompt prompt;
  vendrix::SystemClock clock;
  auto start = std::chrono::steady_clock::now();
  vendrix::Session session(root, prompt, clock);
  session.Initialise();
  auto loaded = std::chrono::steady_clock::now();
  session.ShowStep();  // builds and saves the table (first time: no table file)
  auto built = std::chrono::steady_clock::now();
  session.App().Select("Bench App");  // again, now merging the saved table
  auto rebuilt = std::chrono::steady_clock::now();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
  std::printf("sites: %d, rows: %zu, to post: %d\n", sites, session.Table().Rows().size(),
              session.Table().Counts().total);
  std::printf("load lists: %.1f ms; first build: %.1f ms; rebuild with table file: %.1f ms\n",
              ms(start, loaded), ms(loaded, built), ms(built, rebuilt));
  std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  std::filesystem::remove_all(root);
  return 0;
}
