// The application site table file: whatever it holds, what the table saves after
// loading it loads again to the same rows and saves to the same file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/file_io.h"
#include "catalogue/site_table.h"
#include "fuzz_world.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

bool SameRows(const std::vector<AppSiteRow>& a, const std::vector<AppSiteRow>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const AppSiteRow &x = a[i], &y = b[i];
    if (x.site != y.site || x.type != y.type || x.submit != y.submit || x.cat1 != y.cat1 ||
        x.cat2 != y.cat2 || x.h != y.h || x.f != y.f || x.z != y.z || x.e != y.e ||
        x.lastPost != y.lastPost || x.post != y.post)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::DemoWorld world;
  const std::string file = world.tree.SiteTableFile("Fuzz");
  WriteFileAtomic(file, std::string_view(reinterpret_cast<const char*>(data), size));
  SiteTable table(world.store, world.flags, world.prompt, world.clock, [] {
    return SiteTable::AppInfo{"Windows 95", "Shareware"};
  });
  table.Build(world.lists.SiteList, "Fuzz");  // loads, then saves
  const auto first = table.Rows();
  const auto saved = ReadWholeFile(file);
  table.Build(world.lists.SiteList, "Fuzz");
  Require(SameRows(first, table.Rows()), "saved rows load as the same rows");
  Require(ReadWholeFile(file) == saved, "saved rows save as the same file");
  return 0;
}
