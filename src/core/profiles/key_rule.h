#pragma once
// How a field of the company or application page treats what is typed or entered
// into it. Pure functions: any thread.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

enum class KeyRule {
  Any,
  DigitsOnly,  // digits and backspace; anything else is refused with a beep
  NoDollar,    // "$" is dropped silently
  NoSpace,     // the space key is dropped silently
  NoTyping,    // selectors: every key is dropped
};

// Whether a key typed into a field with this rule is accepted.
bool KeyAccepted(KeyRule rule, char key);

// Why a whole value entered into the field (not typed key by key: pasted, given on
// the command line, imported) breaks its rule, naming the field; nullopt when it
// keeps it. NoTyping fields are checked against their lists by their owners.
std::optional<std::string> BrokenKeyRule(std::string_view field, KeyRule rule,
                                         std::string_view value);

}  // namespace vendrix
