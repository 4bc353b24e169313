#include "exchange/pad_plan.h"

#include "base/error.h"
#include "base/file_batch.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "base/names.h"
#include "base/text_order.h"
#include "exchange/pad_mapping.h"

namespace vendrix {
namespace {

std::string Joined(const Lines& lines) {
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : " / ") + line;
  return text;
}

// The notes with the file's PAD lines in place of earlier ones of the same kind.
Lines MergeNotes(const Lines& old, const Lines& imported) {
  Lines merged;
  for (const auto& line : old) {
    bool replaced = false;
    for (auto prefix : {kNoteCategory, kNoteKeywords, kNoteSystems}) {
      if (line.rfind(prefix, 0) != 0) continue;
      for (const auto& incoming : imported) replaced = replaced || incoming.rfind(prefix, 0) == 0;
    }
    if (!replaced) merged.push_back(line);
  }
  merged.insert(merged.end(), imported.begin(), imported.end());
  return merged;
}

}  // namespace

PadPlan PlanPadImport(const DataTree& tree, const Lines& companies, const PadContent& content,
                      const std::optional<std::string>& company, bool update) {
  PadPlan plan;
  plan.update = update;
  plan.findings = content.findings;
  plan.company = company ? *company : content.company.name;
  if (plan.company.empty()) {
    throw VendrixError("The PAD file gives no Company_Name; name the company to import into.");
  }
  plan.newCompany = IndexOf(companies, plan.company) < 0;
  if (plan.newCompany) {
    if (auto why = CheckEntryName(plan.company, EntryKind::Company)) throw VendrixError(*why);
  }

  CompanyProfile oldCompany;
  if (!plan.newCompany) {
    if (auto data = ReadWholeFile(tree.CompanyFile(plan.company))) {
      oldCompany = ReadCompanySection(IniDocument::Parse(*data));
    }
  }
  oldCompany.name = plan.company;
  plan.companyAfter = oldCompany;
  if (plan.newCompany || update) {
    for (const auto& f : kCompanyFields) {
      if (f.key == "CONAME" || f.key == "BHSID") continue;
      if (!(content.company.*f.member).empty())
        plan.companyAfter.*f.member = content.company.*f.member;
    }
    if (plan.newCompany) plan.changes.push_back({"CONAME", "", plan.company});
    for (const auto& f : kCompanyFields) {
      if (f.key == "CONAME" || oldCompany.*f.member == plan.companyAfter.*f.member) continue;
      plan.changes.push_back(
          {std::string(f.key), oldCompany.*f.member, plan.companyAfter.*f.member});
    }
  }

  const std::string& name = content.app.name;
  Lines apps;
  // The company's list as the App Info page reads it (the same filter).
  if (!plan.newCompany && !CheckEntryName(plan.company)) {
    if (auto lines = LoadLines(tree.AppListFile(plan.company))) {
      apps = FilterNames(*lines, nullptr, EntryKind::App);
    }
  }
  const bool listed = IndexOf(apps, name) >= 0;
  // Applications are stored by name alone: a name another company lists cannot come in
  // under this one. Refused here, before anything is written (and by a dry run alike).
  if (!listed) {
    for (const auto& other : companies) {
      if (other == plan.company || CheckEntryName(other)) continue;
      auto lines = LoadLines(tree.AppListFile(other));
      if (lines && IndexOf(FilterNames(*lines, nullptr, EntryKind::App), name) >= 0) {
        throw VendrixError("The application " + name + " belongs to the company " + other +
                           ", and applications are stored by name alone: it cannot be " +
                           "imported under " + plan.company + ". Import it into " + other +
                           " instead.");
      }
    }
  }
  const std::string appFile = tree.AppFile(name);
  const bool fileThere = FileExists(appFile);
  plan.newApp = !listed;
  plan.appExists = listed || fileThere;
  AppProfile oldApp;
  oldApp.specReq.clear();
  if (fileThere) {
    ReadAppSection(IniDocument::Load(appFile), oldApp);
    oldApp.longDesc = LoadLines(tree.LongDescFile(name)).value_or(Lines{});
    oldApp.notes = LoadLines(tree.NotesFile(name)).value_or(Lines{});
  }
  oldApp.name = name;
  plan.appAfter = oldApp;
  for (const auto& f : kAppFields) {
    if (f.key == "NAME" || (content.app.*f.member).empty()) continue;
    plan.appAfter.*f.member = content.app.*f.member;
  }
  if (!content.app.longDesc.empty()) plan.appAfter.longDesc = content.app.longDesc;
  plan.appAfter.notes = MergeNotes(oldApp.notes, content.app.notes);

  if (plan.newApp) plan.changes.push_back({"NAME", "", name});
  for (const auto& f : kAppFields) {
    if (f.key == "NAME" || oldApp.*f.member == plan.appAfter.*f.member) continue;
    plan.changes.push_back({std::string(f.key), oldApp.*f.member, plan.appAfter.*f.member});
  }
  if (oldApp.longDesc != plan.appAfter.longDesc) {
    plan.changes.push_back({"LONGDESC", Joined(oldApp.longDesc), Joined(plan.appAfter.longDesc)});
  }
  if (oldApp.notes != plan.appAfter.notes) {
    plan.changes.push_back({"NOTES", Joined(oldApp.notes), Joined(plan.appAfter.notes)});
  }
  return plan;
}

std::optional<std::string> PadPlanRefusal(const PadPlan& plan) {
  if (!plan.appExists || plan.update) return std::nullopt;
  return "The application " + plan.appAfter.name +
         " exists already; it is changed only when you choose to update it.";
}

void ApplyPadPlan(CompanyPage& company, AppPage& app, const PadPlan& plan) {
  if (auto refused = PadPlanRefusal(plan)) throw VendrixError(*refused);
  // Every file the import writes, as one change: a refusal or a failed write half way
  // leaves the tree as it was.
  FileBatch batch;
  if (plan.newCompany) {
    if (!company.NewCompany(plan.company)) {
      throw VendrixError("The company " + plan.company + " could not be created.");
    }
  } else if (company.Shown() != plan.company && !company.Select(plan.company)) {
    throw VendrixError("No company named " + plan.company);
  }
  if (plan.newCompany || plan.update) {
    for (const auto& f : kCompanyFields) {
      if (f.control.empty() || f.key == "CONAME") continue;
      company.SetField(f.key, plan.companyAfter.*f.member);
    }
    company.SaveCompany();
  }
  const std::string& name = plan.appAfter.name;
  if (plan.newApp) {
    if (!app.NewApp(name)) throw VendrixError("The application " + name + " could not be created.");
  } else if (app.Shown() != name && !app.Select(name)) {
    throw VendrixError("No application named " + name);
  }
  for (const auto& f : kAppFields) {
    if (f.key == "NAME" || app.Profile().*f.member == plan.appAfter.*f.member) continue;
    if (!app.SetField(f.key, plan.appAfter.*f.member)) {
      throw VendrixError("The application's " + std::string(f.key) + " could not be set.");
    }
  }
  app.SetLongDesc(plan.appAfter.longDesc);
  app.SetNotes(plan.appAfter.notes);
  app.SaveApp();
  batch.Commit();
}

}  // namespace vendrix
