#include "net/http_client.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "base/error.h"
#include "net/net_error.h"
#include "net/stream.h"

namespace vendrix {
namespace {

std::string StatusText(const std::string& statusLine) {
  auto space = statusLine.find(' ');
  return space == std::string::npos ? "" : statusLine.substr(space + 1);
}

bool IsSuccess(const std::string& statusLine) {
  std::string text = StatusText(statusLine);
  return !text.empty() && text[0] == '2';
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

// A file written beside its final name and renamed over it when complete.
class PartFile {
 public:
  explicit PartFile(const std::string& path) : path_(path), part_(path + ".part") {
    file_ = std::fopen(part_.c_str(), "wb");
  }
  ~PartFile() {
    if (file_) {
      std::fclose(file_);
      std::remove(part_.c_str());
    }
  }
  bool ok() const { return file_ != nullptr; }
  bool Write(std::string_view data) {
    return std::fwrite(data.data(), 1, data.size(), file_) == data.size();
  }
  bool Commit() {
    bool good = std::fflush(file_) == 0 && std::fclose(file_) == 0;
    file_ = nullptr;
    if (good && std::rename(part_.c_str(), path_.c_str()) == 0) return true;
    std::remove(part_.c_str());
    return false;
  }

 private:
  std::string path_, part_;
  std::FILE* file_ = nullptr;
};

}  // namespace

std::string Base64(std::string_view in) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                 (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i + 1 == in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == in.size()) {
    unsigned v =
        (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

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

void THttpClient::Perform(THttpActions action) {
  const char* method = MethodOf(action);
  cancel_.Reset();
  statusLine_.clear();
  struct ActionMark {
    std::atomic<THttpActions>& a;
    ~ActionMark() { a = THttpActions::httpIdle; }
  } mark{action_};
  action_ = action;
  if (parts_.server.empty())
    throw EHttpClient(152,
                      "No server speci"
                      "fied in URL.");
  const std::string scheme = Lower(parts_.scheme);
  const bool useProxy = !ProxyServer.empty();
  if (!useProxy && scheme != "http" && scheme != "https") {
    throw EHttpClient(153,
                      "Speci"
                      "fied URLScheme is invalid.");
  }
  const bool tls = scheme == "https";
  const Waiter w = Waiter::For(&cancel_, TimeOut, OnIdle);
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
        std::string line, status;
        bool first = true;
        for (;;) {
          if (stream.ReadLine(line, kMaxHeadLine, w) != Stream::LineResult::Line) break;
          if (first) {
            status = line;
            first = false;
          } else if (line.empty()) {
            break;
          }
        }
        if (!IsSuccess(status)) throw EHttpClient(151, StatusText(status));
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
    stream.SendAll(head, w);
    if (withBody) {
      stream.SendAll(PostData, w);
      if (bodyFile) {
        std::vector<char> block(1 << 16);
        std::size_t n;
        while ((n = std::fread(block.data(), 1, block.size(), bodyFile)) > 0) {
          stream.SendAll(block.data(), n, w);
        }
      }
    }
    fileGuard.reset();

    // The head: status line, header lines, an empty line.
    std::string line;
    bool success = true;
    bool haveStatus = false;
    int headerLines = 0;
    for (;;) {
      auto r = stream.ReadLine(line, kMaxHeadLine, w);
      if (r == Stream::LineResult::TooLong) {
        throw EHttpClient(
            154, "Reply head line longer than " + std::to_string(kMaxHeadLine) + " bytes.");
      }
      if (r == Stream::LineResult::End) break;
      if (!haveStatus) {
        haveStatus = true;
        statusLine_ = line.substr(0, 1024);
        success = IsSuccess(statusLine_);
        continue;
      }
      if (line.empty()) break;
      if (++headerLines > kMaxHeadLines) {
        throw EHttpClient(
            155, "Reply head has more than " + std::to_string(kMaxHeadLines) + " header lines.");
      }
      std::string field, value;
      unsigned char c0 = static_cast<unsigned char>(line[0]);
      if (c0 == ' ' || c0 < 0x20) {
        value = line.substr(1);
      } else if (auto colon = line.find(':'); colon != std::string::npos) {
        field = line.substr(0, colon);
        value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
      } else {
        field = line;
      }
      if (OnHeader) OnHeader(field, value);
    }

    // The body, streamed until the server closes.
    std::unique_ptr<PartFile> out;
    if (haveStatus && success && !LocalFile.empty()) {
      out = std::make_unique<PartFile>(LocalFile);
      if (!out->ok()) {
        out.reset();
        if (OnError) OnError(kErrFileOpen, "Can't open file for reading/writing.");
      }
    }
    if (OnStartTransfer) OnStartTransfer();
    long long total = 0;
    std::vector<char> block(1 << 16);
    bool writeFailed = false;
    for (;;) {
      std::size_t n = stream.ReadSome(block.data(), block.size(), w);
      if (n == 0) break;
      total += static_cast<long long>(n);
      std::string_view data(block.data(), n);
      if (out && !writeFailed && !out->Write(data)) {
        writeFailed = true;
        if (OnError) OnError(28, "Error writing to LocalFile");
      }
      if (OnTransfer) OnTransfer(total, data);
    }
    if (out && !writeFailed && !out->Commit() && OnError) {
      OnError(28, "Error writing to LocalFile");
    }
    endConnection(0, "OK");
    if (haveStatus && !success) throw EHttpClient(151, StatusText(statusLine_));
  } catch (const NetFailure& f) {
    endConnection(f.code, SocketErrorText(f.code));
    throw EHttpClient(f.code, f.code == kErrInterrupted ? "Interrupted" : f.what());
  } catch (...) {
    endConnection(0, "OK");
    throw;
  }
}

}  // namespace vendrix
