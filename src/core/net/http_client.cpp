#include "net/http_client.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "base/base64.h"
#include "base/error.h"
#include "net/http_chunked.h"
#include "net/http_head.h"
#include "net/net_error.h"
#include "net/part_file.h"
#include "net/stream.h"

namespace vendrix {
namespace {

std::string StatusText(const std::string& statusLine) {
  auto space = statusLine.find(' ');
  return space == std::string::npos ? "" : statusLine.substr(space + 1);
}

// Whether the status text starts with a code of exactly three digits ("2000 OK" and
// "20x" are none), followed by a space or nothing.
bool HasStatusCode(const std::string& statusLine) {
  std::string text = StatusText(statusLine);
  if (text.size() < 3 || (text.size() > 3 && text[3] != ' ')) return false;
  return std::all_of(text.begin(), text.begin() + 3,
                     [](unsigned char c) { return c >= '0' && c <= '9'; });
}

bool IsSuccess(const std::string& statusLine) {
  return HasStatusCode(statusLine) && StatusText(statusLine)[0] == '2';
}

std::string Trimmed(const std::string& s) {
  auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

const char* MethodOf(THttpActions action) {
  switch (action) {
    case THttpActions::httpHead:
      return "HEAD";
    case THttpActions::httpPost:
      return "POST";
    case THttpActions::httpPut:
      return "PUT";
    default:
      return "GET";
  }
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Refuses a value that would break out of its line in the request head.
void RequireSafe(const std::string& value, const std::string& what) {
  if (!IsProtocolSafe(value)) {
    throw EHttpClient(kErrUnsafeText, what + " holds a CR, LF or NUL character.");
  }
}

}  // namespace

THttpClient::THttpClient() = default;
THttpClient::~THttpClient() = default;

void THttpClient::SetURL(const std::string& url) {
  UrlParts parts = SplitUrl(url);
  if (!parts.server.empty()) {
    if (!lastServer_.empty() && parts.server != lastServer_) {
      user_.clear();
      password_.clear();
      authorization_.clear();
    }
    lastServer_ = parts.server;
  }
  url_ = url;
  parts_ = parts;
  if (parts_.userGiven) {
    // "user:password@" in the URL is the credentials for this server, never a host.
    user_ = parts_.user;
    password_ = parts_.password;
    UpdateAuthorization();
  }
}

void THttpClient::SetUser(const std::string& user) {
  user_ = user;
  UpdateAuthorization();
}

void THttpClient::SetPassword(const std::string& password) {
  password_ = password;
  UpdateAuthorization();
}

void THttpClient::UpdateAuthorization() {
  authorization_.clear();
  if (user_.empty() || password_.empty()) return;
  authorization_ = "Basic " + Base64((user_ + ":" + password_).substr(0, 185));
}

std::string THttpClient::RequestHead(const char* method) const {
  const bool tunnel = !ProxyServer.empty() && Lower(parts_.scheme) == "https";
  std::string target = parts_.path;
  if (!ProxyServer.empty() && !tunnel) {
    target = parts_.scheme + "://" + parts_.server +
             (parts_.port != 80 ? ":" + std::to_string(parts_.port) : "") + parts_.path;
  }
  std::string head = std::string(method) + " " + target + " HTTP/1.0\r\n";
  head += "Host: " + parts_.server +
          (parts_.port != DefaultPort(parts_.scheme) ? ":" + std::to_string(parts_.port) : "") +
          "\r\n";
  const std::pair<const char*, const std::string*> fields[] = {
      {"Authorization: ", &authorization_},
      {"Accept: ", &Accept},
      {"From: ", &From},
      {"User-Agent: ", &UserAgent},
      {"If-Modified-Since: ", &IfModifiedSince},
      {"Referer: ", &Referer},
      {"Pragma: ", &Pragma}};
  for (const auto& [name, value] : fields) {
    if (!value->empty()) head += std::string(name) + *value + "\r\n";
  }
  for (const auto& extra : ExtraHeaders) {
    std::string line;
    for (std::size_t i = 0; i < extra.size(); ++i) {
      if (extra[i] == '.' && (i == 0 || extra[i - 1] == '\n')) line += '.';
      line += extra[i];
    }
    head += line + "\r\n";
  }
  return head;
}

void THttpClient::SetAction(THttpActions action) {
  switch (action) {
    case THttpActions::httpIdle:
      cancel_.Cancel();
      return;
    case THttpActions::httpGet:
    case THttpActions::httpPost:
    case THttpActions::httpHead:
    case THttpActions::httpPut:
      return Perform(action);
    case THttpActions::httpResetHeaders: {
      std::string agent = UserAgent, proxy = ProxyServer;
      std::uint16_t proxyPort = ProxyPort;
      url_.clear();
      parts_ = UrlParts{};
      parts_.path.clear();
      PostData.clear();
      ContentType.clear();
      user_.clear();
      password_.clear();
      authorization_.clear();
      Accept.clear();
      From.clear();
      IfModifiedSince.clear();
      Referer.clear();
      Pragma.clear();
      ExtraHeaders.clear();
      statusLine_.clear();
      PostDataFile.clear();
      LocalFile.clear();
      UserAgent = agent;
      ProxyServer = proxy;
      ProxyPort = proxyPort;
      return;
    }
  }
  throw VendrixError("Invalid Action Value");
}

// Every value that becomes part of the request head, checked before anything is sent.
void THttpClient::RequireSafeRequest() const {
  RequireSafe(url_, "URL");
  const std::pair<const char*, const std::string*> fields[] = {
      {"Accept", &Accept},           {"From", &From},
      {"User-Agent", &UserAgent},    {"If-Modified-Since", &IfModifiedSince},
      {"Referer", &Referer},         {"Pragma", &Pragma},
      {"Content-Type", &ContentType}};
  for (const auto& [name, value] : fields) RequireSafe(*value, name);
  for (const auto& extra : ExtraHeaders) RequireSafe(extra, "An extra header");
}

void THttpClient::Perform(THttpActions action) {
  const char* method = MethodOf(action);
  cancel_.Reset();
  statusLine_.clear();
  requestWritten_ = false;
  retryAfter_.clear();
  struct ActionMark {
    std::atomic<THttpActions>& a;
    ~ActionMark() { a = THttpActions::httpIdle; }
  } mark{action_};
  action_ = action;
  if (parts_.server.empty())
    throw EHttpClient(code::kHttpNoServer,
                      "No server speci"
                      "fied in URL.");
  if (!parts_.error.empty()) throw EHttpClient(code::kHttpBadUrl, parts_.error);
  const std::string scheme = Lower(parts_.scheme);
  const bool useProxy = !ProxyServer.empty();
  if (!useProxy && scheme != "http" && scheme != "https") {
    throw EHttpClient(code::kHttpBadScheme,
                      "Speci"
                      "fied URLScheme is invalid.");
  }
  RequireSafeRequest();
  const bool tls = scheme == "https";
  // One deadline for the whole action: a peer that keeps talking cannot extend it.
  const Waiter w = Waiter::For(&cancel_, TimeOut, StopToken);
  Stream stream;
  bool connected = false;
  bool ended = false;
  auto endConnection = [&](int code, const std::string& text) {
    if (!connected) return;
    connected = false;
    stream.Close();
    if (!ended && OnEndTransfer) OnEndTransfer();
    ended = true;
    if (OnDisconnected) OnDisconnected(code, text);
  };
  try {
    try {
      stream.Connect(useProxy ? ProxyServer : parts_.server, useProxy ? ProxyPort : parts_.port, w);
    } catch (const NetFailure& f) {
      if (OnConnected) OnConnected(f.code, SocketErrorText(f.code));
      throw;
    }
    connected = true;
    if (OnConnected) OnConnected(0, "OK");
    if (tls) {
      if (useProxy) {
        std::string authority = parts_.server + ":" + std::to_string(parts_.port);
        stream.SendAll("CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n" +
                           (UserAgent.empty() ? "" : "User-Agent: " + UserAgent + "\r\n") + "\r\n",
                       w);
        std::string status;
        HeadEnd end = ReadReplyHead(stream, w, status, [](const std::string&) {});
        if (end != HeadEnd::None && !HasStatusCode(status)) {
          throw EHttpClient(code::kHttpBadStatus, "Reply has an invalid status line.");
        }
        if (!IsSuccess(status)) throw EHttpClient(code::kHttpStatus, StatusText(status));
        if (end != HeadEnd::Complete) throw NetFailure(kErrReset, kClosedEarlyText);
      }
      if (!tls_ || tlsCaFile_ != CaFile) {
        tls_ = MakeTlsContext(CaFile);
        tlsCaFile_ = CaFile;
      }
      stream.StartTls(tls_.get(), parts_.server, nullptr, w);
    }

    std::string head = RequestHead(method);
    const bool withBody = action_ == THttpActions::httpPost || action_ == THttpActions::httpPut;
    std::FILE* bodyFile = nullptr;
    long long fileSize = 0;
    if (withBody) {
      if (!ContentType.empty()) head += "Content-Type: " + ContentType + "\r\n";
      if (!PostDataFile.empty()) {
        bodyFile = std::fopen(PostDataFile.c_str(), "rb");
        if (!bodyFile) throw EHttpClient(kErrFileOpen, "Can't open file for reading/writing.");
        std::fseek(bodyFile, 0, SEEK_END);
        fileSize = std::ftell(bodyFile);
        std::fseek(bodyFile, 0, SEEK_SET);
      }
      head +=
          "Content-Length: " + std::to_string(static_cast<long long>(PostData.size()) + fileSize) +
          "\r\n";
    }
    head += "\r\n";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fileGuard(bodyFile,
                                                              bodyFile ? std::fclose : nullptr);
    if (OnBeforeRequest && !OnBeforeRequest()) throw NetFailure(kErrInterrupted, "Interrupted");
    stream.SendAll(head, w);
    if (withBody) {
      stream.SendAll(PostData, w);
      if (bodyFile) {
        std::vector<char> block(1 << 16);
        std::size_t n;
        long long sent = 0;
        while ((n = std::fread(block.data(), 1, block.size(), bodyFile)) > 0) {
          stream.SendAll(block.data(), n, w);
          sent += static_cast<long long>(n);
        }
        // The head promised fileSize bytes: a file that shrank would leave the server
        // waiting, or take the rest of the body from a later request.
        if (std::ferror(bodyFile) || sent != fileSize) {
          throw EHttpClient(kErrFileOpen, "Can't open file for reading/writing.");
        }
      }
    }
    fileGuard.reset();
    requestWritten_ = true;

    // The head: status line, header lines, an empty line.
    long long length = -1;  // Content-Length, when the reply gives one
    bool badLength = false;
    int codings = 0;  // Transfer-Encoding fields
    bool chunked = false;
    const HeadEnd headEnd = ReadReplyHead(stream, w, statusLine_, [&](const std::string& line) {
      std::string field, value;
      SplitHeaderLine(line, field, value);
      const std::string name = Lower(field);
      if (name == "content-length") {
        long long n = ParseContentLength(value);
        if (n < 0 || (length >= 0 && n != length)) badLength = true;
        length = n;
      } else if (name == "retry-after") {
        retryAfter_ = Trimmed(value);
      } else if (name == "transfer-encoding") {
        ++codings;
        chunked = Lower(Trimmed(value)) == "chunked";
      }
      if (OnHeader) OnHeader(field, value);
    });
    const bool haveStatus = headEnd != HeadEnd::None;
    if (haveStatus && !HasStatusCode(statusLine_)) {
      throw EHttpClient(code::kHttpBadStatus, "Reply has an invalid status line.");
    }
    const bool success = !haveStatus || IsSuccess(statusLine_);
    if (headEnd == HeadEnd::Cut && success) {
      // The connection ended before the empty line that ends the head.
      throw NetFailure(kErrReset, std::string(kClosedEarlyText) + " (it ended inside its head)");
    }
    // Replies that carry no body whatever their head says.
    const std::string statusCode = StatusText(statusLine_).substr(0, 3);
    const bool noBody =
        action_ == THttpActions::httpHead || statusCode == "204" || statusCode == "304";
    // A body in chunks is decoded; any other coding would be saved as it came, so it
    // fails. Its framing, not Content-Length, then ends the body.
    const bool inChunks = !noBody && codings == 1 && chunked;
    if (haveStatus && success && !noBody && codings > 0 && !inChunks) {
      throw EHttpClient(code::kHttpBadChunks, "Reply uses a Transfer-Encoding other than chunked.");
    }
    if (haveStatus && success && badLength && !inChunks) {
      throw EHttpClient(code::kHttpBadLength, "Reply has an invalid Content-Length.");
    }
    if (noBody) length = 0;

    // The body, streamed until the server closes (or Content-Length bytes came).
    std::unique_ptr<PartFile> out;
    if (haveStatus && success && !LocalFile.empty()) {
      out = std::make_unique<PartFile>(LocalFile);
      if (out->State() != PartFile::Opened::Ok) {
        if (OnError) OnError(kErrFileOpen, "Can't open file for reading/writing.");
        throw EHttpClient(kErrFileOpen, "Can't open file for reading/writing.");
      }
    }
    if (OnStartTransfer) OnStartTransfer();
    long long total = 0;
    // The reading block, not filled first: a form's answer is a few hundred bytes.
    constexpr std::size_t kBlock = 1 << 16;
    const std::unique_ptr<char[]> block(new char[kBlock]);
    auto writeFailed = [&] {
      int err = out->error();
      if (OnError) OnError(err, "Error writing to LocalFile");
      throw EHttpClient(err, "Error writing to LocalFile");
    };
    auto take = [&](std::string_view data) {
      total += static_cast<long long>(data.size());
      if (out && !out->Write(data)) writeFailed();
      if (OnTransfer) OnTransfer(total, data);
    };
    if (inChunks && success) {
      ReadChunkedBody(stream, w, kBlock, take);
    } else if (inChunks) {
      // The reply fails for its status below; a body out of form or cut short does
      // not change that failure (a time-out or an interruption does).
      try {
        ReadChunkedBody(stream, w, kBlock, take);
      } catch (const EHttpClient& e) {
        if (e.ErrorCode != code::kHttpBadChunks) throw;
      } catch (const NetFailure& f) {
        if (f.code != kErrReset) throw;
      }
    } else {
      while (length < 0 || total < length) {
        std::size_t want = kBlock;
        if (length >= 0) {
          want = static_cast<std::size_t>(std::min<long long>(length - total, want));
        }
        std::size_t n = stream.ReadSome(block.get(), want, w);
        if (n == 0) break;
        take(std::string_view(block.get(), n));
      }
    }
    if (haveStatus && !success) {
      endConnection(0, "OK");
      throw EHttpClient(code::kHttpStatus, StatusText(statusLine_));
    }
    if (length >= 0 && total < length && !inChunks) {
      // The connection ended before the promised body: a cut transfer, never a file.
      const std::string text = std::string(kClosedEarlyText) + " (the body ended after " +
                               std::to_string(total) + " of " + std::to_string(length) + " bytes)";
      endConnection(kErrReset, SocketErrorText(kErrReset));
      throw EHttpClient(kErrReset, text);
    }
    // Without a length, the end of the connection ends the body: over TLS a close
    // without close_notify still counts, as a reset or a TLS error has thrown already.
    if (out && !out->Commit()) writeFailed();
    endConnection(0, "OK");
  } catch (const NetFailure& f) {
    endConnection(f.code, SocketErrorText(f.code));
    throw EHttpClient(f.code, f.code == kErrInterrupted ? "Interrupted" : f.what());
  } catch (...) {
    endConnection(0, "OK");
    throw;
  }
}

}  // namespace vendrix
