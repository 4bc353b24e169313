#include "mail/encodings.h"

#include <cstring>

namespace vendrix {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kQpPiece = 65;    // source characters in one piece
constexpr std::size_t kQpEncoded = 75;  // encoded characters before the soft break
constexpr std::size_t kQpLine = 76;     // the longest line RFC 2045 allows

bool MustEncode(unsigned char c) {
  return c < 32 || c == '=' || c >= 127;
}

}  // namespace

void AppendBase64Lines(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4 + bytes.size() / kBase64LineBytes * 2 + 2);
  for (std::size_t off = 0; off < bytes.size(); off += kBase64LineBytes) {
    AppendBase64(bytes.substr(off, kBase64LineBytes), out);
    out += "\r\n";
  }
}

void QuotedPrintableEncoder::Feed(std::string_view bytes, std::string& out) {
  for (char c : bytes) {
    segment_ += c;
    if (binary_ && c == '\n') {
      // The file's line ends, CR LF included, go out encoded; a soft break after them
      // keeps the lines of the text readable.
      EmitPieces(out, true);
      EmitPiece(segment_.size(), Ending::Soft, out);
    } else if (segment_.size() > 4 * kQpPiece) {
      EmitPieces(out, false);
    }
  }
  EmitPieces(out, false);
}

std::size_t QuotedPrintableEncoder::PieceLength() const {
  std::size_t n = 0, encoded = 0;
  while (n < segment_.size() && n < kQpPiece) {
    auto c = static_cast<unsigned char>(segment_[n]);
    std::size_t w = MustEncode(c) || (binary_ && n == 0 && c == '-') ? 3 : 1;
    if (encoded + w > kQpEncoded) break;
    encoded += w;
    ++n;
  }
  return n;
}

void QuotedPrintableEncoder::EmitPiece(std::size_t n, Ending ending, std::string& out) {
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(segment_[i]);
    bool encode = MustEncode(c) || (binary_ && i == 0 && c == '-') ||
                  (ending == Ending::Hard && i + 1 == n && (c == ' ' || c == '\t'));
    if (encode) {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += ending == Ending::Soft ? "=\r\n" : "\r\n";
  wroteAny_ = true;
  segment_.erase(0, n);
}

void QuotedPrintableEncoder::EmitPieces(std::string& out, bool all) {
  // A piece is cut only when more of the line follows it; the rest waits for more
  // input or the end of the line.
  while (segment_.size() > kQpPiece || (all && !segment_.empty())) {
    std::size_t n = PieceLength();
    if (n >= segment_.size()) break;
    auto space = segment_.rfind(' ', n - 1);
    if (space != std::string::npos && space > 0) n = space;
    EmitPiece(n, Ending::Soft, out);
  }
}

void QuotedPrintableEncoder::EndLine(std::string& out) {
  EmitPieces(out, true);
  // The last piece's final blank goes out as "=20", two characters more than counted:
  // when that takes the line past 76, the piece is cut once more.
  std::size_t width = 0;
  for (std::size_t i = 0; i < segment_.size(); ++i) {
    auto c = static_cast<unsigned char>(segment_[i]);
    bool last = i + 1 == segment_.size();
    width += MustEncode(c) || (last && c == ' ') ? 3 : 1;
  }
  if (width > kQpLine) {
    std::size_t n = segment_.size() - 1;
    auto space = segment_.rfind(' ', n - 1);
    if (space != std::string::npos && space > 0) n = space;
    EmitPiece(n, Ending::Soft, out);
  }
  EmitPiece(segment_.size(), Ending::Hard, out);
}

void QuotedPrintableEncoder::Finish(std::string& out) {
  EmitPieces(out, true);
  if (!segment_.empty() || !wroteAny_) EmitPiece(segment_.size(), Ending::Soft, out);
}

std::vector<std::string> QuotedPrintableLines(std::string_view line) {
  QuotedPrintableEncoder qp(false);
  std::string out;
  qp.Feed(line, out);
  qp.EndLine(out);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = out.find("\r\n"); end != std::string::npos; end = out.find("\r\n", start)) {
    lines.push_back(out.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void AppendUuLines(std::string_view bytes, std::string& out) {
  auto ch = [](unsigned v) { return v == 0 ? '`' : static_cast<char>(32 + v); };
  for (std::size_t off = 0; off < bytes.size(); off += kUuLineBytes) {
    std::string_view line = bytes.substr(off, kUuLineBytes);
    out += ch(static_cast<unsigned>(line.size()));
    for (std::size_t i = 0; i < line.size(); i += 3) {
      unsigned char b[3] = {0, 0, 0};
      for (std::size_t k = 0; k < 3 && i + k < line.size(); ++k) {
        b[k] = static_cast<unsigned char>(line[i + k]);
      }
      out += ch(b[0] >> 2);
      out += ch(((b[0] & 3) << 4) | (b[1] >> 4));
      out += ch(((b[1] & 15) << 2) | (b[2] >> 6));
      out += ch(b[2] & 63);
    }
    out += "\r\n";
  }
}

void DotStuffer::Apply(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size() + 64);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (atLineStart_ && bytes[pos] == '.') out += '.';
    auto nl = bytes.find('\n', pos);
    std::size_t end = nl == std::string_view::npos ? bytes.size() : nl + 1;
    out.append(bytes.data() + pos, end - pos);
    atLineStart_ = nl != std::string_view::npos;
    pos = end;
  }
}

}  // namespace vendrix
