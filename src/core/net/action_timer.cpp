#include "net/action_timer.h"

namespace vendrix {

void ActionTimer::Start(std::chrono::milliseconds interval, std::function<void()> onFire) {
  Stop();
  stop_ = false;
  thread_ = std::thread([this, interval, onFire = std::move(onFire)] {
    std::unique_lock lock(mutex_);
    if (cv_.wait_for(lock, interval, [this] { return stop_; })) return;
    lock.unlock();
    onFire();
  });
}

void ActionTimer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

HttpTimeout::HttpTimeout(std::chrono::milliseconds interval, std::atomic<bool>& timedOut,
                         std::function<void()> interrupt) {
  timedOut = false;
  timer_.Start(interval, [&timedOut, interrupt = std::move(interrupt)] {
    timedOut = true;
    interrupt();
  });
}

HttpTimeout::~HttpTimeout() {
  timer_.Stop();
}

}  // namespace vendrix
