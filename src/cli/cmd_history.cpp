// vendrix-cli history: what each site already got for an application.
#include <iostream>

#include "base/error.h"
#include "cli.h"
#include "run/post_history.h"

namespace vendrix::cli {

int HistoryCommand(Context& c) {
  auto app = c.args.Option("--app");
  if (!app) throw UsageError("history needs --app A");
  auto site = c.args.Option("--site");
  if (!c.args.Empty()) throw UsageError("unexpected words after history");
  SelectAppContext(c, app);
  std::string problem;
  const PostHistory history =
      PostHistory::Load(c.session.Wide().HistoryFile(c.session.App().Profile().name), &problem);
  if (!problem.empty()) throw VendrixError("The history cannot be read: " + problem);
  for (const auto& e : history.Entries()) {
    if (site && e.site != *site) continue;
    Out(e.site + "\t" + e.version + "\t" + e.when + "\t" + e.kind + "\t" + e.methods);
  }
  return kExitOk;
}

}  // namespace vendrix::cli
