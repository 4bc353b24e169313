// Zip extraction of an archive from outside: whatever the archive holds, nothing is
// written outside the target folder, no link is made, and the caps hold.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/file_io.h"
#include "fuzz_support.h"
#include "zip/zip_archiver.h"

using namespace vendrix;
using vendrix::fuzz::Require;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ScratchDir scratch;
  const std::string archive = scratch.path() + "/in.zip";
  const std::string target = scratch.path() + "/out/inner";
  fs::create_directories(target);
  std::ofstream(archive, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  for (bool dirNames : {false, true}) {
    TZipArchiver zip;
    zip.ZipFilename = archive;
    zip.ExtrBaseDir = target;
    zip.ExtrDirNames = dirNames;
    zip.ExtrOverWrite = true;
    zip.MaxEntries = 64;
    zip.MaxTotalBytes = 1 << 20;
    try {
      zip.Extract();
    } catch (const std::exception&) {
      // A refused archive is fine; what it left behind is checked below.
    }
    std::uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(scratch.path())) {
      const std::string p = e.path().string();
      Require(!e.is_symlink(), "no link is made");
      if (p == archive || p == scratch.path() + "/out" || p == target) continue;
      Require(p.compare(0, target.size() + 1, target + "/") == 0, "nothing lands outside");
      if (e.is_regular_file()) total += e.file_size();
    }
    Require(total <= zip.MaxTotalBytes, "the byte cap holds");
    fs::remove_all(target);
    fs::create_directories(target);
  }
  return 0;
}
