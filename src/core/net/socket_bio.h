#pragma once
// The socket under a TLS connection, as OpenSSL reads and writes it. Writes go out
// with send(..., MSG_NOSIGNAL), so a peer that closed can never raise SIGPIPE,
// whatever the process does with signals; the state records how the socket ended so
// that a reset (error set) is told apart from an orderly close (end set). The BIO
// does not own the socket or the state. Used by one thread at a time, like its Stream.
#include <openssl/bio.h>

namespace vendrix {

struct TlsSocketState {
  int fd = -1;
  int error = 0;                 // errno of the last failed send or recv
  bool end = false;              // recv returned 0
  unsigned long long moved = 0;  // bytes sent and received, TLS records included
};

// A new BIO over state->fd (nullptr when OpenSSL cannot make one).
BIO* NewSocketBio(TlsSocketState* state);

}  // namespace vendrix
