#pragma once
// What a variable expansion reads: the profiles shown, the open site, the row being
// posted (submission mode only), the clock, and where "Could NotFind!" is shown.
// Pointers only: the owner keeps the objects alive while the engine expands.
#include <functional>
#include <string>
#include <string_view>

namespace vendrix {

struct CompanyProfile;
struct AppProfile;
struct SiteDefinition;
struct AppSiteRow;
class Clock;
class UserPrompt;

enum class ExpansionMode { Preview, Submission };

struct ExpansionContext {
  const CompanyProfile* company = nullptr;
  const AppProfile* app = nullptr;
  const SiteDefinition* site = nullptr;
  const AppSiteRow* row = nullptr;
  const Clock* clock = nullptr;
  UserPrompt* prompt = nullptr;

  // The profiles and site, or empty ones when none is set.
  const CompanyProfile& Company() const;
  const AppProfile& App() const;
  const SiteDefinition& Site() const;
};

using ValueEncoder = std::function<std::string(std::string_view)>;

}  // namespace vendrix
