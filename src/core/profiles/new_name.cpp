#include "profiles/new_name.h"

#include "base/text_order.h"

namespace vendrix {

std::optional<NameRefusal> RefuseNewName(const Lines& existing, const std::string& name,
                                         const NewNameTexts& texts) {
  if (IndexOf(existing, name) >= 0) return NameRefusal{texts.duplicateTitle, texts.duplicateText};
  if (auto why = CheckEntryName(name, texts.kind)) return NameRefusal{{}, *why};
  if (auto clash = texts.collides ? texts.collides(name) : std::nullopt) {
    return NameRefusal{{}, *clash};
  }
  return std::nullopt;
}

std::optional<std::string> AskNewName(UserPrompt& prompt, const Lines& existing,
                                      const NewNameTexts& texts,
                                      const std::optional<std::string>& given) {
  for (bool first = true;; first = false) {
    if (given && !first) return std::nullopt;
    auto typed = given ? given : prompt.AskName(texts.caption);
    if (!typed || typed->empty()) return std::nullopt;
    std::string name = TrimLeft(*typed);
    if (name.empty()) return std::nullopt;
    auto refusal = RefuseNewName(existing, name, texts);
    if (!refusal) return name;
    if (!refusal->title.empty()) {
      prompt.ErrorDialog(refusal->title, refusal->text, kErrorDialogInstruction);
    } else {
      prompt.Error(refusal->text);
    }
  }
}

}  // namespace vendrix
