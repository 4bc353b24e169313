#pragma once
// Shared pieces of the fuzz harnesses: a property check that stops the run, scratch
// folders, a copy of the demo data tree, and a Stream fed from the fuzz input.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "net/stream.h"

namespace vendrix::fuzz {

// A broken property is a finding: report it and stop (libFuzzer saves the input).
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

// A fresh folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vendrix-fuzz-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A copy of share/demo made once per process (the harness may write into it).
inline const std::string& DemoTree() {
  static ScratchDir* dir = [] {
    auto* d = new ScratchDir;
    std::filesystem::copy(VENDRIX_DEMO_DIR, d->path(), std::filesystem::copy_options::recursive);
    std::atexit([] { delete dir; });
    return d;
  }();
  return dir->path();
}

// A Stream that reads the given bytes and then the end, as if a peer sent them and
// closed. Inputs larger than the socket can hold are cut (the harnesses cap them).
class FedStream {
 public:
  explicit FedStream(std::string_view bytes) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    int size = 1 << 20;
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    std::size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n =
          ::send(fds[1], bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n <= 0) break;
      off += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
    stream.Adopt(fds[0]);
  }
  Stream stream;
  Waiter wait = Waiter::For(nullptr, 5);
};

}  // namespace vendrix::fuzz
