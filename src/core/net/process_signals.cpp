#include "net/process_signals.h"

#include <csignal>
#include <initializer_list>

namespace vendrix {

void IgnoreProcessSignals() {
  for (int signal : {SIGPIPE, SIGXFSZ}) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(signal, &ignore, nullptr);
  }
}

}  // namespace vendrix
