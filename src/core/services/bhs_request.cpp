#include "services/bhs_request.h"

#include "net/action_timer.h"
#include "net/http_client.h"

namespace vendrix {

std::string BhsServer::Url(const std::string& page) const {
  std::string base = server.find("://") == std::string::npos ? "http://" + server : server;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + page;
}

BhsRequest::BhsRequest(BhsServer server, Kind kind, std::function<void(const std::string&)> status)
    : server_(std::move(server)), kind_(kind), status_(std::move(status)) {}

BhsRequest::~BhsRequest() = default;

std::string BhsFailureText(const BhsServer& server, const std::string& reason) {
  std::string text = "Could not connect to BHS!";
  if (!reason.empty()) text += " (" + server.server + ": " + reason + ")";
  return text;
}

std::optional<std::string> BhsRequest::Perform(const std::optional<std::string>& postData) {
  auto setStatus = [this](const std::string& text) {
    current_ = text;
    if (status_) status_(text);
  };
  const bool list = kind_ == Kind::List;
  THttpClient http;
  http.UserAgent = "Vendrix HTTP Component V1.0";
  http.CaFile = server_.caFile;
  http.TimeOut = static_cast<int>(timeLimit.count() / 1000) + 1;
  http.SetURL(server_.Url(list ? "/additem1.asp" : "/additem2.asp"));
  std::string received;
  bool tooBig = false;
  bool receiving = true;
  http.OnConnected = [&](int code, const std::string&) {
    setStatus(code == 0 ? "(Connected To BHS)" : "(Connection Error)");
  };
  failure_.clear();
  http.OnError = [&](int code, const std::string& text) {
    if (failure_.empty()) failure_ = std::to_string(code) + ": " + text;
    setStatus("(Connection Error)");
  };
  http.OnStartTransfer = [&] {
    setStatus(list ? "(Receiving Data From BHS)" : "(Receiving Data From BHS...)");
  };
  http.OnEndTransfer = [&] {
    if (list) setStatus("(Parsing Data From BHS)");
  };
  http.OnTransfer = [&](long long, std::string_view block) {
    if (!receiving || current_.find("(Parsing Data") != std::string::npos) return;
    if (received.size() + block.size() > kMaxBhsReply) {
      tooBig = true;
      receiving = false;
      http.SetAction(THttpActions::httpIdle);
      return;
    }
    received.append(block);
    if (list) setStatus("(Received " + std::to_string(received.size()) + " bytes)");
  };
  std::atomic<bool> timedOut{false};
  bool failed = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    active_ = &http;
    lock.unlock();
    try {
      if (cancelled_) throw std::runtime_error("cancelled");
      HttpTimeout limit(timeLimit, timedOut, [&http] { http.SetAction(THttpActions::httpIdle); });
      if (postData) {
        http.ContentType = "application/x-www-form-urlencoded";
        http.PostData = *postData;
        http.SetAction(THttpActions::httpPost);
      } else {
        http.SetAction(THttpActions::httpGet);
      }
    } catch (const std::exception& e) {
      failed = true;
      if (failure_.empty()) failure_ = e.what();
    }
    lock.lock();
    active_ = nullptr;
  }
  if (timedOut) {
    failure_ = "no answer in " + std::to_string((timeLimit.count() + 999) / 1000) + " s";
  } else if (tooBig) {
    failure_ = "the answer was larger than " + std::to_string(kMaxBhsReply / 1024) + " KiB";
  } else if (cancelled_) {
    failure_ = "cancelled";
  }
  if (failed || timedOut || tooBig || cancelled_) return std::nullopt;
  failure_.clear();
  return received;
}

void BhsRequest::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (active_) active_->SetAction(THttpActions::httpIdle);
}

}  // namespace vendrix
