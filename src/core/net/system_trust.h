#pragma once
// The certificates the system trusts, added to a client TLS context.
//
// OpenSSL's default reads the whole bundle file (some 150 certificates, tens of
// milliseconds under OpenSSL 3) into every context, which a short transfer pays
// again and again. The hashed folder of the system's store holds the same
// certificates (update-ca-certificates makes both) and is read one certificate at a
// time, as a chain needs it. So the folder ($SSL_CERT_DIR, else OpenSSL's default) is
// used; the bundle ($SSL_CERT_FILE, else OpenSSL's default) is read as well when no
// folder holds hashed names, or when SSL_CERT_FILE names another file than the
// default bundle.
//
// Never throws: a missing folder or bundle adds nothing (a chain then fails to
// verify). Any thread; it reads the environment.
#include <openssl/ssl.h>

#include <string>

namespace vendrix {

void AddSystemTrust(SSL_CTX* ctx);

// Whether one of the ':'-separated folders holds a name as OpenSSL's hashed store
// makes them ("5ad8a5d6.0": eight hex digits, a dot, a number).
bool HoldsHashedNames(const std::string& folders);

}  // namespace vendrix
