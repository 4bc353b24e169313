// The BHS service's replies as a server sends them: the account list page and the
// reply to a new-account request. Whatever arrives, an id is a non-empty piece of the
// reply that holds no quote or line end, a display text holds no line end, and each
// account comes from a line of its own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/line_list.h"
#include "fuzz_support.h"
#include "services/bhs_account.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

bool HoldsLineEnd(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  const std::string_view reply(reinterpret_cast<const char*>(data), size);

  const auto accounts = ParseBhsAccountList(reply);
  Require(accounts.size() <= SplitLines(reply).size(), "at most one account per line");
  for (const auto& a : accounts) {
    Require(!a.id.empty(), "an account has an id");
    Require(a.id.find('"') == std::string::npos, "an id ends at its quote");
    Require(!HoldsLineEnd(a.id) && !HoldsLineEnd(a.text), "an account stays on its line");
    Require(reply.find("\"" + a.id + "\"") != std::string_view::npos,
            "an id is quoted text of the reply");
  }

  const std::string id = ParseBhsNewAccountId(reply);
  Require(id.find('"') == std::string::npos && !HoldsLineEnd(id), "a new id ends at its quote");
  if (!id.empty()) {
    Require(reply.find("value=\"" + id + "\"") != std::string_view::npos,
            "a new id is a quoted value of the reply");
  }
  return 0;
}
