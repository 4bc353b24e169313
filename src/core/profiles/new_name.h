#pragma once
// The rule for the name of a new company or application (new in its list, usable as
// part of a file name, colliding with no file of the program), and the name entry
// loop of "New Company" and "New Application" that asks until the person gives such a
// name or gives up. Refusals of the loop go through the prompt; nothing is thrown or
// written. The session's thread.
#include <functional>
#include <optional>
#include <string>

#include "base/line_list.h"
#include "base/names.h"
#include "base/user_prompt.h"

namespace vendrix {

struct NewNameTexts {
  const char* caption;         // "New Company Name"
  const char* duplicateTitle;  // "COMPANY NAME DUPLICATE"
  const char* duplicateText;   // "The company name you entered is already on the list!"
  EntryKind kind = EntryKind::Any;
  // A further refusal (a name that would collide with a file of the program), or
  // nullopt when the name may be used.
  std::function<std::optional<std::string>(const std::string&)> collides;
};

// Why name may not be given to a new entry, or nullopt when it may. title is set for a
// duplicate only (the error dialog's caption).
struct NameRefusal {
  std::string title;
  std::string text;
};
std::optional<NameRefusal> RefuseNewName(const Lines& existing, const std::string& name,
                                         const NewNameTexts& texts);

// The accepted name with its leading blanks removed, or nullopt (Cancel, an empty
// entry or blanks only). With given, that name is checked instead of asking, once: a
// refusal is shown and gives nullopt.
std::optional<std::string> AskNewName(UserPrompt& prompt, const Lines& existing,
                                      const NewNameTexts& texts,
                                      const std::optional<std::string>& given = std::nullopt);

}  // namespace vendrix
