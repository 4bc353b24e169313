#pragma once
// When the run tries a step again, and how long it waits first. Only a failure after
// which nothing can have reached the site is tried again: the name did not resolve,
// the connection was refused, reset or aborted before the request was written, the
// TLS handshake failed. A time-out is not (the step has had its time). The waits grow
// 1 s, 2 s, 4 s ... with a fifth either way, so that many runs do not come back at
// the same moment. Any thread.
#include <string>

namespace vendrix {

// Whether a failure with this code (socket, lookup or TLS) means the connection
// never carried a request.
bool NothingReachedTheSite(int code);
// The wait before try number retried + 2 (retried: tries again so far), in ms.
int BackOffMs(int retried);
// "2 s", "1.2 s".
std::string Seconds(int ms);

}  // namespace vendrix
