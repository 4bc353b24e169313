#include "script/expansion_context.h"

#include "catalogue/site_definition.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"

namespace vendrix {

const CompanyProfile& ExpansionContext::Company() const {
  static const CompanyProfile kNone;
  return company ? *company : kNone;
}

const AppProfile& ExpansionContext::App() const {
  static const AppProfile kNone;
  return app ? *app : kNone;
}

const SiteDefinition& ExpansionContext::Site() const {
  static const SiteDefinition kNone;
  return site ? *site : kNone;
}

}  // namespace vendrix
