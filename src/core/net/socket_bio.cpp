#include "net/socket_bio.h"

#include <sys/socket.h>

#include <cerrno>

namespace vendrix {
namespace {

int BioWrite(BIO* bio, const char* data, std::size_t size, std::size_t* written) {
  auto* state = static_cast<TlsSocketState*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  for (;;) {
    ssize_t n = ::send(state->fd, data, size, MSG_NOSIGNAL);
    if (n >= 0) {
      *written = static_cast<std::size_t>(n);
      state->moved += static_cast<unsigned long long>(n);
      return 1;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      BIO_set_retry_write(bio);
    } else {
      state->error = errno;
    }
    return 0;
  }
}

int BioRead(BIO* bio, char* data, std::size_t size, std::size_t* read) {
  auto* state = static_cast<TlsSocketState*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  for (;;) {
    ssize_t n = ::recv(state->fd, data, size, 0);
    if (n > 0) {
      *read = static_cast<std::size_t>(n);
      state->moved += static_cast<unsigned long long>(n);
      return 1;
    }
    if (n == 0) {
      state->end = true;
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      BIO_set_retry_read(bio);
    } else {
      state->error = errno;
    }
    return 0;
  }
}

long BioCtrl(BIO* bio, int cmd, long, void*) {
  switch (cmd) {
    case BIO_CTRL_FLUSH:
      return 1;
    case BIO_CTRL_EOF:
      return static_cast<TlsSocketState*>(BIO_get_data(bio))->end ? 1 : 0;
    default:
      return 0;
  }
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vendrix socket");
    if (!m) return m;
    BIO_meth_set_write_ex(m, BioWrite);
    BIO_meth_set_read_ex(m, BioRead);
    BIO_meth_set_ctrl(m, BioCtrl);
    return m;
  }();
  return method;
}

}  // namespace

BIO* NewSocketBio(TlsSocketState* state) {
  BIO_METHOD* method = SocketBioMethod();
  BIO* bio = method ? BIO_new(method) : nullptr;
  if (!bio) return nullptr;
  BIO_set_data(bio, state);
  BIO_set_init(bio, 1);
  return bio;
}

}  // namespace vendrix
