#include "app/manifest_download.h"

#include <openssl/evp.h>

#include <chrono>
#include <memory>

#include "base/error.h"
#include "net/http_client.h"
#include "net/net_error.h"

namespace vendrix {
namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

// The address a Location header leads to from url.
std::string Follow(const std::string& url, const std::string& location) {
  const std::string lower = Lower(location);
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) return location;
  const auto schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return location;
  if (location.rfind("//", 0) == 0) return url.substr(0, schemeEnd + 1) + location;
  const auto pathStart = url.find('/', schemeEnd + 3);
  const std::string origin = pathStart == std::string::npos ? url : url.substr(0, pathStart);
  if (!location.empty() && location.front() == '/') return origin + location;
  std::string base = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  base = base.substr(0, base.find_first_of("?#"));
  return origin + base.substr(0, base.rfind('/') + 1) + location;
}

struct DigestFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// Thrown from the body's events once it holds more than the program file.
struct TooLarge {};

}  // namespace

DownloadCheck VerifyDownload(const std::string& url, const std::string& expectedSha256,
                             long long expectedBytes, const DownloadOptions& options) {
  const auto deadline = Clock::now() + std::chrono::seconds(options.timeoutSeconds);
  DownloadCheck check;
  std::string address = url;
  auto differs = [&](const std::string& why) {
    return VendrixError("Download check: the file at " + url +
                        " is not the file you are releasing (" + why + ").");
  };
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
    if (left < 1) {
      throw VendrixError("Download check: " + url + " did not arrive within " +
                         std::to_string(options.timeoutSeconds) + " seconds.");
    }
    std::unique_ptr<EVP_MD_CTX, DigestFree> digest(EVP_MD_CTX_new());
    if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1) {
      throw VendrixError("Download check: SHA-256 is not available.");
    }
    THttpClient http;
    http.UserAgent = "Vendrix";
    http.TimeOut = static_cast<int>(left);
    http.CaFile = options.caFile;
    http.StopToken = options.cancel;
    std::string location;
    http.OnHeader = [&](const std::string& field, const std::string& value) {
      if (Lower(field) == "location") location = value;
    };
    long long bytes = 0;
    int blocks = 0;
    http.OnTransfer = [&](long long, std::string_view block) {
      bytes += static_cast<long long>(block.size());
      ++blocks;
      if (bytes > expectedBytes) throw TooLarge{};
      EVP_DigestUpdate(digest.get(), block.data(), block.size());
    };
    http.SetURL(address);
    bool redirected = false;
    try {
      http.SetAction(THttpActions::httpGet);
    } catch (const TooLarge&) {
      throw differs("it is larger than the program file's " + std::to_string(expectedBytes) +
                    " bytes");
    } catch (const EHttpClient& e) {
      const std::string& status = http.StatusLine();
      const auto blank = status.find(' ');
      const char klass =
          blank == std::string::npos || blank + 1 >= status.size() ? 0 : status[blank + 1];
      if (e.ErrorCode != code::kHttpStatus || klass != '3' || location.empty()) {
        throw VendrixError("Download check: " + address + ": " + e.what());
      }
      redirected = true;
    }
    if (redirected) {
      if (++check.redirects > kMaxDownloadHops) {
        throw VendrixError("Download check: " + url + " redirects more than " +
                           std::to_string(kMaxDownloadHops) +
                           " times; it is not followed further.");
      }
      address = Follow(address, location);
      continue;
    }
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(digest.get(), sum, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
      hex += kHex[sum[i] >> 4];
      hex += kHex[sum[i] & 15];
    }
    check.finalUrl = address;
    check.bytes = bytes;
    check.blocks = blocks;
    if (hex != Lower(expectedSha256)) {
      throw differs("its SHA-256 is " + hex + ", the program file's " + Lower(expectedSha256));
    }
    return check;
  }
}

}  // namespace vendrix
