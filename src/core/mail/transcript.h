#pragma once
// The transcript of one mail dialogue: every command sent and every reply line
// received, the content as the single line "Suppressing the message body". Secrets
// (the password and its encodings) are masked as "****" in every line, whatever the
// server echoes. Written to its file atomically, lines ended by CR LF.
#include <string>
#include <vector>

namespace vendrix {

class SmtpTranscript {
 public:
  // Texts that must never appear; each occurrence becomes "****".
  void AddSecret(const std::string& secret);
  void ClearSecrets() { secrets_.clear(); }
  void Add(const std::string& line) { lines_.push_back(Mask(line)); }
  std::string Mask(std::string text) const;
  void Clear() { lines_.clear(); }
  const std::vector<std::string>& Lines() const { return lines_; }
  // Throws VendrixError("Unable to write to " + path).
  void WriteTo(const std::string& path) const;

 private:
  std::vector<std::string> lines_;
  std::vector<std::string> secrets_;
};

}  // namespace vendrix
