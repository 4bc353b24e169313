// vendrix-cli manifest winget|scoop|chocolatey|all: the package managers' manifests
// of one application, checked against each channel's rules, then written under DIR.
// Exit 3 when a rule is broken (nothing written), 1 for a refusal or a download that
// is not the program file.
#include <iostream>

#include "app/manifest_download.h"
#include "app/manifest_export.h"
#include "app/program_settings.h"
#include "app/session.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "cli.h"

namespace vendrix::cli {
namespace {

constexpr int kExitFindings = 3;

}  // namespace

int ManifestCommand(Context& c) {
  const std::string which = c.args.Next("winget, scoop, chocolatey or all");
  const auto channels = ChannelsFromWord(which);
  if (!channels) throw UsageError("manifest takes winget, scoop, chocolatey or all, not " + which);
  auto app = c.args.Option("--app");
  auto company = c.args.Option("--company");
  auto out = c.args.Option("--out");
  auto caFile = c.args.Option("--cafile");
  const bool verify = c.args.Flag("--verify-download");
  const bool pack = c.args.Flag("--pack");
  const bool force = c.args.Flag("--force");
  if (!app) throw UsageError("manifest needs --app A");
  if (!out) throw UsageError("manifest needs --out DIR");
  if (!c.args.Empty()) throw UsageError("unexpected words after manifest");
  if (pack && !(*channels & kChocolatey)) throw UsageError("--pack belongs to chocolatey or all");
  SelectCompanyFor(c, company, app);
  SelectApp(c, app);

  const ManifestPlan plan = PlanManifests(c.session.Company().Profile(), c.session.App().Profile(),
                                          *channels, pack, c.session.Wide().ProgramDir);
  if (!plan.findings.empty()) {
    OutText([&] {
      std::string text;
      for (const auto& f : plan.findings) {
        text += Utf8ToCp1252(f.channel + "\t" + f.field + "\t" + f.rule + "\t" + f.value) + "\n";
      }
      return text;
    }());
    std::cerr << plan.findings.size()
              << (plan.findings.size() == 1 ? " rule broken" : " rules broken")
              << "; nothing written.\n";
    return kExitFindings;
  }
  if (verify) {
    DownloadOptions options;
    if (caFile) options.caFile = Cp1252ToUtf8(*caFile);
    // Through the proxy of the program settings, as every fetch of the program.
    const DownloadCheck check =
        VerifyPlanDownload(plan, LoadProgramSettings(c.session.Wide().SettingsFile()), options);
    Out(Utf8ToCp1252("Download check: " + plan.facts.installerUrl + " is the program file (" +
                     std::to_string(check.bytes) + " bytes, SHA-256 " + plan.facts.sha256 + ")."));
  }
  for (const auto& file : WriteManifestSets(Cp1252ToUtf8(*out), plan.sets, force)) {
    Out(Utf8ToCp1252(file.path + "\t" + std::to_string(file.bytes) + " bytes" +
                     (file.unchanged ? "\tunchanged" : "")));
  }
  return kExitOk;
}

}  // namespace vendrix::cli
