#include "base/clock.h"

#include <clocale>
#include <mutex>

namespace vendrix {
namespace {

void UseUserTimeLocale() {
  static std::once_flag once;
  std::call_once(once, [] { std::setlocale(LC_TIME, ""); });
}

std::string Format(const char* fmt, const std::tm& t) {
  UseUserTimeLocale();
  char buf[128];
  std::size_t n = std::strftime(buf, sizeof buf, fmt, &t);
  return std::string(buf, n);
}

}  // namespace

std::tm SystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

std::tm MakeTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  std::tm copy = t;
  std::mktime(&copy);  // fills in the weekday and day of the year
  t.tm_wday = copy.tm_wday;
  t.tm_yday = copy.tm_yday;
  return t;
}

std::string ShortDate(const std::tm& t) {
  return Format("%x", t);
}
std::string LongTime(const std::tm& t) {
  return Format("%X", t);
}

}  // namespace vendrix
