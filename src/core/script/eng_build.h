#pragma once
// TEngBuild: the variable expansion of scripts, with the site catalogue's operations
// forwarded to its SiteStore. It keeps no state but the outcome of the last expansion
// and what an expansion reads (the context); the site lists and the open site belong
// to the site builder, the match-up values to the frame.
//
// Failures: an expansion never throws; it reports through ErrorFlag and ErrorName.
// The catalogue operations throw as SiteStore's do. Not thread-safe: one thread
// expands at a time (the session's thread, or a run's worker).
#include <string>
#include <string_view>

#include "base/user_prompt.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_lists.h"
#include "catalogue/site_store.h"
#include "script/expansion_context.h"

namespace vendrix {

class TEngBuild {
 public:
  explicit TEngBuild(SiteStore& store) : store_(store) {}

  SiteStore& Store() { return store_; }
  const SiteStore& Store() const { return store_; }

  // The catalogue operations, as SiteStore does them.
  std::string SiteSettingsFile(std::string_view site) const {
    return store_.SiteSettingsFile(site);
  }
  std::string CategoryFile(std::string_view site, int which) const {
    return store_.CategoryFile(site, which);
  }
  std::string ScriptFile(std::string_view site, ScriptKind kind) const {
    return store_.ScriptFile(site, kind);
  }
  void LoadSiteLists(SiteLists& lists, Lines* rejected = nullptr) const {
    store_.LoadSiteLists(lists, rejected);
  }
  void SaveSiteLists(const SiteLists& lists) const { store_.SaveSiteLists(lists); }
  bool AddSite(SiteLists& lists, std::string_view name, UserPrompt& prompt) {
    return store_.AddSite(lists, name, prompt);
  }
  void DeleteSite(SiteLists& lists, std::string_view name) const { store_.DeleteSite(lists, name); }
  void ClearSite(SiteDefinition& def) const { store_.ClearSite(def); }
  void LoadSite(std::string_view name, SiteDefinition& def) { store_.LoadSite(name, def); }
  void SaveSite(const SiteDefinition& def) const { store_.SaveSite(def); }

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
  SiteStore& store_;
  ExpansionContext context_;
};

}  // namespace vendrix
