#pragma once
// The dry run: walks the rows a submission run would post to, in table order, opens
// each row's site and builds what would be sent (the FTP plan with its archive and
// text file, the HTTP request, the e-mail and its copy) without sending anything.
// The run walks its rows with the same RowsToPost and opens sites the same way.
//
// Failures: a submission that cannot be built is reported in the site's outcome
// (and logged by the builder); writes of the work files in the files folder throw
// VendrixError. Not thread-safe: the thread that owns the session (or the run's
// worker), for the whole walk; the engine's context is restored afterwards.
#include <optional>
#include <string>
#include <vector>

#include "base/data_tree.h"
#include "catalogue/site_builder.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "script/eng_build.h"
#include "script/submission.h"
#include "script/submission_builder.h"

namespace vendrix {

// Indexes of the rows a run posts to: marked "Y" and fitting the application's
// platform and status, in table order.
std::vector<std::size_t> RowsToPost(const std::vector<AppSiteRow>& rows, std::string_view platform,
                                    std::string_view status);

// The application as a run sends it: the long description wrapped to 72 columns.
AppProfile ProfileForRun(const AppProfile& app);

// What one site would get. A method the site does not use (or has no address for,
// for the row's kind) is left out.
struct DryRunSite {
  std::string site;
  bool isNew = true;
  bool ftp = false;                           // the site takes uploads
  std::optional<FtpSubmission> ftpPlan;       // empty: the archive to upload is missing
  bool http = false;                          // the site takes web forms and has an address
  std::optional<HttpSubmission> httpRequest;  // empty: nothing would be sent
  bool mail = false;                          // the site takes mail and has a recipient
  std::vector<MailSubmission> mails;          // the message, then its copy when asked for
  bool mailFailed = false;                    // no script: nothing would be sent
};

// What the dry run reports, site by site: SiteStarts before the builders run (their
// log lines follow), SiteBuilt with the outcome.
class DryRunView {
 public:
  virtual ~DryRunView() = default;
  virtual void SiteStarts(const AppSiteRow& row) = 0;
  virtual void SiteBuilt(const DryRunSite& site) = 0;
};

class DryRun {
 public:
  DryRun(TEngBuild& eng, SiteBuilder& builder, const DataTree& tree, SubmissionLog& log)
      : eng_(eng), builder_(builder), tree_(tree), log_(log) {}

  // Walks the rows to post, or only the rows of the site named (marked or not);
  // returns how many sites were built.
  int Run(const std::vector<AppSiteRow>& rows, const AppProfile& app, const MailSender& sender,
          const std::optional<std::string>& only, DryRunView& view);

  // Opens the row's site, makes the row current and builds its submissions. The
  // engine's context must hold the profiles.
  DryRunSite BuildSite(const AppSiteRow& row, const MailSender& sender);

 private:
  TEngBuild& eng_;
  SiteBuilder& builder_;
  const DataTree& tree_;
  SubmissionLog& log_;
};

}  // namespace vendrix
