#pragma once
// The main window's lifecycle rules without the window: the close questions and
// the page switching rules. Messages go through the prompt; savers may throw as the
// pages do. The GUI thread.
#include <functional>
#include <string>

#include "base/main_flags.h"
#include "base/user_prompt.h"

namespace vendrix {

enum class Page { CompanyInfo, AppInfo, Sites, Submit, SiteBuilder };

// The savers the close questions call on Yes.
struct CloseSavers {
  std::function<void()> saveCompany;
  std::function<void()> saveApp;        // application file, description and notes
  std::function<void()> saveSiteTable;  // the shown application's site table
  std::function<void()> saveSite;       // the site open in the site builder
};

// Asks the close questions in order; true when the window may close. Cancel stops at
// once; what was saved before stays saved.
bool CloseQuery(const MainFlags& flags, const std::string& appName, UserPrompt& prompt,
                const CloseSavers& savers);

// False (with the message) when the current page may not be left.
bool CanLeavePage(const MainFlags& flags, UserPrompt& prompt);

// What the window does after a page was brought to the front.
enum class PageFollowUp {
  None,
  StartNewCompany,      // "Company Info" shown and "New Company" started
  GoToAppInfo,          // "App Info" shown instead
  RecountAndFocusGrid,  // recount the sites to post; focus the grid
  Recount,              // recount the sites to post
  OpenFirstSite,        // select and open the first site in the site builder
};

struct PageState {
  bool hasCompany = false;
  bool hasApp = false;
  bool gridHasRows = false;
  bool siteListHasEntries = false;
  bool siteSelected = false;
};

// Applies the page rules (messages go through prompt) and says what follows.
PageFollowUp PageShown(Page page, const PageState& state, UserPrompt& prompt);

}  // namespace vendrix
