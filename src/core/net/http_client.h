#pragma once
// THttpClient: one HTTP/1.0 exchange per action on a fresh connection, read until
// the server closes. "https" goes over TLS (through a proxy by CONNECT). Actions
// block the calling thread; SetAction(httpIdle) from another thread interrupts one
// at once (301 "Interrupted"). Failures raise EHttpClient.
//
// Against a hostile server: a URL or header value holding CR, LF or NUL is refused
// before connecting (162); reply heads (the proxy's CONNECT reply too) are bounded in
// line length (154) and lines (155); TimeOut bounds the whole action; a body shorter
// than its Content-Length, a reset or a TLS error fails with 10054, and LocalFile is
// then left as it was (the body goes to LocalFile + ".part" first). A LocalFile that
// cannot be created (302) or written (the file error code) fails the action too.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/cancel_token.h"
#include "net/http_head.h"
#include "net/url.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace vendrix {

enum class THttpActions { httpIdle, httpGet, httpPost, httpHead, httpResetHeaders, httpPut };

class THttpClient {
 public:
  THttpClient();
  ~THttpClient();

  // Events, in the order one exchange fires them.
  std::function<void(int code, const std::string& text)> OnConnected;
  std::function<void(const std::string& field, const std::string& value)> OnHeader;
  std::function<void()> OnStartTransfer;
  std::function<void(long long bytes, std::string_view text)> OnTransfer;
  std::function<void()> OnEndTransfer;
  std::function<void(int code, const std::string& text)> OnDisconnected;
  std::function<void(int code, const std::string& text)> OnError;
  // The owner's token (its Skip or Cancel): raised, it ends every wait of an action,
  // and an action's start never clears it.
  const CancelToken* StopToken = nullptr;
  // Runs once connected, just before the request is written; false stops the action
  // (error 301, Interrupted) with nothing written.
  std::function<bool()> OnBeforeRequest;

  std::string LocalFile;
  std::string ProxyServer;
  std::uint16_t ProxyPort = 80;
  std::string Accept;
  std::string UserAgent = "Vendrix HTTP Component";
  std::string PostData, ContentType, PostDataFile;
  std::string From, IfModifiedSince, Referer, Pragma;
  std::vector<std::string> ExtraHeaders;
  std::string CaFile;  // extra trusted certificates (PEM), besides the system's
  int TimeOut = 0;     // seconds for the whole action; 0: none (the caller's timer interrupts)

  void SetURL(const std::string& url);
  const std::string& URL() const { return url_; }
  const std::string& URLScheme() const { return parts_.scheme; }
  const std::string& URLServer() const { return parts_.server; }
  std::uint16_t URLPort() const { return parts_.port; }
  const std::string& URLPath() const { return parts_.path; }
  void SetUser(const std::string& user);
  void SetPassword(const std::string& password);
  const std::string& Authorization() const { return authorization_; }
  const std::string& StatusLine() const { return statusLine_; }
  // Whether the last action handed its whole request (head and body) to the
  // connection: until then the server cannot have acted on it.
  bool RequestWritten() const { return requestWritten_; }
  // The Retry-After field of the last reply, as sent ("" when none).
  const std::string& RetryAfter() const { return retryAfter_; }

  // Performs the action; httpIdle interrupts one in progress (from any thread).
  void SetAction(THttpActions action);
  THttpActions Action() const { return action_; }

  // The request head the action would send (without a body).
  std::string RequestHead(const char* method) const;

 private:
  void Perform(THttpActions action);
  void RequireSafeRequest() const;
  void UpdateAuthorization();
  CancelToken cancel_;
  std::atomic<THttpActions> action_{THttpActions::httpIdle};
  std::string url_;
  UrlParts parts_;
  std::string lastServer_;
  std::string user_, password_, authorization_;
  std::string statusLine_;
  std::atomic<bool> requestWritten_{false};
  std::string retryAfter_;
  std::shared_ptr<SSL_CTX> tls_;
  std::string tlsCaFile_;
};

}  // namespace vendrix
