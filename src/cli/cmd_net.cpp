// vendrix-cli net ...: try a site's web form or FTP server before a run.
#include <iostream>

#include "base/cp1252.h"
#include "base/ini_file.h"
#include "cli.h"
#include "net/ftp_client.h"
#include "net/http_client.h"
#include "net/net_error.h"

namespace vendrix::cli {
namespace {

int Seconds(const std::optional<std::string>& text, int def) {
  if (!text) return def;
  int n = ParseIniInteger(*text, -1);
  if (n < 0) throw UsageError("--timeout takes whole seconds");
  return n;
}

int HttpCommand(Args& args) {
  std::string method = args.Next("get or post");
  if (method != "get" && method != "post") throw UsageError("net http takes get or post");
  std::string url = args.Next("URL");
  auto data = args.Option("--data");
  auto out = args.Option("--out");
  auto proxy = args.Option("--proxy");
  auto caFile = args.Option("--cafile");
  int timeout = Seconds(args.Option("--timeout"), 60);
  if (!args.Empty()) throw UsageError("unexpected words after the URL");

  THttpClient http;
  http.UserAgent = "Vendrix HTTP Component V1.0";
  http.TimeOut = timeout;
  if (caFile) http.CaFile = Cp1252ToUtf8(*caFile);
  if (proxy) {
    auto colon = proxy->rfind(':');
    http.ProxyServer = proxy->substr(0, colon);
    if (colon != std::string::npos) {
      int port = ParseIniInteger(proxy->substr(colon + 1), -1);
      if (port <= 0 || port > 65535) throw UsageError("--proxy is HOST:PORT");
      http.ProxyPort = static_cast<std::uint16_t>(port);
    }
  }
  if (out) http.LocalFile = Cp1252ToUtf8(*out);
  http.OnConnected = [](int code, const std::string& text) {
    Out("connected: " + std::to_string(code) + " " + text);
  };
  http.OnHeader = [](const std::string& f, const std::string& v) {
    Out("header: " + f + ": " + v);
  };
  http.OnStartTransfer = [] { Out("start of body"); };
  long long total = 0;
  http.OnTransfer = [&](long long n, std::string_view) { total = n; };
  http.OnEndTransfer = [&] { Out("end of body: " + std::to_string(total) + " bytes"); };
  http.OnDisconnected = [](int code, const std::string& text) {
    Out("disconnected: " + std::to_string(code) + " " + text);
  };
  http.OnError = [](int code, const std::string& text) {
    Out("error: " + std::to_string(code) + " " + text);
  };
  http.SetURL(url);
  try {
    if (method == "post") {
      http.PostData = data.value_or("");
      http.ContentType = "application/x-www-form-urlencoded";
      http.SetAction(THttpActions::httpPost);
    } else {
      http.SetAction(THttpActions::httpGet);
    }
  } catch (const EHttpClient& e) {
    if (!http.StatusLine().empty()) Out("status: " + http.StatusLine());
    std::cerr << Cp1252ToUtf8(e.what()) << '\n';
    return kExitRefused;
  }
  if (http.StatusLine().empty()) {
    // Nothing says the server took the request.
    std::cerr << "The server closed the connection without an answer\n";
    return kExitRefused;
  }
  Out("status: " + http.StatusLine());
  return kExitOk;
}

int FtpUploadCommand(Args& args) {
  auto host = args.Option("--host");
  auto user = args.Option("--user");
  auto password = TakePassword(args);
  auto local = args.Option("--local");
  auto remote = args.Option("--remote");
  auto caFile = args.Option("--cafile");
  int timeout = Seconds(args.Option("--timeout"), 60);
  bool passive = args.Flag("--passive");
  bool tls = args.Flag("--tls");
  bool ascii = args.Flag("--ascii");
  if (!host || !local || !remote)
    throw UsageError("net ftp-upload needs --host, --local and --remote");
  if (!args.Empty()) throw UsageError("unexpected words for net ftp-upload");

  TFtpClient ftp;
  ftp.SetRemoteHost(*host);
  ftp.User = user.value_or("");
  ftp.Password = password.value_or("");
  ftp.LocalFile = Cp1252ToUtf8(*local);
  ftp.RemoteFile = *remote;
  ftp.Passive = passive;
  ftp.UseTLS = tls;
  ftp.TimeOut = timeout;
  if (caFile) ftp.CaFile = Cp1252ToUtf8(*caFile);
  ftp.SetTransferMode(ascii ? TFTPTransferModes::tmASCII : TFTPTransferModes::tmBinary);
  ftp.OnFirePITrail = [](TPIDirections d, const std::string& m) {
    static constexpr const char* kPrefix[] = {"CLIENT: ", "SERVER: ", "INFO: "};
    Out(kPrefix[static_cast<int>(d)] + m);
  };
  ftp.OnError = [](int code, const std::string& text) {
    Out("ERR Event: " + std::to_string(code) + " " + text);
  };
  ftp.OnStartTransfer = [] { Out("TRANSFER BEGIN."); };
  long long total = 0;
  ftp.OnTransfer = [&](long long n, std::string_view) { total = n; };
  ftp.OnEndTransfer = [&] { Out("TRANSFER END. " + std::to_string(total) + " Bytes"); };
  try {
    ftp.SetAction(TFtpActions::ftpUpload);
  } catch (const EFtpClient& e) {
    std::cerr << Cp1252ToUtf8(e.what()) << '\n';
    return kExitRefused;
  }
  // The upload decides the outcome; a server that closes after "226" or never
  // answers QUIT is only noted, and not waited for long.
  if (ftp.TimeOut == 0 || ftp.TimeOut > 5) ftp.TimeOut = 5;
  try {
    ftp.SetAction(TFtpActions::ftpLogoff);
  } catch (const EFtpClient& e) {
    Out("INFO: Log-off failed: " + std::string(e.what()));
  }
  return kExitOk;
}

}  // namespace

int NetCommand(Args& args) {
  std::string verb = args.Next("net action");
  if (verb == "http") return HttpCommand(args);
  if (verb == "ftp-upload") return FtpUploadCommand(args);
  if (verb == "mail") return MailCommand(args);
  throw UsageError("unknown net action " + verb);
}

}  // namespace vendrix::cli
