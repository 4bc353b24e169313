#include "run/table_saver.h"

#include "base/error.h"
#include "base/file_io.h"

namespace vendrix {

TableSaver::TableSaver() : thread_([this] { Loop(); }) {}

TableSaver::~TableSaver() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

bool TableSaver::Due() const {
  return std::chrono::steady_clock::now() >= DueAt();
}

std::chrono::steady_clock::time_point TableSaver::DueAt() const {
  return posted_ + std::chrono::seconds(1);
}

void TableSaver::Post(std::string path, std::string text) {
  posted_ = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(mutex_);
    pending_.emplace(std::move(path), std::move(text));
  }
  cv_.notify_all();
}

std::optional<std::string> TableSaver::Flush() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return !pending_ && !writing_; });
  auto error = std::move(error_);
  error_.reset();
  return error;
}

void TableSaver::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return stop_ || pending_; });
    if (!pending_) return;  // stopped with nothing left
    auto [path, text] = std::move(*pending_);
    pending_.reset();
    writing_ = true;
    lock.unlock();
    std::optional<std::string> failure;
    try {
      WriteFileAtomic(path, text);
    } catch (const VendrixError& e) {
      failure = e.what();
    }
    lock.lock();
    writing_ = false;
    if (failure && !error_) error_ = std::move(failure);
    cv_.notify_all();
  }
}

}  // namespace vendrix
