#include "mail/transcript.h"

#include <algorithm>

#include "base/file_io.h"

namespace vendrix {

void SmtpTranscript::AddSecret(const std::string& secret) {
  if (secret.empty()) return;
  secrets_.push_back(secret);
  // Longest first, so that a secret inside another is masked with it.
  std::sort(secrets_.begin(), secrets_.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string SmtpTranscript::Mask(std::string text) const {
  for (const auto& s : secrets_) {
    for (auto pos = text.find(s); pos != std::string::npos; pos = text.find(s, pos + 4)) {
      text.replace(pos, s.size(), "****");
    }
  }
  return text;
}

void SmtpTranscript::WriteTo(const std::string& path) const {
  std::string text;
  for (const auto& line : lines_) text += line + "\r\n";
  WriteFileAtomic(path, text);
}

}  // namespace vendrix
