#include "mail/composer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>

#include "base/cp1252.h"
#include "base/line_list.h"
#include "mail/encodings.h"
#include "mail/header_fold.h"
#include "mail/mail_error.h"
#include "net/stream.h"

namespace vendrix {
namespace {

constexpr std::size_t kFlushAt = 256 * 1024;
constexpr std::size_t kLongLine = 256;  // a body with a line this long goes quoted-printable
constexpr std::size_t kPiece = 65;      // the longest piece of a cut body line
constexpr std::size_t kMaxLine = 998;   // RFC 5322: octets in a line without CR LF
constexpr std::size_t kMaxAddress = 254;
constexpr std::size_t kMaxName = 255;

bool IsAscii(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; });
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A display name as a header phrase: encoded words when not ASCII, quoted when it holds
// a character that would end or split the phrase.
void Phrase(HeaderFolder& f, const std::string& name) {
  if (NeedsEncodedWords(name)) {
    f.Encoded(name, false);
  } else if (name.find_first_of("()<>[]:;@\\,.\"") == std::string::npos) {
    f.Words(name);
  } else {
    std::string q = "\"";
    for (char c : name) {
      if (c == '"' || c == '\\') q += '\\';
      q += c;
    }
    f.Atom(q + "\"");
  }
}

// "Name <address>" and what follows it on its line, as one field line or more.
std::string Mailbox(std::string_view label, const TmsMailAddress& a, std::string_view after = "") {
  HeaderFolder f(label);
  Phrase(f, a.Name);
  f.Atom(" <" + a.Address + ">" + std::string(after));
  return f.Lines();
}

// `key="value"`, or the RFC 2231 form `key*=UTF-8''%xx` for a name that is not plain
// printable ASCII.
std::string Parameter(const std::string& key, const std::string& fileName) {
  bool plain = std::all_of(fileName.begin(), fileName.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 32 && u < 127 && c != '"' && c != '\\';
  });
  if (plain) return key + "=\"" + fileName + "\"";
  std::string utf8 = IsUtf8(fileName) ? fileName : Cp1252ToUtf8(fileName);
  std::string out = key + "*=UTF-8''";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : utf8) {
    auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || std::strchr("!#$&+-.^_`|~", c)) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

// Reads a file in blocks of exactly blockSize bytes (the last one shorter).
template <typename Fn>
void ForEachBlock(const TmsAttItem& a, std::size_t blockSize, Fn fn) {
  auto fail = [&](int err) {
    throw EMessageError(kMailAttachmentRead,
                        "Unable to read the attachment " + a.FileName + ": " + std::strerror(err));
  };
  int fd = ::open(a.FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) fail(errno);
  std::string block(blockSize, '\0');
  try {
    for (;;) {
      std::size_t got = 0;
      while (got < blockSize) {
        ssize_t n = ::read(fd, block.data() + got, blockSize - got);
        if (n < 0) {
          if (errno == EINTR) continue;
          fail(errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
      }
      if (got > 0) fn(std::string_view(block.data(), got));
      if (got < blockSize) break;
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

bool FileContains(const TmsAttItem& a, const std::string& needle) {
  bool found = false;
  std::string tail;
  ForEachBlock(a, 1 << 16, [&](std::string_view block) {
    if (found) return;
    std::string window = tail + std::string(block);
    found = window.find(needle) != std::string::npos;
    tail = window.substr(window.size() - std::min(window.size(), needle.size()));
  });
  return found;
}

// Whether a file can go out as it stands under "7bit": no NUL, no byte above 127, and
// no line longer than 998 bytes (lone CR and LF count as line ends, as they are written
// as CR LF).
bool IsSevenBitFile(const TmsAttItem& a) {
  bool clean = true;
  std::size_t line = 0;
  ForEachBlock(a, 1 << 16, [&](std::string_view block) {
    for (char c : block) {
      auto u = static_cast<unsigned char>(c);
      if (u == '\r' || u == '\n') {
        line = 0;
      } else if (u == 0 || u > 127 || ++line > kMaxLine) {
        clean = false;
      }
    }
  });
  return clean;
}

// Whether a message file can go out as a message part and arrive as it is: a part of
// type message/... may only be 7bit (RFC 2046 5.2), which carries 7-bit lines of at most
// 998 bytes, each ended by CR LF. A file with a NUL, an 8-bit byte, a longer line, a
// lone CR or LF, or no line end after its last line would arrive changed, or not at
// all; an empty file is no message.
bool CarriesAsMessage(const TmsAttItem& a) {
  bool clean = true, any = false;
  char previous = '\n';
  std::size_t line = 0;
  ForEachBlock(a, 1 << 16, [&](std::string_view block) {
    any = any || !block.empty();
    for (char c : block) {
      auto u = static_cast<unsigned char>(c);
      if (previous == '\r' && c != '\n') clean = false;
      if (c == '\n') {
        if (previous != '\r') clean = false;
        line = 0;
      } else if (c != '\r' && (u == 0 || u > 127 || ++line > kMaxLine)) {
        clean = false;
      }
      previous = c;
    }
  });
  return clean && any && previous == '\n';
}

bool IsMessageType(const std::string& contentType) {
  return Lower(contentType).rfind("message/", 0) == 0;
}

// The body lines of a uuencoded message, where nothing declares quoted-printable: a
// long body is cut into pieces as quoted-printable would cut it, each a line of its own.
std::vector<std::string> WrappedLines(const std::vector<std::string>& body) {
  bool longBody = std::any_of(body.begin(), body.end(),
                              [](const std::string& l) { return l.size() >= kLongLine; });
  if (!longBody) return body;
  std::vector<std::string> out;
  for (const auto& line : body) {
    std::string_view rest = line;
    while (rest.size() > kPiece) {
      std::size_t n = kPiece;
      auto space = rest.rfind(' ', n - 1);
      if (space != std::string_view::npos && space > 0) n = space;
      out.emplace_back(rest.substr(0, n));
      rest.remove_prefix(n);
    }
    out.emplace_back(rest);
  }
  return out;
}

}  // namespace

std::string RandomBoundary() {
  static thread_local std::random_device device;
  std::uniform_int_distribution<int> digit(0, 8);
  std::string b;
  for (int i = 0; i < 8; ++i) b += static_cast<char>('0' + digit(device));
  return b;
}

std::string Rfc5322Date(std::time_t t) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  ::localtime_r(&t, &tm);
  long offset = tm.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  offset = std::labs(offset);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                sign, offset / 60, offset % 60);
  return buf;
}

void RequireOneLine(const std::string& text, const std::string& what) {
  if (!IsProtocolSafe(text)) {
    throw EMessageError(kMailUnsafeText, "A line break or NUL character is not allowed in " + what);
  }
}

void RequireAddress(const std::string& a, const std::string& what) {
  RequireOneLine(a, what);
  // An address goes into the envelope and the head as it stands: printable ASCII
  // only, no angle brackets, and no longer than a mail server takes.
  bool printable = std::all_of(a.begin(), a.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 32 && u < 127 && c != '<' && c != '>';
  });
  if (!printable) {
    throw EMessageError(kMailUnsafeText, "The address " + a +
                                             " is not valid: it may hold only printable "
                                             "ASCII characters and no \"<\" or \">\"");
  }
  if (a.size() > kMaxAddress) {
    throw EMessageError(kMailUnsafeText, "The address " + a.substr(0, 40) + "... is longer than " +
                                             std::to_string(kMaxAddress) + " characters");
  }
}

void CheckMessageText(const TmsMessage& m) {
  auto name = [](const std::string& n, const std::string& what) {
    RequireOneLine(n, what);
    if (n.size() > kMaxName) {
      throw EMessageError(kMailUnsafeText, "The name " + n.substr(0, 40) + "... of " + what +
                                               " is longer than " + std::to_string(kMaxName) +
                                               " characters");
    }
  };
  RequireAddress(m.Sender.Address, "the sender's address");
  name(m.Sender.Name, "the sender");
  RequireOneLine(m.Subject, "the subject");
  RequireOneLine(m.ContentType, "the content type");
  for (const auto* list : {&m.Recipients, &m.CC, &m.BCC}) {
    for (const auto& a : *list) {
      RequireAddress(a.Address, "the address " + a.Address);
      name(a.Name, a.Address);
    }
  }
  for (const auto& h : m.Headers) RequireOneLine(h, "a header line");
}

class TmsMessageEncoder::Writer {
 public:
  Writer(ByteSink& sink, const std::function<void()>& checkpoint)
      : sink_(sink), checkpoint_(checkpoint) {
    buffer_.reserve(kFlushAt + 4096);
  }
  ~Writer() = default;
  void Line(std::string_view s) {
    buffer_.append(s);
    buffer_ += "\r\n";
    MaybeFlush();
  }
  void Raw(std::string_view s) {
    buffer_.append(s);
    MaybeFlush();
  }
  std::string& Buffer() { return buffer_; }
  void MaybeFlush() {
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Flush() {
    sink_.Write(buffer_);
    buffer_.clear();
    if (checkpoint_) checkpoint_();
  }

 private:
  ByteSink& sink_;
  const std::function<void()>& checkpoint_;
  std::string buffer_;
};

TmsMessageEncoder::TmsMessageEncoder(const TmsMessage& message, ComposeOptions options)
    : m_(message), options_(std::move(options)) {
  if (!options_.drawBoundary) options_.drawBoundary = RandomBoundary;
  if (options_.date == 0) options_.date = std::time(nullptr);
  for (const auto& line : m_.Body) {
    // A body line that holds a line break is more than one line.
    if (line.find_first_of("\r\n") == std::string::npos) {
      body_.push_back(line);
    } else {
      for (auto& part : SplitLines(line)) body_.push_back(std::move(part));
    }
  }
}

std::string TmsMessageEncoder::ChooseBoundary() {
  for (;;) {
    std::string b = options_.drawBoundary();
    bool clash = std::any_of(body_.begin(), body_.end(),
                             [&](const std::string& l) { return l.find(b) != std::string::npos; });
    // Base64 lines never hold "-"; quoted-printable never starts a line with one; only
    // 7-bit attachments go out as they stand.
    for (const auto& a : parts_) {
      if (!clash && a.Encoding == TAttEncoding::et7Bit) clash = FileContains(a, b);
    }
    if (!clash) return b;
  }
}

void TmsMessageEncoder::WriteHead(Writer& w) {
  w.Line("Date: " + Rfc5322Date(options_.date));
  w.Line(Mailbox("From:     ", m_.Sender));
  auto list = [&](const char* label, const TmsAddressList& l) {
    if (l.Empty()) return;
    std::string pad(label);
    pad.resize(10, ' ');
    for (std::size_t i = 0; i < l.Count(); ++i) {
      w.Line(Mailbox(i == 0 ? pad : std::string(10, ' '), l[i], i + 1 < l.Count() ? "," : ""));
    }
  };
  list("To:", m_.Recipients);
  list("CC:", m_.CC);
  if (m_.ReturnReceipt) w.Line("Return-Receipt-To: <" + m_.Sender.Address + ">");
  if (m_.Priority == TPriority::ptLow) w.Line("X-Priority: 5");
  if (m_.Priority == TPriority::ptHigh) w.Line("X-Priority: 1");
  static const char* kOwn[] = {"from",
                               "to",
                               "cc",
                               "bcc",
                               "subject",
                               "return-receipt-to",
                               "x-priority",
                               "mime-version",
                               "content-type",
                               "x-encoding",
                               "content-transfer-encoding",
                               "date",
                               "message-id"};
  for (const auto& h : m_.Headers) {
    auto colon = h.find(':');
    std::string name = Lower(h.substr(0, colon));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (std::find(std::begin(kOwn), std::end(kOwn), name) != std::end(kOwn)) continue;
    if (colon == std::string::npos) {
      w.Line(h);
      continue;
    }
    std::string value = h.substr(colon + 1);
    HeaderFolder f(h.substr(0, colon + 1));
    if (NeedsEncodedWords(value)) {
      auto start = std::min(value.find_first_not_of(' '), value.size());
      f.Encoded(std::string_view(value).substr(start), true);
    } else {
      f.Words(value);
    }
    w.Line(f.Lines());
  }
  if (!m_.Subject.empty()) {
    HeaderFolder f("Subject:  ");
    f.Text(m_.Subject);
    w.Line(f.Lines());
  }
  std::string domain;
  if (auto at = m_.Sender.Address.rfind('@'); at != std::string::npos) {
    for (char c : m_.Sender.Address.substr(at + 1)) {
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') domain += c;
    }
  }
  if (domain.empty()) domain = options_.hostName.empty() ? "localhost" : options_.hostName;
  static thread_local std::random_device device;
  char id[40];
  std::snprintf(id, sizeof id, "%08x%08x.%lld", device(), device(),
                static_cast<long long>(options_.date));
  w.Line(std::string("Message-ID: <") + id + "@" + domain + ">");
  if (m_.Encoding == TMsgEncoding::meMIME) w.Line("Mime-Version: 1.0");
}

void TmsMessageEncoder::WriteTextPart(Writer& w, bool withHeaders) {
  bool ascii = std::all_of(body_.begin(), body_.end(), [](const std::string& l) {
    return IsAscii(l) && l.find('\0') == std::string::npos;
  });
  bool longBody = std::any_of(body_.begin(), body_.end(),
                              [](const std::string& l) { return l.size() >= kLongLine; });
  std::string charset = "us-ascii";
  bool qp = longBody;
  if (!ascii) {
    charset = "utf-8";
    qp = true;
  } else if (m_.CharSet == TCharSet::csISO8859) {
    charset = "iso-8859-1";
    qp = true;
  }
  if (withHeaders) {
    std::string type = Lower(m_.ContentType);
    if (type.empty() || type.rfind("multipart/", 0) == 0) type = "text/plain";
    w.Line("Content-Type: " + type + "; charset=\"" + charset + "\"");
    w.Line(qp ? "Content-Transfer-Encoding: quoted-printable" : "Content-Transfer-Encoding: 7bit");
    w.Line("");
  }
  QuotedPrintableEncoder enc(false);
  for (const auto& line : body_) {
    if (!qp) {
      w.Line(line);
      continue;
    }
    enc.Feed(ascii ? line : Cp1252ToUtf8(line), w.Buffer());
    enc.EndLine(w.Buffer());
    w.MaybeFlush();
  }
}

void TmsMessageEncoder::WriteAttachmentHeaders(Writer& w, const TmsAttItem& a) {
  std::string name = a.ShortName();
  std::string type = Lower(a.ContentType.empty() ? "application/octet-stream" : a.ContentType);
  RequireOneLine(type, "the content type of " + name);
  w.Line("Content-Type: " + type + "; " + Parameter("name", name));
  w.Line(std::string("Content-Transfer-Encoding: ") + EncodingName(a.Encoding));
  w.Line("Content-Disposition: attachment; " + Parameter("filename", name));
  w.Line("");
}

void TmsMessageEncoder::WriteAttachmentBytes(Writer& w, const TmsAttItem& a) {
  switch (a.Encoding) {
    case TAttEncoding::etBase64:
      ForEachBlock(a, kBase64LineBytes * 1024, [&](std::string_view block) {
        AppendBase64Lines(block, w.Buffer());
        w.MaybeFlush();
      });
      return;
    case TAttEncoding::etQuotedPrintable: {
      QuotedPrintableEncoder enc(true);
      ForEachBlock(a, 1 << 16, [&](std::string_view block) {
        enc.Feed(block, w.Buffer());
        w.MaybeFlush();
      });
      enc.Finish(w.Buffer());
      return;
    }
    case TAttEncoding::et7Bit: {
      // The file's own lines, each ended by CR LF whatever ended it. The file was found
      // 7-bit before; one that changed since is not sent as something else.
      bool lastCr = false, open = false;
      std::size_t line = 0;
      ForEachBlock(a, 1 << 16, [&](std::string_view block) {
        std::string& out = w.Buffer();
        for (char c : block) {
          auto u = static_cast<unsigned char>(c);
          if (c == '\n') {
            if (!lastCr) out += "\r\n";
            lastCr = false;
            open = false;
            line = 0;
          } else if (c == '\r') {
            out += "\r\n";
            lastCr = true;
            open = false;
            line = 0;
          } else if (u == 0 || u > 127 || ++line > kMaxLine) {
            throw EMessageError(kMailAttachmentRead, "The attachment " + a.FileName +
                                                         " changed while it was being sent");
          } else {
            out += c;
            lastCr = false;
            open = true;
          }
        }
        w.MaybeFlush();
      });
      if (open) w.Raw("\r\n");
      return;
    }
  }
}

void TmsMessageEncoder::WriteUuAttachment(Writer& w, const TmsAttItem& a) {
  w.Line("");
  RequireOneLine(a.ShortName(), "an attachment's name");
  w.Line("begin 600 " + a.ShortName());
  ForEachBlock(a, kUuLineBytes * 1024, [&](std::string_view block) {
    AppendUuLines(block, w.Buffer());
    w.MaybeFlush();
  });
  w.Line("`");
  w.Line("end");
}

void TmsMessageEncoder::Encode(ByteSink& out) {
  CheckMessageText(m_);
  boundary_.clear();
  // A file goes out "7bit" only when it is 7-bit text in lines a mail server takes;
  // any other goes Base64. A message file goes as a message part only when that
  // carries it byte for byte, else as plain bytes in Base64, since a message part may
  // not be Base64 encoded.
  parts_.assign(m_.Attachments.begin(), m_.Attachments.end());
  for (auto& a : parts_) {
    if (m_.Encoding == TMsgEncoding::meUU) continue;
    if (IsMessageType(a.ContentType)) {
      if (CarriesAsMessage(a)) {
        a.Encoding = TAttEncoding::et7Bit;
      } else {
        a.Encoding = TAttEncoding::etBase64;
        a.ContentType = "application/octet-stream";
      }
      continue;
    }
    if (a.Encoding != TAttEncoding::et7Bit || IsSevenBitFile(a)) continue;
    a.Encoding = TAttEncoding::etBase64;
  }
  Writer w(out, options_.checkpoint);
  WriteHead(w);
  const auto& atts = parts_;
  if (m_.Encoding == TMsgEncoding::meUU) {
    w.Line("");
    for (const auto& line : WrappedLines(body_)) w.Line(line);
    for (const auto& a : atts) WriteUuAttachment(w, a);
  } else if (body_.empty() && atts.size() == 1) {
    WriteAttachmentHeaders(w, atts[0]);
    WriteAttachmentBytes(w, atts[0]);
  } else if (atts.empty()) {
    WriteTextPart(w, true);
  } else {
    boundary_ = ChooseBoundary();
    const std::string delimiter = "--" + boundary_;
    w.Line("Content-Type: multipart/mixed; boundary=\"" + boundary_ + "\"");
    w.Line("");
    w.Line(MailErrorText(kMailPreamble));
    w.Line("");
    w.Line(delimiter);
    if (!body_.empty()) {
      WriteTextPart(w, true);
      w.Line("");
      w.Line(delimiter);
    }
    for (std::size_t i = 0; i < atts.size(); ++i) {
      if (i > 0) {
        w.Line("");
        w.Line(delimiter);
      }
      WriteAttachmentHeaders(w, atts[i]);
      WriteAttachmentBytes(w, atts[i]);
      // Quoted-printable ends with a soft break and 7bit with the file's last line end:
      // a further empty line before the next delimiter would add a line to the file.
      bool last = i + 1 == atts.size();
      if (atts[i].Encoding == TAttEncoding::etBase64 ||
          (last && atts[i].Encoding == TAttEncoding::et7Bit)) {
        w.Line("");
      }
    }
    w.Line(delimiter + "--");
  }
  w.Flush();
}

}  // namespace vendrix
