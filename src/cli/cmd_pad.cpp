// vendrix-cli app import-pad ... and app export-pad ...: an application and its
// company from a PAD file, and back.
#include <iostream>

#include "app/pad_fetch.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "cli.h"
#include "exchange/pad_export.h"
#include "exchange/pad_import.h"
#include "exchange/pad_plan.h"

namespace vendrix::cli {

int ImportPadCommand(Context& c) {
  auto company = c.args.Option("--company");
  auto caFile = c.args.Option("--cafile");
  const bool update = c.args.Flag("--update");
  const bool dryRun = c.args.Flag("--dry-run");
  std::string source = c.args.Next("PAD file or URL");
  if (!c.args.Empty()) throw UsageError("import-pad takes one FILE or URL");

  std::string bytes;
  if (IsPadUrl(source)) {
    const ProgramSettings settings = LoadProgramSettings(c.session.Wide().SettingsFile());
    bytes = FetchPadFile(source, settings, caFile ? Cp1252ToUtf8(*caFile) : std::string());
  } else {
    bytes = ReadPadFile(Cp1252ToUtf8(source));
  }
  const PadContent content = PadImport(bytes);
  const PadPlan plan =
      PlanPadImport(c.session.Wide(), c.session.Company().Names(), content, company, update);

  for (const auto& finding : plan.findings) Out("Not stored: " + finding);
  Out(std::string(plan.newCompany ? "New company " : "Company ") + plan.company + ", " +
      (plan.newApp ? "new application " : "application ") + plan.appAfter.name);
  if (plan.changes.empty()) {
    Out("No field changes.");
  } else {
    Out("Field\tOld value\tNew value");
    for (const auto& change : plan.changes) {
      Out(change.field + "\t" + change.oldValue + "\t" + change.newValue);
    }
  }
  if (auto refused = PadPlanRefusal(plan)) {
    std::cerr << Cp1252ToUtf8(*refused + " Add --update to change it.") << '\n';
    return kExitRefused;
  }
  if (dryRun) return kExitOk;
  ApplyPadPlan(c.session.Company(), c.session.App(), plan);
  return kExitOk;
}

int ExportPadCommand(Context& c) {
  auto out = c.args.Option("--out");
  SelectCompany(c);
  std::string name = c.args.Next("application name");
  if (!out) throw UsageError("export-pad needs --out FILE");
  if (!c.args.Empty()) throw UsageError("export-pad takes one application name");
  SelectApp(c, name);
  std::vector<std::string> findings;
  if (*out == "-") {
    std::cout << PadExport(c.session.Company().Profile(), c.session.App().Profile(), &findings);
  } else {
    WritePadFile(Cp1252ToUtf8(*out), c.session.Company().Profile(), c.session.App().Profile(),
                 &findings);
  }
  // What the file does not carry whole, on the error stream (standard output may be the file).
  for (const auto& f : findings) std::cerr << Cp1252ToUtf8("Not carried whole: " + f) << '\n';
  return kExitOk;
}

}  // namespace vendrix::cli
