// Makes a zip archive of one file the way a submission does (TZipArchiver, deflate
// level 9), for bench/zip_bench.sh to time against zip and pigz.
//   zip_bench FILE ARCHIVE
#include <cstdio>
#include <filesystem>

#include "zip/zip_archiver.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zip_bench FILE ARCHIVE\n");
    return 2;
  }
  std::filesystem::remove(argv[2]);
  vendrix::TZipArchiver zip;
  zip.AddCompLevel = 9;
  zip.OnMessage = [](int, const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  zip.SetZipFilename(argv[2]);
  zip.FSpecArgs = {argv[1]};
  return zip.Add() == 1 ? 0 : 1;
}
