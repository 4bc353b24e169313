#include "profiles/key_rule.h"

namespace vendrix {

bool KeyAccepted(KeyRule rule, char key) {
  switch (rule) {
    case KeyRule::Any:
      return true;
    case KeyRule::DigitsOnly:
      return (key >= '0' && key <= '9') || key == '\b';
    case KeyRule::NoDollar:
      return key != '$';
    case KeyRule::NoSpace:
      return key != ' ';
    case KeyRule::NoTyping:
      return false;
  }
  return true;
}

std::optional<std::string> BrokenKeyRule(std::string_view field, KeyRule rule,
                                         std::string_view value) {
  const std::string name(field);
  switch (rule) {
    case KeyRule::Any:
    case KeyRule::NoTyping:
      break;
    case KeyRule::DigitsOnly:
      for (char c : value) {
        if (c < '0' || c > '9') return name + " holds digits only.";
      }
      break;
    case KeyRule::NoDollar:
      if (value.find('$') != std::string_view::npos) return name + " may not hold \"$\".";
      break;
    case KeyRule::NoSpace:
      if (value.find(' ') != std::string_view::npos) return name + " may not hold blanks.";
      break;
  }
  return std::nullopt;
}

}  // namespace vendrix
