#pragma once
// One request to the BHS web server, as both BHS windows make it: a GET of the
// account list or a form POST of a new-account request, ended by the 90-second limit
// or by Cancel, with the reply bounded to 1 MiB. The status texts of the client's
// events go to the window's status line.
//
// Perform blocks the calling thread (a worker thread in the GUI); Cancel may be
// called from any thread.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace vendrix {

class THttpClient;

// Where the BHS server is: the program setting BHSServer, a host name (with an
// optional ":port") reached over http, or a whole "http://" or "https://" address.
struct BhsServer {
  std::string server = "www.bhs.example";
  std::string caFile;  // extra trusted certificates (PEM) for https
  // The page's address: "/additem1.asp" (the list) or "/additem2.asp" (new account).
  std::string Url(const std::string& page) const;
};

// "Could not connect to BHS!" with the server and why ("... (www.bhs.example: 11001:
// Host not found)"); the reference's words alone when the reason is empty.
std::string BhsFailureText(const BhsServer& server, const std::string& reason);

inline constexpr std::size_t kMaxBhsReply = 1 << 20;
inline constexpr std::chrono::milliseconds kBhsTimeLimit = std::chrono::seconds(90);

class BhsRequest {
 public:
  enum class Kind { List, NewAccount };
  BhsRequest(BhsServer server, Kind kind, std::function<void(const std::string&)> status);
  ~BhsRequest();

  // The received text, or nullopt when the request failed, timed out, was cancelled
  // or sent more than kMaxBhsReply bytes. postData: the form body of a POST.
  std::optional<std::string> Perform(const std::optional<std::string>& postData);
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  // Why the last Perform failed ("11001: Host not found", "no answer within 90
  // seconds"); empty after a success. The thread that called Perform.
  const std::string& Failure() const { return failure_; }

  std::chrono::milliseconds timeLimit = kBhsTimeLimit;

 private:
  BhsServer server_;
  Kind kind_;
  std::function<void(const std::string&)> status_;
  std::string current_;  // the status line as last set
  std::string failure_;
  std::mutex mutex_;  // guards active_ against Cancel
  THttpClient* active_ = nullptr;
  std::atomic<bool> cancelled_{false};
};

}  // namespace vendrix
