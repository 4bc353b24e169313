#pragma once
// Makes sure the installer at the manifests' address is the file being released:
// fetches it with the HTTP client (redirects followed, at most kMaxDownloadHops of
// them; never more bytes than the local file has, so a larger file is known to differ
// without reading it all; one deadline for the whole fetch, which a slow but steady
// server meets as long as it ends in time) and compares its SHA-256 with the program
// file's. Throws VendrixError: "Download check: the file at URL is not the file you
// are releasing (...)" for another file, and the reason for a fetch that did not end
// (a loop of redirects, the deadline, the client's coded failures). Blocks the calling
// thread; any thread.
#include <cstdint>
#include <string>

#include "app/manifest_export.h"
#include "base/program_settings.h"
#include "net/cancel_token.h"

namespace vendrix {

inline constexpr int kMaxDownloadHops = 5;

struct DownloadOptions {
  int timeoutSeconds = 600;  // the whole fetch, redirects included
  std::string caFile;        // extra trusted certificates (PEM), UTF-8 path
  std::string proxyServer;   // the program settings' proxy, "" for none
  std::uint16_t proxyPort = 80;
  const CancelToken* cancel = nullptr;
};

struct DownloadCheck {
  std::string finalUrl;  // where the file came from after the redirects
  int redirects = 0;
  long long bytes = 0;
  int blocks = 0;  // how many pieces the body arrived in
};

// expectedSha256: lower-case hex; expectedBytes: the program file's size.
DownloadCheck VerifyDownload(const std::string& url, const std::string& expectedSha256,
                             long long expectedBytes, const DownloadOptions& options = {});

// The check of a plan's installer address against its program file, through the
// proxy of the program settings (which replaces options' proxy when one is set).
// Throws VendrixError as VerifyDownload does, and for a program file that cannot be
// read or a proxy setting that is refused.
DownloadCheck VerifyPlanDownload(const ManifestPlan& plan, const ProgramSettings& settings,
                                 DownloadOptions options = {});

}  // namespace vendrix
