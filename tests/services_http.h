#pragma once
// What the update and services tests share: the scripted HTTP peer (plain or TLS)
// with routes whose replies may hold any bytes, and zip archives made entry by entry.
#include <sys/stat.h>
#include <zip.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix::test {

// A JSON string literal holding bytes (each byte becomes one latin-1 character).
inline std::string JsonBytes(const std::string& bytes) {
  static const char* hex = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

class HttpPeer {
 public:
  // tls: serve https with a certificate of a test authority (caPem()).
  HttpPeer(const TempDir& dir, bool tls) : routesFile_(dir / "routes.json") {
    WriteFile(routesFile_, "{}");
    std::vector<std::string> args{PeerScript("http_peer.py"), "--routes", routesFile_};
    if (tls) {
      certs_ = std::make_unique<TestCertificates>(dir.path());
      args.insert(args.end(), {"--cert", certs_->serverPem, "--key", certs_->serverKey});
    }
    peer_ = std::make_unique<PeerProcess>(args);
    base_ = std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(peer_->port());
    requests_ = dir / ("requests/" + std::to_string(peer_->port()) + "-");
  }
  // Sets the raw replies by path.
  void Routes(const std::vector<std::pair<std::string, std::string>>& replies) {
    std::string json = "{";
    for (const auto& [path, raw] : replies) {
      if (json.size() > 1) json += ",";
      json += JsonBytes(path) + ": {\"raw\": " + JsonBytes(raw) + "}";
    }
    WriteFile(routesFile_, json + "}");
  }
  void RawRoutes(const std::string& json) { WriteFile(routesFile_, json); }
  std::string Url(const std::string& path) const { return base_ + path; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(peer_->port()); }
  std::string CaPem() const { return certs_ ? certs_->caPem : std::string(); }
  // Every request received so far, in order.
  std::vector<std::string> Requests() const {
    std::vector<std::string> all;
    for (int i = 1;; ++i) {
      auto r = ReadFile(requests_ + std::to_string(i) + ".bin");
      if (!r) return all;
      all.push_back(*r);
    }
  }

 private:
  std::string routesFile_, base_, requests_;
  std::unique_ptr<TestCertificates> certs_;
  std::unique_ptr<PeerProcess> peer_;
};

inline std::string Reply200(const std::string& body, bool withLength = true) {
  return "HTTP/1.0 200 OK\r\n" +
         (withLength ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "") + "\r\n" +
         body;
}

struct ZipEntry {
  std::string name;
  std::string data;  // for a link: its target
  bool symlink = false;
};

// The bytes of a zip archive with these entries.
inline std::string MakeZip(const TempDir& dir, const std::vector<ZipEntry>& entries) {
  const std::string path = dir / "made.zip";
  std::remove(path.c_str());
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw std::runtime_error("zip_open");
  for (const auto& e : entries) {
    zip_source_t* src = zip_source_buffer(z, e.data.data(), e.data.size(), 0);
    zip_int64_t i = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (i < 0) throw std::runtime_error("zip_file_add");
    if (e.symlink) {
      zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX,
                                       static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    }
  }
  if (zip_close(z) != 0) throw std::runtime_error("zip_close");
  return *ReadFile(path);
}

}  // namespace vendrix::test
