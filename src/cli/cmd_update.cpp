// vendrix-cli update: replaces the site catalogue with the maker's archive.
#include <iostream>

#include "app/program_settings.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "cli.h"
#include "update/data_update.h"

namespace vendrix::cli {
namespace {

// Shows each new status line; the bar, percentage and trace stay in the window.
class LineObserver : public UpdateObserver {
 public:
  void Status(const std::string& text) override {
    if (text == last_) return;
    last_ = text;
    Out(text);
  }
  void Percent(int) override {}
  void Bar(long long, long long, long long) override {}
  void Trace(const std::string&, bool) override {}

 private:
  std::string last_;
};

}  // namespace

int UpdateCommand(Context& c) {
  auto url = c.args.Option("--url");
  auto file = c.args.Option("--file");
  auto caFile = c.args.Option("--cafile");
  if (!c.args.Empty()) throw UsageError("update takes --url URL or --file ZIP");
  if (url && file) throw UsageError("update takes --url or --file, not both");
  const TGWide& wide = c.session.Wide();
  ProgramSettings settings = LoadProgramSettings(wide.SettingsFile());
  // A download through a proxy needs a port that is one.
  if (!file && !settings.proxy.empty() && !settings.ProxyProblem().empty()) {
    throw VendrixError(settings.ProxyProblem());
  }
  UpdateSource source{url.value_or(settings.updateUrl), settings.proxy,
                      static_cast<std::uint16_t>(settings.ProxyPort()),
                      caFile ? Cp1252ToUtf8(*caFile) : std::string()};
  LineObserver observer;
  Tgeteng window({wide.UpdatesDir, wide.SitesDir, wide.CatDir}, source, c.prompt, observer);
  if (!file) window.Open();  // Install opens it once it has read the archive
  UpdateOutcome outcome = file ? window.Install(Cp1252ToUtf8(*file)) : window.StartUpdate();
  for (const auto& kept : window.KeptFiles()) Out("kept: " + Utf8ToCp1252(kept));
  if (outcome == UpdateOutcome::NoArchive) {
    std::cerr << "No archive arrived; nothing was changed.\n";
    return kExitRefused;
  }
  c.session.UpdateWindowClosed(window.UpdateComplete());
  return outcome == UpdateOutcome::Completed ? kExitOk : kExitRefused;
}

}  // namespace vendrix::cli
