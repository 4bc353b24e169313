#pragma once
// The elements of a PAD 4.0 file that a profile exchange reads and writes, as paths
// below the root element, in the order an export writes them. Constants: any thread.
#include <array>
#include <cstddef>
#include <string_view>

namespace vendrix {

inline constexpr std::string_view kPadRoot = "XML_DIZ_INFO";
inline constexpr std::string_view kPadVersion = "4.0";
inline constexpr std::string_view kPadEditor = "Vendrix 2.08";
inline constexpr std::string_view kPadInfo =
    "Portable Application Description, or PAD for short, is a data set that software authors "
    "publish so that download sites and catalogues can list their programs without retyping.";

// A PAD file larger than this is refused whole, before it is parsed.
inline constexpr std::size_t kMaxPadBytes = 4u << 20;

// The block this program adds to its own exports, for what the profile holds and the
// standard elements cannot say (a status PAD has no word for, an .ico address beside a
// .gif one, an expiry date as typed). Other
// readers pass over it, as PAD readers pass over blocks they do not know.
inline constexpr std::string_view kPadOwnBlock = "Vendrix_Profile";

// Every leaf element, "Parent/Child/Leaf" below XML_DIZ_INFO.
extern const std::array<std::string_view, 76> kPadElements;

// The element's own name: the last part of its path.
std::string_view PadLeafName(std::string_view path);

}  // namespace vendrix
