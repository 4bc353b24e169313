#include "profiles/new_name.h"

#include "base/text_order.h"

namespace vendrix {

std::optional<std::string> AskNewName(UserPrompt& prompt, const Lines& existing,
                                      const NewNameTexts& texts,
                                      const std::optional<std::string>& given) {
  for (bool first = true;; first = false) {
    if (given && !first) return std::nullopt;
    auto typed = given ? given : prompt.AskName(texts.caption);
    if (!typed || typed->empty()) return std::nullopt;
    std::string name = TrimLeft(*typed);
    if (name.empty()) return std::nullopt;
    if (IndexOf(existing, name) >= 0) {
      prompt.ErrorDialog(texts.duplicateTitle, texts.duplicateText, kErrorDialogInstruction);
    } else if (auto why = CheckEntryName(name, texts.kind)) {
      prompt.Error(*why);
    } else if (auto clash = texts.collides ? texts.collides(name) : std::nullopt) {
      prompt.Error(*clash);
    } else {
      return name;
    }
  }
}

}  // namespace vendrix
