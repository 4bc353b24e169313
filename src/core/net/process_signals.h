#pragma once
// The signals a peer or a full disk could raise, set to be ignored for the whole
// process: SIGPIPE (a write to a socket or pipe whose reader has gone then fails with
// EPIPE) and SIGXFSZ (a write past the file size limit, `ulimit -f`, then fails with
// EFBIG). Left at their defaults, either ends the process at once.
//
// The network clients do not depend on it: sockets are written with MSG_NOSIGNAL and
// downloads stop at the file size limit by themselves. Other writers do (settings,
// reports, archives, the windows' own files), so every program's main calls this
// first, before it starts any thread. Signals the caller had given a handler keep it.
namespace vendrix {

void IgnoreProcessSignals();

}  // namespace vendrix
