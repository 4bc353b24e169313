#pragma once
// The error type of the core: a message in the user's words (Windows-1252), shown
// as it stands. Errors with a number carry it in their text; the numbers are named
// in base/error_codes.h. Any thread.
#include <stdexcept>
#include <string>

namespace vendrix {

class VendrixError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vendrix
