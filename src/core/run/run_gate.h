#pragma once
// The run's gate: what a run will send. The application's checks, which steps a site
// takes, where each stands in the application's history, the sites that already have
// the version, and the warning for a step that may have reached its site already.
// Used by the run before it posts (with the check before a run, PreCheck, and the
// confirmation) and by that check on its own. Pure functions over their arguments
// (open may load a site definition); the caller's thread.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/site_definition.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "run/post_history.h"
#include "run/precheck.h"
#include "run/step_ledger.h"

namespace vendrix {

// The first of the application's problems that stop a run, as the person reads it ("" when
// there is none): a field left empty, a file that is not there.
// A relative PATH is read from rootDir, the data tree's root (UTF-8).
std::string ApplicationProblem(const AppProfile& app, const std::string& rootDir = {});

// The steps the site takes for a new submission or an update, by RunStep: FTP when it
// uploads, HTTP when it posts and has a URL, e-mail when it mails and has an address.
std::array<bool, 3> StepsOf(const SiteDefinition& site, bool isNew);

// Where the site's steps stand for the version (None for a step it does not take).
StepStandings StandingsOf(const PostHistory& history, const std::string& site,
                          const std::string& version, const std::array<bool, 3>& steps);

// "may have reached SITE on DATE (STEP); check the site, or send again"
std::string MayHaveReached(const std::string& site, const std::string& when, RunStep step);

// The rows' sites (by index) that got every step they take of the version, and, with
// " (may have it: check the site)", those with a step that may have reached them:
// what "Send again" sends whole. With held, also the sites a run without "Send again"
// sends nothing to (each step delivered or one that may have reached the site).
std::vector<std::string> AlreadySentSites(
    const PostHistory& history, const std::vector<AppSiteRow>& rows,
    const std::vector<std::size_t>& indexes, const std::string& version,
    const std::function<const SiteDefinition*(const std::string&)>& open,
    std::vector<std::string>* held = nullptr);

// A warning for every step of the rows that may have reached its site for the
// version. open gives a row's site definition (nullptr when it cannot be read).
std::vector<Finding> UncertainFindings(
    const PostHistory& history, const std::vector<AppSiteRow>& rows,
    const std::vector<std::size_t>& indexes, const std::string& version,
    const std::function<const SiteDefinition*(const std::string&)>& open);

}  // namespace vendrix
