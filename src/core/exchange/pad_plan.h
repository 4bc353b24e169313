#pragma once
// What a PAD import changes, worked out before anything is written, and its
// application through the profile pages. The plan names the company the application
// goes under (the one given, else the file's Company_Name), whether the company and
// the application are new, and every field whose value changes, old and new. A value
// the file does not give leaves the field as it was; the notes keep their own lines
// and take the file's category, keywords and operating systems in place of earlier
// ones. An existing company's fields change only when updating.
//
// PlanPadImport reads the profile files and throws VendrixError when the import cannot
// go ahead (no company name, one that cannot name a company, or an application name
// another company holds). ApplyPadPlan writes through the pages (their change marks and
// list files included) as one change (FileBatch): all of it, or, when a write fails or
// the pages refuse a name, nothing (it throws VendrixError; the pages may then show
// what was not written, and are loaded again by the caller). The session's thread.
#include <optional>
#include <string>
#include <vector>

#include "base/data_tree.h"
#include "exchange/pad_import.h"
#include "profiles/app_page.h"
#include "profiles/company_page.h"

namespace vendrix {

struct PadChange {
  std::string field;  // the file key: "CEMAIL", "VERSION", or LONGDESC and NOTES for the memos
  std::string oldValue, newValue;  // memo lines joined with " / "
};

struct PadPlan {
  std::string company;
  bool newCompany = false;
  bool newApp = false;
  bool appExists = false;  // an application of this name (or its file) is there already
  bool update = false;
  CompanyProfile companyAfter;
  AppProfile appAfter;
  std::vector<PadChange> changes;
  std::vector<std::string> findings;
};

PadPlan PlanPadImport(const DataTree& tree, const Lines& companies, const PadContent& content,
                      const std::optional<std::string>& company, bool update);

// The refusal of an existing application without update, or nullopt when the plan
// may be applied.
std::optional<std::string> PadPlanRefusal(const PadPlan& plan);

void ApplyPadPlan(CompanyPage& company, AppPage& app, const PadPlan& plan);

}  // namespace vendrix
