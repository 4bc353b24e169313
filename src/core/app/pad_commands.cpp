#include "app/pad_commands.h"

#include "base/cp1252.h"
#include "exchange/pad_export.h"
#include "exchange/pad_import.h"

namespace vendrix {
namespace {

// Unsaved edits of the shown profiles would be lost when the import shows another
// company or application: offers to save them. False when the person cancels.
bool SaveShownFirst(Session& session) {
  MainFlags& flags = session.Flags();
  const bool company = !flags.CompanySaved && !session.Company().Shown().empty();
  const bool app = !flags.AppSaved && !session.App().Shown().empty();
  if (!company && !app) return true;
  Answer answer = session.Prompt().Confirm(
      "Save the changes to the shown company and application before the import?", true);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) {
    if (company) session.Company().SaveCompany();
    if (app) session.App().SaveApp();
  }
  return true;
}

}  // namespace

bool ImportPadFile(Session& session, const PadPreview& preview) {
  UserPrompt& prompt = session.Prompt();
  auto path = prompt.ChooseFile({"Import PAD File", kPadFilter, "XML"});
  if (!path) return false;
  try {
    const PadContent content = PadImport(ReadPadFile(Cp1252ToUtf8(*path)));
    // The plan reads the profile files, so what is shown is saved (or dropped) first.
    if (!SaveShownFirst(session)) return false;
    // The file's company, or the shown one when the file names none.
    std::optional<std::string> company;
    if (content.company.name.empty() && !session.Company().Shown().empty()) {
      company = session.Company().Shown();
    }
    const Lines& companies = session.Company().Names();
    PadPlan plan = PlanPadImport(session.Wide(), companies, content, company, false);
    if (plan.appExists) {
      if (prompt.Confirm("The application " + plan.appAfter.name +
                             " already exists. Update it with the values of the PAD file?",
                         false) != Answer::Yes) {
        return false;
      }
      plan = PlanPadImport(session.Wide(), companies, content, company, true);
    }
    if (!preview || !preview(plan)) return false;
    const std::string shown = session.Company().Shown();
    try {
      ApplyPadPlan(session.Company(), session.App(), plan);
    } catch (...) {
      // Nothing was written: the pages show the files again.
      session.Company().LoadList();
      if (!shown.empty()) session.ChooseCompany(shown);
      throw;
    }
    return true;
  } catch (const std::exception& e) {
    prompt.Error(e.what());
    return false;
  }
}

bool ExportPadFile(Session& session) {
  UserPrompt& prompt = session.Prompt();
  if (session.App().Shown().empty()) {
    prompt.Error("There is no application to export.");
    return false;
  }
  auto path = prompt.ChooseSaveFile({"Export PAD File", kPadFilter, "xml"});
  if (!path) return false;
  try {
    std::vector<std::string> findings;
    WritePadFile(Cp1252ToUtf8(*path), session.Company().Profile(), session.App().Profile(),
                 &findings);
    if (!findings.empty()) {
      std::string text = "The PAD file was written; it does not carry these values whole:";
      for (const auto& f : findings) text += "\r\n" + f;
      prompt.Inform(text);
    }
    return true;
  } catch (const std::exception& e) {
    prompt.Error(e.what());
    return false;
  }
}

}  // namespace vendrix
