#pragma once
// TEngBuild: the site catalogue's file operations and the variable expansion of
// scripts. It keeps no state but the outcome of the last expansion; the site lists
// and the open site belong to the site builder, the match-up values to TGWide.
#include <string>
#include <string_view>

#include "app/tgwide.h"
#include "app/user_prompt.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_lists.h"
#include "script/expansion_context.h"

namespace vendrix {

class TEngBuild {
 public:
  explicit TEngBuild(TGWide& wide) : wide_(wide) {}

  // Files of a site.
  std::string SiteSettingsFile(std::string_view site) const;
  std::string CategoryFile(std::string_view site, int which) const;  // which: 1 or 2
  std::string ScriptFile(std::string_view site, ScriptKind kind) const;

  // Site lists. Names that may not be used in file names are skipped and returned
  // in rejected.
  void LoadSiteLists(SiteLists& lists, Lines* rejected = nullptr) const;
  void SaveSiteLists(const SiteLists& lists) const;
  // Adds a user site (blanks trimmed); false when refused (blank, duplicate with the
  // error dialog, or a name that cannot be used in file names).
  bool AddSite(SiteLists& lists, std::string_view name, UserPrompt& prompt);
  // Deletes the site's files and its list entries; the caller opens the first site left.
  void DeleteSite(SiteLists& lists, std::string_view name) const;

  void ClearSite(SiteDefinition& def) const;
  void LoadSite(std::string_view name, SiteDefinition& def);
  void SaveSite(const SiteDefinition& def) const;
  void LoadSettings(std::string_view name, SiteDefinition& def);
  void SaveSettings(const SiteDefinition& def) const;
  void LoadCategories(std::string_view name, SiteDefinition& def) const;
  void SaveCategories(const SiteDefinition& def) const;
  void LoadScripts(std::string_view name, SiteDefinition& def) const;
  void SaveScripts(const SiteDefinition& def) const;

  // What an expansion reads; the owner keeps the pointed-to objects alive.
  void SetContext(const ExpansionContext& context) { context_ = context; }
  const ExpansionContext& Context() const { return context_; }
  void SetCurrentRow(const AppSiteRow* row) { context_.row = row; }

  // Replaces every %NAME% by its value. On failure returns the text unchanged and
  // sets ErrorFlag and ErrorName. Inserted values are literal: the scan goes on after
  // them. encode, when given, is applied to each inserted value.
  std::string ExpandText(std::string_view text, ExpansionMode mode,
                         const ValueEncoder& encode = {});
  // The value of one variable; an unknown name sets ErrorFlag and ErrorName.
  std::string ExpandVariable(std::string_view name, ExpansionMode mode);

  bool ErrorFlag = false;
  std::string ErrorName;

 private:
  std::string CategoryVariable(int which, ExpansionMode mode);
  TGWide& wide_;
  ExpansionContext context_;
};

}  // namespace vendrix
