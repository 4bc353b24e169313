#pragma once
// The "Company Info" page without its widgets: the company selector, the profile
// shown, and the page's actions. Messages go through the prompt; a failed write
// throws VendrixError ("Unable to write to <file>") and leaves the shown state as it
// was before the action. Not thread-safe: the session's thread.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/data_tree.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "profiles/company_profile.h"
#include "profiles/new_name.h"

namespace vendrix {

class CompanyPage {
 public:
  CompanyPage(const DataTree& tree, MainFlags& flags, UserPrompt& prompt);

  const Lines& Names() const { return names_; }
  // The name shown in the selector (empty when none).
  const std::string& Shown() const { return profile_.name; }
  const CompanyProfile& Profile() const { return profile_; }

  // An edit of one of the twelve fields (by file key); clears CompanySaved on change.
  // Returns false for an unknown key, CONAME or BHSID.
  bool SetField(std::string_view key, std::string value);
  // An ID obtained from the BHS account dialog.
  // False (with a message) for an id that cannot be stored as it is.
  bool SetBhsId(std::string id);

  // Called after every change of the shown company (start-up, a choice, New and
  // Delete Company): the session reloads that company's application list.
  void SetOnShownChanged(std::function<void()> hook) { onShownChanged_ = std::move(hook); }

  // Fills the selector from the list file (blank and unusable entries are skipped and
  // reported), selects the first entry and loads it.
  void LoadList();
  // The user chooses a company in the selector.
  bool Select(std::string_view name);

  void LoadCompany();
  void SaveCompany();
  // Asks for a name and creates the profile (all fields empty); true when one was
  // created. Refused names are said through the prompt and asked again. With a name,
  // that name is used instead of asking (the same checks; a refusal is shown).
  bool NewCompany(const std::optional<std::string>& name = std::nullopt);
  // Creates, saves and shows the company `name` (leading blanks removed) with the other
  // fields of `fields`, without asking anyone. A name NewCompany would refuse throws
  // VendrixError with the reason, nothing written.
  void Create(const std::string& name, const CompanyProfile& fields);
  void DeleteCompany();

  enum class BhsAction { NoCompany, OpenAccountDialog, ShownId };
  BhsAction ShowBhsId();

 private:
  // Writes the company list: names, then the skipped lines as they were read.
  void SaveList(const Lines& names) const;
  void SetFieldText(std::string CompanyProfile::*member, std::string value);
  void ShownChanged();
  std::optional<std::string> CollidesWithAppFile(const std::string& name) const;
  NewNameTexts NameTexts() const;
  const DataTree& tree_;
  MainFlags& flags_;
  UserPrompt& prompt_;
  Lines names_;
  Lines skipped_;  // the list's lines that are no usable name, written back as they were
  // Why the list file could not be read at the last load ("" when it could): a list that
  // could not be read is never saved over (it may still hold every name).
  std::string listUnreadable_;
  CompanyProfile profile_;
  std::function<void()> onShownChanged_;
};

}  // namespace vendrix
