#include "run/retry_rules.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "base/error_codes.h"

namespace vendrix {

bool NothingReachedTheSite(int code) {
  switch (code) {
    case code::kHostNotFound:
    case code::kLookupTryAgain:
    case code::kLookupFailed:
    case code::kNoAddress:
    case code::kConnectionRefused:
    case code::kConnectionReset:
    case code::kConnectionAborted:
    case code::kTlsHandshake:
      return true;
    default:
      return false;
  }
}

int BackOffMs(int retried) {
  thread_local std::minstd_rand jitter(std::random_device{}());
  const int base = 1000 << std::clamp(retried, 0, 4);
  std::uniform_int_distribution<int> spread(-base / 5, base / 5);
  return base + spread(jitter);
}

std::string Seconds(int ms) {
  const int tenths = (ms + 50) / 100;
  return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") +
         " s";
}

}  // namespace vendrix
