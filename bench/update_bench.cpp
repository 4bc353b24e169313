// Installs a catalogue archive of 10,000 sites (settings file, category list and two
// scripts each: 40,001 files) through the data-file update's checks, first into an
// empty catalogue, then again over the one it made (every file replaced); prints the
// time each took and the peak memory of the process. FOLDER (default: the temporary
// folder) chooses the disk.
//   update_bench [SITES [FOLDER]]
#include <sys/resource.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/user_prompt.h"
#include "update/data_update.h"

namespace {

class SilentPrompt : public vendrix::UserPrompt {
 public:
  void Inform(const std::string&) override {}
  void Error(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  vendrix::Answer Confirm(const std::string&, bool) override { return vendrix::Answer::Yes; }
  std::optional<std::string> AskName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> ChooseFile(const vendrix::FileChoice&) override {
    return std::nullopt;
  }
  void ErrorDialog(const std::string&, const std::string&, const std::string&) override {}
};

class NoObserver : public vendrix::UpdateObserver {
 public:
  void Status(const std::string&) override {}
  void Percent(int) override {}
  void Bar(long long, long long, long long) override {}
  void Trace(const std::string&, bool) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const int sites = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::filesystem::path where =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  std::string tmpl = (where / "vendrix-bench-XXXXXX").string();
  const std::string root = ::mkdtemp(tmpl.data());
  for (const char* d : {"/sites/updates", "/cat"}) std::filesystem::create_directories(root + d);

  std::string ini = "[SETTINGS]\r\n";
  for (int k = 0; k < 50; ++k) ini += "KEY_" + std::to_string(k) + "=some value text\r\n";
  const std::string script = "name=%COMPNAME%&prog=%APPNAME%&ver=%APPVERSION%\r\n";
  std::string list;
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < sites; ++i) {
    const std::string n = "Download Site " + std::to_string(i);
    list += n + "\r\n";
    entries.emplace_back(n + ".ini", ini);
    entries.emplace_back(n + " Cat1.cat", "Games\r\nTools\r\nUtilities\r\n");
    entries.emplace_back(n + " HTTP_NEW.scp", script);
    entries.emplace_back(n + " HTTP_UPDATE.scp", script);
  }
  entries.emplace_back("Sites.dat", list);
  const std::string archive = root + "/vxsites.zip";
  int err = 0;
  zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  for (const auto& [name, data] : entries) {
    zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
  }
  zip_close(z);

  SilentPrompt prompt;
  NoObserver observer;
  bool ok = true;
  for (const char* round : {"into an empty catalogue", "over the same catalogue"}) {
    vendrix::Tgeteng window({root + "/sites/updates/", root + "/sites/", root + "/cat/"}, {},
                            prompt, observer);
    auto start = std::chrono::steady_clock::now();
    auto outcome = window.Install(archive);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    std::printf(
        "%zu files from a %.1f MB archive installed %s in %.2f s; peak memory %.1f MB; %s\n",
        entries.size(), static_cast<double>(std::filesystem::file_size(archive)) / 1e6, round,
        seconds, static_cast<double>(ru.ru_maxrss) / 1024.0,
        outcome == vendrix::UpdateOutcome::Completed ? "completed" : "FAILED");
    ok = ok && outcome == vendrix::UpdateOutcome::Completed;
  }
  std::filesystem::remove_all(root);
  return ok ? 0 : 1;
}
