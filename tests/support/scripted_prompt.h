#pragma once
// A UserPrompt that plays a script: answers and names are queued by the test, and
// every message shown is recorded in order.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/user_prompt.h"

namespace vendrix::test {

class ScriptedPrompt : public UserPrompt {
 public:
  std::vector<std::string> log;  // "inform: ...", "error: ...", "confirm: ...", ...
  std::deque<Answer> answers;    // for Confirm; Yes when empty
  std::deque<std::optional<std::string>> names;
  std::deque<std::optional<std::string>> files;

  void Inform(const std::string& text) override { log.push_back("inform: " + text); }
  void Error(const std::string& text) override { log.push_back("error: " + text); }
  Answer Confirm(const std::string& text, bool withCancel) override {
    log.push_back(std::string(withCancel ? "confirm3: " : "confirm: ") + text);
    if (answers.empty()) return Answer::Yes;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> AskName(const std::string& caption) override {
    log.push_back("ask: " + caption);
    if (names.empty()) return std::nullopt;
    auto n = names.front();
    names.pop_front();
    return n;
  }
  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    log.push_back("choose: " + choice.title + " [" + choice.filter + "]");
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override {
    log.push_back("save: " + choice.title + " [" + choice.filter + "]");
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override {
    log.push_back("dialog: " + title + " | " + text + " | " + instruction);
  }

  bool Saw(const std::string& entry) const {
    for (const auto& l : log) {
      if (l == entry) return true;
    }
    return false;
  }
};

}  // namespace vendrix::test
