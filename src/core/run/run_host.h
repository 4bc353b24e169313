#pragma once
// What a submission run needs of the program around it, given from above (the
// session implements it): the program settings, the shown profiles, the site table
// rows, the open site definition, the savers behind the save questions, and the
// posting flag. Called on the run's thread only while the run holds the session.
#include <string>
#include <vector>

#include "base/line_list.h"
#include "base/program_settings.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "run/precheck.h"

namespace vendrix {

class TEngBuild;
class DataTree;

class RunHost {
 public:
  virtual ~RunHost() = default;

  // The program settings as the file holds them now.
  virtual ProgramSettings Settings() = 0;
  virtual const AppProfile& App() = 0;
  virtual const CompanyProfile& Company() = 0;
  // Puts the re-wrapped long description back into the shown application.
  virtual void SetLongDesc(Lines lines) = 0;
  virtual std::vector<AppSiteRow>& Rows() = 0;
  // Loads the site as the open site definition; false when it cannot be opened.
  virtual bool OpenSite(const std::string& name) = 0;
  virtual const SiteDefinition& Site() = 0;
  // Saves the site table to the application's table file; throws VendrixError.
  virtual void SaveSiteTable() = 0;
  // The application's table file (UTF-8 path), for saves while the run goes on.
  virtual std::string SiteTableFile() = 0;

  enum class Unsaved { App, Company, Site };
  virtual bool IsUnsaved(Unsaved what) = 0;
  virtual void Save(Unsaved what) = 0;

  virtual void SetPosting(bool on) = 0;
  virtual TEngBuild& Eng() = 0;
  virtual const DataTree& Tree() = 0;
  // What the check before the run finds beyond its own checks (the package managers'
  // rules, for a profile meant for them too); none by default.
  virtual std::vector<Finding> MoreFindings() { return {}; }
};

}  // namespace vendrix
