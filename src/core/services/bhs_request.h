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

  std::chrono::milliseconds timeLimit = kBhsTimeLimit;

 private:
  BhsServer server_;
  Kind kind_;
  std::function<void(const std::string&)> status_;
  std::string current_;  // the status line as last set
  std::mutex mutex_;     // guards active_ against Cancel
  THttpClient* active_ = nullptr;
  std::atomic<bool> cancelled_{false};
};

}  // namespace vendrix
