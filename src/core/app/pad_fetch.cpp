#include "app/pad_fetch.h"

#include "base/error.h"
#include "exchange/pad_elements.h"
#include "net/http_client.h"
#include "net/http_fetch.h"

namespace vendrix {

bool IsPadUrl(const std::string& source) {
  auto starts = [&source](std::string_view scheme) {
    if (source.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      char c = source[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (c != scheme[i]) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

std::string FetchPadFile(const std::string& url, const ProgramSettings& settings,
                         const std::string& caFile, int timeoutSeconds) {
  THttpClient http;
  http.UserAgent = "Vendrix HTTP Component V1.0";
  http.TimeOut = timeoutSeconds;
  http.CaFile = caFile;
  if (!settings.proxy.empty()) {
    // A proxy port that is no port is refused, never cut to 16 bits.
    if (auto problem = settings.ProxyProblem(); !problem.empty()) throw VendrixError(problem);
    http.ProxyServer = settings.proxy;
    http.ProxyPort = static_cast<std::uint16_t>(settings.ProxyPort());
  }
  std::string body;
  try {
    FetchFollowingRedirects(http, url, {kMaxPadBytes, 5},
                            [&body](std::string_view block) { body.append(block); });
  } catch (const FetchTooLarge&) {
    throw VendrixError("The PAD file is larger than 4 MiB; it is refused.");
  } catch (const VendrixError&) {
    throw;
  } catch (const std::exception& e) {
    throw VendrixError(e.what());  // a socket failure, with its code
  }
  return body;
}

}  // namespace vendrix
