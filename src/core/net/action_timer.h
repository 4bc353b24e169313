#pragma once
// A one-shot timer that runs its action on its own thread after an interval, unless
// stopped first. The run's HTTP time-out uses it: the action sets the caller's
// timed-out flag and interrupts the client.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vendrix {

class ActionTimer {
 public:
  ~ActionTimer() { Stop(); }
  void Start(std::chrono::milliseconds interval, std::function<void()> onFire);
  // Stops the timer; after it returns the action does not run (or has finished).
  void Stop();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stop_ = false;
  std::thread thread_;
};

// The HTTP time-out of a submission: starts with the action, and when it fires sets
// timedOut and interrupts through interrupt().
class HttpTimeout {
 public:
  HttpTimeout(std::chrono::milliseconds interval, std::atomic<bool>& timedOut,
              std::function<void()> interrupt);
  ~HttpTimeout();

 private:
  ActionTimer timer_;
};

}  // namespace vendrix
