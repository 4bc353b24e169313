#include "mail/address_list.h"

#include <string>

#include "mail/mail_error.h"

namespace vendrix {
namespace {

std::string Trim(std::string_view s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

[[noreturn]] void Refuse(std::string_view text, const char* why) {
  throw EMessageError(kMailUnsafeText,
                      "The recipient list \"" + std::string(text) + "\" is not valid: " + why);
}

// One item of the list, without separators outside quotes, comments and brackets.
TmsMailAddress ParseItem(std::string_view item, std::string_view whole) {
  std::string phrase;   // the text before "<", quotes removed
  std::string comment;  // the first comment's text
  std::string bare;     // the item without its comments, as typed
  std::string angle;
  bool sawAngle = false, afterAngle = false;
  bool inQuote = false, inAngle = false;
  int depth = 0;
  int comments = 0;
  for (std::size_t i = 0; i < item.size(); ++i) {
    char c = item[i];
    bool escaped = c == '\\' && (inQuote || depth > 0) && i + 1 < item.size();
    if (escaped) c = item[++i];
    if (depth > 0) {
      if (!escaped && c == '(') ++depth;
      if (!escaped && c == ')' && --depth == 0) continue;
      if (comments == 1) comment += c;
      continue;
    }
    if (inQuote) {
      if (!escaped && c == '"')
        inQuote = false;
      else if (!sawAngle)
        phrase += c;
      if (inAngle) angle += escaped ? std::string("\\") + c : std::string(1, c);
      bare += escaped ? std::string("\\") + c : std::string(1, c);
      continue;
    }
    if (c == '(') {
      ++depth;
      ++comments;
      continue;
    }
    if (c == '"') {
      inQuote = true;
      if (inAngle) angle += c;
      bare += c;
      continue;
    }
    if (c == '<') {
      if (sawAngle) Refuse(whole, "two addresses in angle brackets without a separator");
      sawAngle = inAngle = true;
      continue;
    }
    if (c == '>') {
      if (!inAngle) Refuse(whole, "\">\" without \"<\"");
      inAngle = false;
      afterAngle = true;
      continue;
    }
    if (inAngle) {
      angle += c;
    } else if (afterAngle) {
      if (c != ' ' && c != '\t') Refuse(whole, "text after an address in angle brackets");
    } else if (!sawAngle) {
      phrase += c;
    }
    bare += c;
  }
  TmsMailAddress a;
  if (sawAngle) {
    a.Address = Trim(angle);
    a.Name = Trim(phrase);
    if (a.Name.empty()) a.Name = Trim(comment);
  } else {
    a.Address = Trim(bare);
    a.Name = Trim(comment);
    // "Ann Lee a@x.org": a name needs the address in angle brackets.
    bool quoted = false;
    for (std::size_t i = 0; i < a.Address.size(); ++i) {
      char c = a.Address[i];
      if (quoted && c == '\\') {
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        Refuse(whole, "a name goes before an address in angle brackets");
      }
    }
  }
  return a;
}

}  // namespace

std::vector<TmsMailAddress> ParseAddressList(std::string_view text) {
  std::vector<TmsMailAddress> out;
  bool inQuote = false, inAngle = false;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    char c = i < text.size() ? text[i] : ',';
    if (i + 1 < text.size() && c == '\\' && (inQuote || depth > 0)) {
      ++i;  // the escaped character stands for itself
      continue;
    }
    if (inQuote) {
      inQuote = c != '"';
      if (i == text.size()) Refuse(text, "a quote is not closed");
      continue;
    }
    if (depth > 0) {
      if (i == text.size()) Refuse(text, "a parenthesis is not closed");
      if (c == '(') ++depth;
      if (c == ')') --depth;
      continue;
    }
    if (c == '"') {
      inQuote = true;
    } else if (c == '(') {
      depth = 1;
    } else if (c == ')') {
      Refuse(text, "\")\" without \"(\"");
    } else if (c == '<' && !inAngle) {
      inAngle = true;
    } else if (c == '>' && inAngle) {
      inAngle = false;
    } else if (inAngle && i == text.size()) {
      Refuse(text, "an angle bracket is not closed");
    } else if (!inAngle && (c == ',' || c == ';')) {
      std::string_view item = text.substr(start, i - start);
      start = i + 1;
      TmsMailAddress a = ParseItem(item, text);
      if (a.Address.empty()) {
        if (!a.Name.empty()) Refuse(text, "a name without an address");
        continue;
      }
      out.push_back(std::move(a));
    }
  }
  return out;
}

}  // namespace vendrix
