#pragma once
// A flag another thread raises to end a blocking network wait at once. Waits poll
// its descriptor together with their socket, so a raised token wakes them without
// any periodic look; IsCancelled reads the flag without a system call.
#include <atomic>
#include <mutex>

namespace vendrix {

class CancelToken {
 public:
  CancelToken();
  ~CancelToken();
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel();  // thread-safe
  void Reset();   // thread-safe
  bool IsCancelled() const { return raised_.load(std::memory_order_acquire); }
  // Readable exactly while the token is raised.
  int Fd() const { return fd_; }

 private:
  int fd_;
  std::mutex mutex_;  // keeps the flag and the descriptor in step
  std::atomic<bool> raised_{false};
};

}  // namespace vendrix
