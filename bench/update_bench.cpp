// Installs a catalogue archive of 10,000 sites (settings file, category list and two
// scripts each: 40,001 files) through the data-file update's checks, first into an
// empty catalogue, then an edition whose every file differs over it; prints when
// each stage began, the time each install took and the peak memory of the process.
// FOLDER (default: the temporary folder) chooses the disk.
//   update_bench [SITES [FOLDER]]
// For bench/update_bench.sh, the two halves apart:
//   update_bench archive SITES ARCHIVE [EDITION [EVERY]]
//       writes the archive; with EDITION, every EVERY-th site's four files (default
//       every site's) carry that edition's mark, so that they differ from the files
//       of any other edition (the list is the same in every edition)
//   update_bench install ARCHIVE ROOT     installs it into the catalogue of ROOT
#include <sys/resource.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/user_prompt.h"
#include "update/catalogue_trash.h"
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

// Prints when each stage of the update begins (not the status of each file copied).
class StageObserver : public vendrix::UpdateObserver {
 public:
  void Begin() { start_ = std::chrono::steady_clock::now(); }
  void Status(const std::string& text) override {
    if (text.rfind("Copying ", 0) == 0 && text != "Copying Sites.Dat...") return;
    std::printf("  %7.2f s  %s\n", Seconds(), text.c_str());
  }
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  void Percent(int) override {}
  void Bar(long long, long long, long long) override {}
  void Trace(const std::string&, bool) override {}

 private:
  std::chrono::steady_clock::time_point start_;
};

std::size_t WriteArchive(int sites, const std::string& archive, int edition = 0, int every = 1) {
  std::string ini = "[SETTINGS]\r\n";
  for (int k = 0; k < 50; ++k) ini += "KEY_" + std::to_string(k) + "=some value text\r\n";
  const std::string script = "name=%COMPNAME%&prog=%APPNAME%&ver=%APPVERSION%\r\n";
  const std::string mark = "; edition " + std::to_string(edition) + "\r\n";
  std::string list;
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < sites; ++i) {
    const std::string n = "Download Site " + std::to_string(i);
    const std::string m = edition != 0 && i % std::max(every, 1) == 0 ? mark : "";
    list += n + "\r\n";
    entries.emplace_back(n + ".ini", ini + m);
    entries.emplace_back(n + " Cat1.cat", "Games\r\nTools\r\nUtilities\r\n" + m);
    entries.emplace_back(n + " HTTP_NEW.scp", script + m);
    entries.emplace_back(n + " HTTP_UPDATE.scp", script + m);
  }
  entries.emplace_back("Sites.dat", list);
  int err = 0;
  zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  for (const auto& [name, data] : entries) {
    zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
  }
  zip_close(z);
  return entries.size();
}

bool Install(const std::string& archive, const std::string& root, const char* round) {
  for (const char* d : {"/sites/updates", "/cat"}) std::filesystem::create_directories(root + d);
  SilentPrompt prompt;
  StageObserver observer;
  vendrix::Tgeteng window({root + "/sites/updates/", root + "/sites/", root + "/cat/"}, {}, prompt,
                          observer);
  std::printf("%s:\n", round);
  observer.Begin();
  auto outcome = window.Install(archive);
  double seconds = observer.Seconds();
  struct rusage ru {};
  ::getrusage(RUSAGE_SELF, &ru);
  std::printf("a %.1f MB archive installed %s in %.2f s; peak memory %.1f MB; %s\n",
              static_cast<double>(std::filesystem::file_size(archive)) / 1e6, round, seconds,
              static_cast<double>(ru.ru_maxrss) / 1024.0,
              outcome == vendrix::UpdateOutcome::Completed ? "completed" : "FAILED");
  return outcome == vendrix::UpdateOutcome::Completed;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "archive" && argc >= 4 && argc <= 6) {
    WriteArchive(std::atoi(argv[2]), argv[3], argc > 4 ? std::atoi(argv[4]) : 0,
                 argc > 5 ? std::atoi(argv[5]) : 1);
    return 0;
  }
  if (mode == "install" && argc == 4) return Install(argv[2], argv[3], "") ? 0 : 1;
  const int sites = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::filesystem::path where =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  std::string tmpl = (where / "vendrix-bench-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) {
    std::perror(tmpl.c_str());
    return 1;
  }
  const std::string root = tmpl;
  const std::string archive = root + "/vxsites.zip";
  const std::size_t files = WriteArchive(sites, archive);
  std::printf("%zu files\n", files);
  bool ok = Install(archive, root, "into an empty catalogue");
  WriteArchive(sites, archive, 1);
  ok = Install(archive, root, "over it, every file changed") && ok;
  auto start = std::chrono::steady_clock::now();
  const bool gone = vendrix::WaitForEmptyTrash(root + "/", 1800);
  std::printf("the replaced catalogue was %s %.2f s after the update ended\n",
              gone ? "removed" : "still not removed",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  start = std::chrono::steady_clock::now();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  std::printf("removing the %zu files again took %.2f s\n", files,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return ok ? 0 : 1;
}
