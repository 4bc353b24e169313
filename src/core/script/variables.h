#pragma once
// The 62 script variables with the descriptions the variables window shows, in the
// order the variables and mass change windows list them. Constants: any thread.
#include <array>
#include <string_view>

namespace vendrix {

struct VariableInfo {
  std::string_view name;         // without percent signs: "COMPNAME"
  std::string_view description;  // "Company Name"
};

extern const std::array<VariableInfo, 62> kVariables;

}  // namespace vendrix
