#include "app/main_window.h"

namespace vendrix {

bool CloseQuery(const MainFlags& flags, const std::string& appName, UserPrompt& prompt,
                const CloseSavers& savers) {
  if (flags.DataFilesReplaced) return true;
  struct Question {
    bool ask;
    std::string what;
    const std::function<void()>* save;
  };
  const Question questions[] = {
      {!flags.CompanySaved, "Changed Company Info", &savers.saveCompany},
      {!flags.AppSaved, appName, &savers.saveApp},
      {flags.SiteTableChanged, "Site Engine Info", &savers.saveSiteTable},
      {!flags.SiteSaved, "Added/Changed Engine Info", &savers.saveSite},
  };
  for (const auto& q : questions) {
    if (!q.ask) continue;
    Answer a = prompt.Confirm("Would you like to save " + q.what + "?", true);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes && *q.save) (*q.save)();
  }
  return true;
}

bool CanLeavePage(const MainFlags& flags, UserPrompt& prompt) {
  if (!flags.Posting) return true;
  prompt.Error("Tab Change Not Allowed While Posting!");
  return false;
}

PageFollowUp PageShown(Page page, const PageState& state, UserPrompt& prompt) {
  constexpr const char* kNoCompany = "You have not entered your company info. Please do so now!";
  switch (page) {
    case Page::CompanyInfo:
      return PageFollowUp::None;
    case Page::AppInfo:
      if (!state.hasCompany) {
        prompt.Error(kNoCompany);
        return PageFollowUp::StartNewCompany;
      }
      return PageFollowUp::None;
    case Page::Sites:
      if (!state.hasCompany) {
        prompt.Error(kNoCompany);
        return PageFollowUp::StartNewCompany;
      }
      if (!state.hasApp) {
        prompt.Error("You have not entered or selected an application yet. Please do so now!");
        return PageFollowUp::GoToAppInfo;
      }
      return state.gridHasRows ? PageFollowUp::RecountAndFocusGrid : PageFollowUp::None;
    case Page::Submit:
      return PageFollowUp::Recount;
    case Page::SiteBuilder:
      return state.siteListHasEntries && !state.siteSelected ? PageFollowUp::OpenFirstSite
                                                             : PageFollowUp::None;
  }
  return PageFollowUp::None;
}

}  // namespace vendrix
