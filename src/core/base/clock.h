#pragma once
// The local clock and the user's date and time formats. Tests fix the clock.
// Nothing throws. Any thread (the time locale is set once, guarded).
#include <ctime>
#include <string>

namespace vendrix {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::tm Now() const = 0;  // local time
};

class SystemClock : public Clock {
 public:
  std::tm Now() const override;
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(std::tm t) : t_(t) {}
  std::tm Now() const override { return t_; }
  void Set(std::tm t) { t_ = t; }

 private:
  std::tm t_;
};

// A broken-down local time from its parts (month 1-12).
std::tm MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The user's short date format (the C library's %x after setlocale(LC_TIME, "")).
std::string ShortDate(const std::tm& t);
// The user's long time format (%X).
std::string LongTime(const std::tm& t);

}  // namespace vendrix
