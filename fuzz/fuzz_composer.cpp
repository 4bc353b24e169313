// The mail composer and the reader of recipient lists. A message is either refused
// (EMessageError) or written so that a strict receiver takes it:
//   - every line ends in CR LF and holds at most 998 octets;
//   - a head line holding an encoded word, and every line of a quoted-printable part,
//     holds at most 76 characters;
//   - a transfer encoding is a MIME token, and a "7bit" part holds no NUL, no 8-bit
//     byte and is the file itself, with no line added before the next delimiter;
//   - an address holding an 8-bit or control byte, or over 254 characters, is refused;
//   - an attachment is announced by its name after the last "/";
//   - a recipient list read, written back with quoted names and read again, is the same.
//
// Input: SENDER NAME \0 SENDER ADDRESS \0 RECIPIENTS \0 SUBJECT \0 BODY \0 FILE NAME
//        \0 FLAGS \0 FILE BYTES. FLAGS: bit 0 uuencode, bits 1-2 the file's type
//        (message/rfc822, text/plain, octet-stream), bit 3 a second attachment after it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/line_list.h"
#include "fuzz_support.h"
#include "mail/address_list.h"
#include "mail/composer.h"
#include "mail/mail_error.h"
#include "mail/spool_file.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

std::vector<std::string_view> Fields(std::string_view in, std::size_t count) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < count) {
    auto nul = in.find('\0');
    if (nul == std::string_view::npos) break;
    out.push_back(in.substr(0, nul));
    in.remove_prefix(nul + 1);
  }
  out.push_back(in);
  out.resize(count);
  return out;
}

bool Printable(const std::string& address) {
  for (char c : address) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u >= 127) return false;
  }
  return true;
}

std::string Quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

// A list read, written back and read again gives the same addresses and names.
void CheckListRoundTrip(std::string_view text) {
  std::vector<TmsMailAddress> first;
  try {
    first = ParseAddressList(text);
  } catch (const EMessageError& e) {
    Require(e.ErrorCode == kMailUnsafeText, "a list is refused with 57110");
    return;
  }
  std::string again;
  for (const auto& a : first) {
    Require(!a.Address.empty(), "no empty address is read");
    if (a.Address.find_first_of("<>") != std::string::npos) return;  // the composer refuses it
    if (!again.empty()) again += ", ";
    again += (a.Name.empty() ? "" : Quoted(a.Name) + " ") + "<" + a.Address + ">";
  }
  std::vector<TmsMailAddress> second;
  try {
    second = ParseAddressList(again);
  } catch (const EMessageError&) {
    Require(false, "a list written back is read again");
  }
  Require(second.size() == first.size(), "a list written back has as many addresses");
  for (std::size_t i = 0; i < first.size(); ++i) {
    Require(second[i].Address == first[i].Address, "an address survives being written back");
    Require(second[i].Name == first[i].Name, "a name survives being written back");
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  Require(start == text.size(), "the message ends with CR LF");
  return lines;
}

// The file as a 7bit part carries it: every line end CR LF, the last line ended.
std::string SevenBitForm(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      out += "\r\n";
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out += bytes[i];
    }
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out;
}

// Whether the line holds an encoded word ("=?charset?B?text?=" or with Q): "=?" alone,
// as an address may hold it, is none.
bool HasEncodedWord(const std::string& line) {
  for (std::size_t at = line.find("=?"); at != std::string::npos; at = line.find("=?", at + 2)) {
    std::size_t q1 = line.find('?', at + 2);
    if (q1 == std::string::npos || q1 == at + 2 || q1 + 2 >= line.size()) continue;
    const char kind = line[q1 + 1];
    if ((kind != 'B' && kind != 'b' && kind != 'Q' && kind != 'q') || line[q1 + 2] != '?') continue;
    std::size_t end = line.find("?=", q1 + 3);
    if (end != std::string::npos && line.find(' ', q1 + 3) > end) return true;
  }
  return false;
}

// An address goes into the head as it stands, so what looks like an encoded word
// inside one is none: the addresses are taken out before a line is looked at.
void CheckMessage(const std::string& text, const std::string& boundary,
                  const std::vector<std::string>& addresses) {
  auto lines = Lines(text);
  bool head = true, partHead = false;
  std::string encoding;
  for (const auto& line : lines) {
    Require(line.size() <= 998, "a line holds at most 998 octets");
    Require(line.find_first_of("\r\n") == std::string::npos, "no bare CR or LF");
    if (head) {
      std::string words = line;
      for (const auto& a : addresses) {
        if (a.empty()) continue;
        for (auto at = words.find(a); at != std::string::npos; at = words.find(a, at)) {
          words.erase(at, a.size());
        }
      }
      if (HasEncodedWord(words)) {
        Require(line.size() <= 76, "a head line with an encoded word holds at most 76");
      }
      for (char c : line) {
        Require(static_cast<unsigned char>(c) < 128, "the head is ASCII");
      }
    }
    if (!boundary.empty() && (line == "--" + boundary || line == "--" + boundary + "--")) {
      partHead = true;
      encoding.clear();
      continue;
    }
    if (head || partHead) {
      if (line.rfind("Content-Transfer-Encoding: ", 0) == 0) {
        encoding = line.substr(27);
        Require(encoding == "7bit" || encoding == "Base64" || encoding == "Quoted-Printable" ||
                    encoding == "quoted-printable",
                "a transfer encoding is a MIME token");
      }
      if (line.empty()) head = partHead = false;
      continue;
    }
    if (encoding == "Quoted-Printable" || encoding == "quoted-printable") {
      Require(line.size() <= 76, "a quoted-printable line holds at most 76");
    }
    if (encoding == "7bit") {
      for (char c : line) {
        auto u = static_cast<unsigned char>(c);
        Require(u != 0 && u < 128, "a 7bit line holds no NUL and no 8-bit byte");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  static fuzz::ScratchDir dir;
  auto f = Fields(std::string_view(reinterpret_cast<const char*>(data), size), 8);
  CheckListRoundTrip(f[2]);

  TmsMessage m;
  m.Sender = {std::string(f[0]), std::string(f[1])};
  try {
    for (const auto& a : ParseAddressList(f[2])) m.Recipients.AddAddress(a.Address, a.Name);
  } catch (const EMessageError&) {
    return 0;
  }
  if (m.Recipients.Empty()) m.Recipients.AddAddress("sites@download.test");
  m.Subject = std::string(f[3]);
  m.Body = SplitLines(std::string(f[4]));
  unsigned flags = f[6].empty() ? 0 : static_cast<unsigned char>(f[6][0]);
  if (flags & 1) m.Encoding = TMsgEncoding::meUU;

  // The file's name: what was given, without "/" and NUL, and an extension by type.
  std::string name;
  for (char c : f[5].substr(0, 60)) {
    if (c != '/' && c != '\0') name += c;
  }
  static const char* kExtensions[] = {".eml", ".txt", ".bin", ".eml"};
  name = "f" + name + kExtensions[(flags >> 1) & 3];
  const std::string path = dir.path() + "/" + name;
  const std::string bytes(f[7]);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  m.Attachments.AddFile(path);
  const bool second = (flags & 8) != 0;
  if (second) {
    std::ofstream(dir.path() + "/z.bin", std::ios::binary | std::ios::trunc) << "Z";
    m.Attachments.AddFile(dir.path() + "/z.bin");
  }
  Require(m.Attachments[0].ShortName() == name, "only \"/\" separates folders");

  ComposeOptions o;
  o.date = 1796637197;
  StringSink sink;
  TmsMessageEncoder enc(m, o);
  try {
    enc.Encode(sink);
  } catch (const EMessageError&) {
    std::remove(path.c_str());
    return 0;  // refused before anything was sent
  }
  std::remove(path.c_str());
  Require(Printable(m.Sender.Address) && m.Sender.Address.size() <= 254,
          "a written address is sound");
  for (const auto& a : m.Recipients) {
    Require(Printable(a.Address) && a.Address.size() <= 254, "a written address is sound");
  }
  std::vector<std::string> addresses{m.Sender.Address};
  for (const auto& a : m.Recipients) addresses.push_back(a.Address);
  CheckMessage(sink.text, enc.Boundary(), addresses);

  const std::string& text = sink.text;
  if (m.Encoding == TMsgEncoding::meMIME && !enc.Boundary().empty()) {
    auto named = text.find("filename=\"" + name + "\"\r\n\r\n");
    if (named == std::string::npos) named = text.find("filename*=");
    Require(named != std::string::npos, "an attachment is announced by its name");
  }
  if (m.Encoding == TMsgEncoding::meMIME && !enc.Boundary().empty() && name.ends_with(".eml")) {
    // A message file goes 7bit exactly when it is clean: 7-bit lines of at most 998
    // bytes, each ended by CR LF (the last one too), and not empty; then the part is
    // the file, else plain bytes in Base64.
    bool clean = !bytes.empty() && bytes.back() == '\n';
    std::size_t line = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto u = static_cast<unsigned char>(bytes[i]);
      const bool crlf = (u == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ||
                        (u == '\n' && i > 0 && bytes[i - 1] == '\r');
      if ((u == '\r' || u == '\n') && !crlf) clean = false;
      line = u == '\r' || u == '\n' ? 0 : line + 1;
      if (u == 0 || u > 127 || line > 998) clean = false;
    }
    // The first part with a disposition is this file's (the boundary occurs nowhere else).
    const std::string delimiter = "--" + enc.Boundary() + "\r\n";
    std::size_t pos = text.find(delimiter), headEnd = std::string::npos;
    while (pos != std::string::npos) {
      headEnd = text.find("\r\n\r\n", pos);
      Require(headEnd != std::string::npos, "a part has a head");
      if (text.substr(pos, headEnd - pos).find("Content-Disposition: attachment") !=
          std::string::npos) {
        break;
      }
      pos = text.find(delimiter, headEnd);
    }
    Require(pos != std::string::npos, "the attachment has a part");
    std::string head = text.substr(pos, headEnd + 2 - pos);
    Require(head.find(clean ? "Content-Transfer-Encoding: 7bit\r\n"
                            : "Content-Transfer-Encoding: Base64\r\n") != std::string::npos,
            "a message file goes 7bit exactly when it is clean");
    if (clean) {
      std::string expected =
          SevenBitForm(bytes) + "\r\n--" + enc.Boundary() + (second ? "\r\n" : "--");
      Require(text.compare(headEnd + 4, expected.size(), expected) == 0,
              "a 7bit part is the file, followed by the delimiter");
    }
  }
  return 0;
}
