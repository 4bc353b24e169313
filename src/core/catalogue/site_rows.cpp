#include "catalogue/site_rows.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/cp1252.h"
#include "base/file_reader.h"
#include "base/ini_file.h"
#include "catalogue/site_settings.h"

namespace vendrix {
namespace {

// Below this many sites one thread reads them all: starting threads would cost more.
constexpr std::size_t kSitesPerThread = 1024;
constexpr unsigned kMaxThreads = 4;

const char* YesNo(bool b) {
  return b ? "Y" : "N";
}

// Reads the rows of siteList[from, to) into rows, marking in found those whose file
// was read.
void ReadRange(const Lines& siteList, std::size_t from, std::size_t to, const std::string& sitesDir,
               std::vector<AppSiteRow>& rows, std::vector<char>& found) {
  static constexpr std::string_view kKeys[] = {"SITE_SYSTEM",  "SITE_TYPE",     "USE_CAT1",
                                               "USE_CAT2",     "USE_HTTP_POST", "USE_FTP_UPLOAD",
                                               "USE_ZIP_FILE", "USE_EMAIL"};
  constexpr std::size_t kCount = std::size(kKeys);
  std::optional<std::string_view> values[kCount];
  auto integer = [&](std::size_t i, int def) {
    if (!values[i]) return def;
    return ParseIniInteger(values[i]->substr(0, kIniMaxValue), def);
  };
  auto flag = [&](std::size_t i) { return integer(i, 0) != 0; };
  FileReader reader;
  reader.OpenFolder(sitesDir);
  std::string file;
  for (std::size_t i = from; i < to; ++i) {
    file = Cp1252ToUtf8(siteList[i]);
    file += ".ini";
    std::optional<std::string_view> data;
    try {
      data = reader.Read(file);
    } catch (const std::exception&) {
      continue;  // unreadable (a folder in its place): no row, as if missing
    }
    if (!data) continue;
    ScanIniValues(*data, kSiteSection, kKeys, values, kCount);
    AppSiteRow& row = rows[i];
    row.site = siteList[i];
    const int system = integer(0, 3);
    row.type = integer(1, 2) == 1 ? "Free" : "All";
    row.type += system == 1 ? " 32" : system == 2 ? " 16" : " 16-32";
    row.cat1 = flag(2) ? kNotSet : kNotApplicable;
    row.cat2 = flag(3) ? kNotSet : kNotApplicable;
    row.h = YesNo(flag(4));
    row.f = YesNo(flag(5));
    row.z = YesNo(flag(6));
    row.e = YesNo(flag(7));
    found[i] = 1;
  }
}

}  // namespace

std::vector<AppSiteRow> ReadSiteRows(const Lines& siteList, const std::string& sitesDir) {
  const std::size_t n = siteList.size();
  std::vector<AppSiteRow> rows(n);
  std::vector<char> found(n, 0);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t parts =
      std::clamp<std::size_t>(n / kSitesPerThread, 1, std::min(cores, kMaxThreads));
  std::vector<std::thread> helpers;
  std::vector<std::exception_ptr> failures(parts);
  auto part = [&](std::size_t p) {
    try {
      ReadRange(siteList, n * p / parts, n * (p + 1) / parts, sitesDir, rows, found);
    } catch (...) {
      failures[p] = std::current_exception();
    }
  };
  // The first part is read here; a helper that cannot be started leaves its part to
  // this thread as well.
  for (std::size_t p = 1; p < parts; ++p) {
    try {
      helpers.emplace_back(part, p);
    } catch (const std::system_error&) {
      part(p);
    }
  }
  part(0);
  for (auto& t : helpers) t.join();
  for (const auto& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!found[i]) continue;
    if (kept != i) rows[kept] = std::move(rows[i]);
    ++kept;
  }
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end());
  return rows;
}

}  // namespace vendrix
