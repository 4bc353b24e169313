#include "app/manifest_download.h"

#include <sys/stat.h>

#include "base/cp1252.h"
#include "base/error.h"
#include "net/http_client.h"
#include "net/http_fetch.h"
#include "run/file_digest.h"

namespace vendrix {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

}  // namespace

DownloadCheck VerifyDownload(const std::string& url, const std::string& expectedSha256,
                             long long expectedBytes, const DownloadOptions& options) {
  auto differs = [&](const std::string& why) {
    return VendrixError("Download check: the file at " + url +
                        " is not the file you are releasing (" + why + ").");
  };
  THttpClient http;
  http.UserAgent = "Vendrix";
  http.CaFile = options.caFile;
  http.StopToken = options.cancel;
  if (!options.proxyServer.empty()) {
    http.ProxyServer = options.proxyServer;
    http.ProxyPort = options.proxyPort;
  }
  DownloadCheck check;
  Sha256 sha;
  // Never more than the program file: a larger file differs, whatever the rest holds.
  const FetchLimits limits{expectedBytes, kMaxDownloadHops, options.timeoutSeconds};
  try {
    const FetchResult fetched =
        FetchFollowingRedirects(http, url, limits, [&](std::string_view block) {
          check.bytes += static_cast<long long>(block.size());
          ++check.blocks;
          sha.Add(block);
        });
    check.finalUrl = fetched.url;
    check.redirects = fetched.redirects;
  } catch (const FetchTooLarge&) {
    throw differs("it is larger than the program file's " + std::to_string(expectedBytes) +
                  " bytes");
  } catch (const VendrixError& e) {
    throw VendrixError("Download check: " + http.URL() + ": " + e.what());
  } catch (const std::exception& e) {
    throw VendrixError("Download check: " + http.URL() + ": " + e.what());
  }
  const std::string hex = sha.Hex();
  if (hex != Lower(expectedSha256)) {
    throw differs("its SHA-256 is " + hex + ", the program file's " + Lower(expectedSha256));
  }
  return check;
}

DownloadCheck VerifyPlanDownload(const ManifestPlan& plan, const ProgramSettings& settings,
                                 DownloadOptions options) {
  struct stat st {};
  if (plan.programPath.empty() || ::stat(plan.programPath.c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode)) {
    throw VendrixError("The program file " + Utf8ToCp1252(plan.programPath) + " cannot be read.");
  }
  if (!settings.proxy.empty()) {
    if (auto problem = settings.ProxyProblem(); !problem.empty()) throw VendrixError(problem);
    options.proxyServer = settings.proxy;
    options.proxyPort = static_cast<std::uint16_t>(settings.ProxyPort());
  }
  return VerifyDownload(plan.facts.installerUrl, plan.facts.sha256, st.st_size, options);
}

}  // namespace vendrix
