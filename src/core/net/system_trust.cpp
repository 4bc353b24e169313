#include "net/system_trust.h"

#include <dirent.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace vendrix {
namespace {

bool IsHashedName(std::string_view name) {
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return name.size() > 9 && name[8] == '.' && std::all_of(name.begin(), name.begin() + 8, hex) &&
         std::all_of(name.begin() + 9, name.end(), digit);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The file a path names, links resolved; the path itself when it cannot be resolved.
std::string Resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), std::free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

bool HoldsHashedNames(const std::string& folders) {
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(folder.c_str()), ::closedir);
    if (!d) continue;
    while (dirent* e = ::readdir(d.get())) {
      if (IsHashedName(e->d_name)) return true;
    }
  }
  return false;
}

void AddSystemTrust(SSL_CTX* ctx) {
  std::string dir = Env(X509_get_default_cert_dir_env());
  if (dir.empty()) dir = X509_get_default_cert_dir();
  const std::string defaultFile = X509_get_default_cert_file();
  const std::string envFile = Env(X509_get_default_cert_file_env());
  if (!HoldsHashedNames(dir)) {
    SSL_CTX_load_verify_file(ctx, (envFile.empty() ? defaultFile : envFile).c_str());
  } else {
    SSL_CTX_load_verify_dir(ctx, dir.c_str());
    if (!envFile.empty() && Resolved(envFile) != Resolved(defaultFile)) {
      SSL_CTX_load_verify_file(ctx, envFile.c_str());
    }
  }
  // A store that is missing is no error here; verification says what is wrong.
  ERR_clear_error();
}

}  // namespace vendrix
