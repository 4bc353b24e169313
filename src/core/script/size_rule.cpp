#include "script/size_rule.h"

#include <charconv>
#include <cstdio>

namespace vendrix {
namespace {

long long KiloBytes(std::string_view text) {
  long long n = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || p != text.data() + text.size()) n = 0;
  return n > 1024 ? n / 1024 : 1;
}

}  // namespace

std::string SizeInKBytes(std::string_view bytes) {
  return std::to_string(KiloBytes(bytes));
}

std::string SizeInMBytes(std::string_view bytes) {
  double mb = static_cast<double>(KiloBytes(bytes)) / 1024.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", mb);
  std::string text = buf;
  if (text.find('e') != std::string::npos) {
    std::snprintf(buf, sizeof buf, "%.2f", mb);
    text = buf;
  }
  auto point = text.find('.');
  if (point != std::string::npos && text.size() > point + 3) text.resize(point + 3);
  return text;
}

}  // namespace vendrix
