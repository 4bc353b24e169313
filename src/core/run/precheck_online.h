#pragma once
// The online half of the pre-submission check: every web address of the profiles
// answers, the download addresses offer a file of the program's size, and the FTP and
// mail servers the run will use take a connection.
//
// A web address is asked with HEAD (a GET of its first byte when HEAD is refused),
// following at most 5 redirects; it must end in a 2xx within its deadline. At most
// `parallel` checks run at once, each on its own thread with its own deadline; the
// whole check ends when the slowest one does (or at once when cancel is raised).
//
// Failures are findings, never exceptions (a thread that cannot start is reported as
// a finding too). Any thread; the calls block until every check has ended.
#include <cstdint>
#include <string>
#include <vector>

#include "net/cancel_token.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "run/precheck.h"

namespace vendrix {

struct UrlProbe {
  std::string where, field, url;
  long long expectedSize = -1;  // the program file's size, for download addresses
};

struct OnlineOptions {
  int parallel = 8;
  int timeoutSeconds = 10;  // for each address or server, redirects included
  int maxRedirects = 5;
  std::string caFile;  // extra trusted certificates (PEM)
  const CancelToken* cancel = nullptr;
};

// The web addresses of the profiles: the application page, the download addresses
// (with the program's size when programSize >= 0), the screenshot and icons, the
// company's home page.
std::vector<UrlProbe> ProfileUrls(const AppProfile& app, const CompanyProfile& company,
                                  long long programSize);

std::vector<Finding> CheckOnline(const std::vector<UrlProbe>& urls,
                                 const std::vector<ServerProbe>& servers,
                                 const OnlineOptions& options);

// One address: the finding it gives, if any (the check of CheckOnline).
std::optional<Finding> CheckUrl(const UrlProbe& probe, const OnlineOptions& options);
std::optional<Finding> CheckServer(const ServerProbe& probe, const OnlineOptions& options);

}  // namespace vendrix
