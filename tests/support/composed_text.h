#pragma once
// Reading composed messages back in tests: lines, the two transfer decodings, random
// file bytes, and a small message to start from.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mail/composer.h"
#include "mail/spool_file.h"

namespace vendrix::test::composed {

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "the text must end with CR LF";
  return out;
}

// RFC 2045 decoding, as a receiver does it.
inline std::string DecodeQp(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && i + 2 < text.size() + 1 && text.compare(i, 3, "=\r\n") == 0) {
      i += 2;
    } else if (text[i] == '=' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (text[i] == '=') {
      break;  // a soft break at the very end
    } else {
      out += text[i];
    }
  }
  return out;
}

inline std::string DecodeBase64(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned buf = 0;
  int bits = 0;
  for (char c : text) {
    auto v = kAlphabet.find(c);
    if (v == std::string::npos) continue;
    buf = (buf << 6) | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buf >> bits) & 0xFF);
    }
  }
  return out;
}

inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

inline std::string Compose(const TmsMessage& m, ComposeOptions o = {}) {
  if (o.date == 0) o.date = 1796637197;
  StringSink sink;
  TmsMessageEncoder(m, o).Encode(sink);
  return sink.text;
}

inline TmsMessage Basic() {
  TmsMessage m;
  m.Sender = {"Jo Dev", "jo@example.com"};
  m.Recipients.AddAddress("sites@download.test");
  m.Subject = "New program";
  m.Body = {"Hello", "World"};
  return m;
}

}  // namespace vendrix::test::composed
