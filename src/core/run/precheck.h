#pragma once
// PreCheck: looks at the application, its company and every site a run would post to
// before anything is sent, and says what would go wrong or look wrong there. Offline
// checks read only the profiles, the program's files and the site definitions; the
// online checks (precheck_online.h) ask the servers.
//
// Each finding is an error (the run would fail or send something broken) or a
// warning (the run would work, but a site gets an empty or doubtful value). Texts are
// Windows-1252, like every core message.
//
// Failures: a site whose definition cannot be read is a finding, not an exception;
// Run throws only what the catalogue's reads throw for an unreadable catalogue. Not
// thread-safe: the thread that owns the session (or the run's worker); the engine's
// context must hold the profiles and is restored afterwards.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/site_builder.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "script/eng_build.h"

namespace vendrix {

enum class FindingSeverity { Error, Warning };

struct Finding {
  FindingSeverity severity = FindingSeverity::Error;
  std::string where;  // "application", "company", "settings", or the site's name
  std::string field;  // a profile key ("PATH"), a variable ("%APPSCREEN%"), a setting
  std::string text;   // one sentence
};

inline constexpr const char* kWhereApplication = "application";
inline constexpr const char* kWhereCompany = "company";
inline constexpr const char* kWhereSettings = "settings";

// A server a site's upload or the mail step will connect to, for the online check.
struct ServerProbe {
  std::string where, field;
  std::string host;
  std::uint16_t port = 0;
};

// "host", "host:port" or "[v6]:port"; defaultPort when none is given. nullopt for a
// port that is not 1 to 65535.
std::optional<ServerProbe> SplitServer(std::string_view text, std::uint16_t defaultPort);

// What the check looks at besides the engine's profiles.
struct PreCheckTarget {
  const std::vector<AppSiteRow>* rows = nullptr;
  std::vector<std::size_t> indexes;  // the rows a run would post to
  std::string smtpServer;            // the program's mail settings
  std::string senderEmail;
  std::string rootDir;  // the data tree's root (UTF-8): where a relative PATH is read
};

std::size_t CountErrors(const std::vector<Finding>& findings);

// Placeholder text a description should not hold ("TODO", "lorem ipsum", "xxx",
// "your company"), found without regard to case; the first one found, or "".
std::string FindPlaceholder(std::string_view text);
// A plain check of an e-mail address: one "@", a name before it, a domain with a dot
// after it, no blank or control character.
bool LooksLikeEmail(std::string_view address);
// An absolute http, https or ftp URL with a host and no blank or control character.
bool LooksLikeUrl(std::string_view url);

class PreCheck {
 public:
  // How the check opens a site and reads the open one (the run opens sites through its
  // host, the command line through the site builder).
  using OpenSiteFn = std::function<bool(const std::string& name)>;
  using OpenedSiteFn = std::function<const SiteDefinition&()>;

  PreCheck(TEngBuild& eng, SiteBuilder& builder)
      : eng_(eng),
        openSite_([&builder](const std::string& name) { return builder.OpenSite(name); }),
        site_([&builder]() -> const SiteDefinition& { return builder.Definition(); }) {}
  PreCheck(TEngBuild& eng, OpenSiteFn openSite, OpenedSiteFn site)
      : eng_(eng), openSite_(std::move(openSite)), site_(std::move(site)) {}

  std::vector<Finding> Run(const PreCheckTarget& target);
  // The FTP servers of the sites the last Run looked at (one entry per server).
  const std::vector<ServerProbe>& FtpServers() const { return ftpServers_; }

  // The parts of Run, for callers that want one of them.
  void CheckApplication(const AppProfile& app, const CompanyProfile& company,
                        std::vector<Finding>& out, const std::string& rootDir = {});
  void CheckSite(const AppSiteRow& row, const PreCheckTarget& target, std::vector<Finding>& out);

 private:
  void CheckVariables(const AppSiteRow& row, std::string_view text, std::vector<Finding>& out,
                      std::vector<std::string>& seen);

  TEngBuild& eng_;
  OpenSiteFn openSite_;
  OpenedSiteFn site_;
  std::vector<ServerProbe> ftpServers_;
  std::set<std::string> ftpServerSeen_;  // "host:port" of each entry of ftpServers_
};

}  // namespace vendrix
