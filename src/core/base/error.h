#pragma once
// The error type of the core: a message in the user's words, shown as it stands.
#include <stdexcept>
#include <string>

namespace vendrix {

class VendrixError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vendrix
