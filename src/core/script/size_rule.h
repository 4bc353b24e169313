#pragma once
// How a site wants file sizes written: bytes as typed, whole kilobytes, or megabytes
// cut (not rounded) to two decimals. Pure functions: any thread.
#include <string>
#include <string_view>

namespace vendrix {

std::string SizeInKBytes(std::string_view bytes);
std::string SizeInMBytes(std::string_view bytes);

}  // namespace vendrix
