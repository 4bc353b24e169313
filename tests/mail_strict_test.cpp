// Messages the composer writes, read by a strict receiver: Python's email package must
// find no defect in them, no line may pass 998 octets, and no line holding an encoded
// word or quoted-printable text may pass 76 characters. Also the refusals of what
// could not be written so, and the reader of recipient lists.
#include <gtest/gtest.h>

#include <cstdio>

#include "mail/address_list.h"
#include "mail/composer.h"
#include "mail/encodings.h"
#include "mail/mail_error.h"
#include "support/composed_text.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerScript;
using test::TempDir;
using test::WriteFile;
using namespace test::composed;

std::string Shell(const std::string& command, bool keepLastLineEnd = false) {
  std::string out;
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  while (!keepLastLineEnd && !out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

int RefusalCode(const TmsMessage& m) {
  try {
    Compose(m);
  } catch (const EMessageError& e) {
    return e.ErrorCode;
  }
  return 0;
}

class StrictReader : public ::testing::Test {
 protected:
  TempDir dir;
  int count = 0;
  std::string File(const std::string& name, const std::string& bytes) {
    WriteFile(dir / name, bytes);
    return dir / name;
  }
  // Writes the message to a file and returns its path.
  std::string Saved(const std::string& message) {
    return File("msg-" + std::to_string(++count) + ".eml", message);
  }
  // "ok", or every rule the message breaks.
  std::string Lint(const std::string& message) {
    return Shell("/usr/bin/python3 '" + PeerScript("mail_lint.py") + "' '" + Saved(message) + "'");
  }
  std::string Field(const std::string& message, const std::string& field) {
    return Shell("/usr/bin/python3 '" + PeerScript("smtp_check.py") + "' '" + Saved(message) +
                 "' " + field);
  }
  // A header's text as RFC 2047 decodes it (whitespace between encoded words dropped).
  std::string Header(const std::string& message, const std::string& name) {
    return Shell("/usr/bin/python3 '" + PeerScript("mail_lint.py") + "' '" + Saved(message) +
                 "' --header " + name);
  }
  std::string Attachment(const std::string& message, int n) {
    return Shell("/usr/bin/python3 '" + PeerScript("smtp_check.py") + "' '" + Saved(message) +
                     "' --attachment " + std::to_string(n),
                 true);
  }
};

TEST(QuotedPrintableLimits, AFinalBlankCountsTowardsTheSeventySixCharacters) {
  // 65 bytes ending in a blank, with more and more of them written as "=XX".
  for (int encoded = 0; encoded <= 64; ++encoded) {
    std::string line = std::string(static_cast<std::size_t>(encoded), '=') +
                       std::string(static_cast<std::size_t>(64 - encoded), 'a') + " ";
    auto lines = QuotedPrintableLines(line);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 76u) << encoded << ": " << lines[i];
      joined += lines[i] + (i + 1 < lines.size() ? "\r\n" : "");
    }
    EXPECT_EQ(DecodeQp(joined), line) << encoded;
  }
}

TEST_F(StrictReader, HeadLinesWithEncodedWordsStayWithinSeventySix) {
  TmsMessage m = Basic();
  m.Sender.Name =
      "J\xF6rg M\xFCller-L\xFC"
      "denscheid, Gesch\xE4"
      "ftsf\xFChrer der Gro\xDF"
      "en Firma";
  m.Recipients.Clear();
  m.Recipients.AddAddress("a@download.test", std::string(200, '\xE9'));
  m.Recipients.AddAddress("b@download.test", "Caf\xE9 " + std::string(60, 'x'));
  m.CC.AddAddress("c@download.test", "\x80 and more \x80");
  m.Subject = std::string(255, '\xFC');
  m.Headers = {"X-Note: " + std::string(150, '\xE4')};
  std::string text = Compose(m);
  EXPECT_EQ(Lint(text), "ok");
  for (const auto& line : Lines(text.substr(0, text.find("\r\n\r\n") + 2))) {
    if (line.find("=?") != std::string::npos) {
      EXPECT_LE(line.size(), 76u) << line;
    }
  }
  EXPECT_EQ(Header(text, "From"),
            "Jörg Müller-Lüdenscheid, Geschäftsführer der Großen Firma <jo@example.com>");
  std::string subject;
  for (int i = 0; i < 255; ++i) subject += "ü";
  EXPECT_EQ(Field(text, "subject"), subject);
  EXPECT_EQ(Field(text, "to"), "a@download.test\nb@download.test");
  std::string name;
  for (int i = 0; i < 200; ++i) name += "é";
  EXPECT_EQ(Header(text, "To"), name + " <a@download.test>,          Café " + std::string(60, 'x') +
                                    " <b@download.test>");
}

TEST_F(StrictReader, PlainHeadLinesFoldAtBlanksAndKeepTheirText) {
  TmsMessage m = Basic();
  std::string subject;
  while (subject.size() < 240) subject += "release notes ";
  m.Subject = subject.substr(0, 240);
  m.Sender.Name = "Brightfield Software and Sons of the Long Company Name Limited";
  std::string text = Compose(m);
  EXPECT_EQ(Lint(text), "ok");
  for (const auto& line : Lines(text.substr(0, text.find("\r\n\r\n") + 2))) {
    EXPECT_LE(line.size(), 76u) << line;
  }
  EXPECT_EQ(Field(text, "subject"), m.Subject);
  EXPECT_EQ(Field(text, "from_name"), m.Sender.Name);
  // Plain text that looks like an encoded word is encoded, so that it reads as typed.
  m.Subject = "=?UTF-8?B?QQ==?= stays";
  EXPECT_EQ(Field(Compose(m), "subject"), m.Subject);
}

TEST(AddressRefusals, EightBitControlAndOverlongAddressesAndNamesAreRefused) {
  auto with = [](auto change) {
    TmsMessage m = Basic();
    change(m);
    return RefusalCode(m);
  };
  EXPECT_EQ(with([](TmsMessage& m) { m.Sender.Address = "j\xF6@example.com"; }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.Recipients.AddAddress("a\x01@b.test"); }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.CC.AddAddress("a\x7F@b.test"); }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.BCC.AddAddress("a\t@b.test"); }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.BCC.AddAddress("\xA0"); }), kMailUnsafeText);
  // 254 characters is the longest an address may be; a name may have 255.
  std::string at254 = std::string(242, 'a') + "@example.com";
  ASSERT_EQ(at254.size(), 254u);
  EXPECT_EQ(with([&](TmsMessage& m) { m.Recipients.AddAddress(at254); }), 0);
  EXPECT_EQ(with([&](TmsMessage& m) { m.Recipients.AddAddress("a" + at254); }), kMailUnsafeText);
  EXPECT_EQ(with([&](TmsMessage& m) { m.Sender.Address = "a" + at254; }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.Sender.Name = std::string(255, 'n'); }), 0);
  EXPECT_EQ(with([](TmsMessage& m) { m.Sender.Name = std::string(256, 'n'); }), kMailUnsafeText);
  EXPECT_EQ(with([](TmsMessage& m) { m.Recipients.AddAddress("x@y.test", std::string(256, 'n')); }),
            kMailUnsafeText);
}

TEST_F(StrictReader, LongestAddressesAndNamesStillMakeLinesWithin998) {
  TmsMessage m = Basic();
  std::string at254 = std::string(242, 'a') + "@example.com";
  m.Sender = {std::string(255, 'N'), at254};
  m.Recipients.Clear();
  m.Recipients.AddAddress(at254, std::string(255, '\xE9'));
  m.Recipients.AddAddress(at254, std::string(255, 'x'));
  EXPECT_EQ(Lint(Compose(m)), "ok");
}

TEST_F(StrictReader, MessageAttachmentsAreSevenBitOnlyWhenCleanElseBase64) {
  const std::string inner = "From: a@b.test\r\nSubject: inner\r\n\r\nbody line\r\n";
  struct Case {
    std::string bytes;
    bool sevenBit;
    const char* name = "fwd.eml";
  };
  const Case cases[] = {{inner, true},
                        {inner + std::string(998, 'x') + "\r\n", true},
                        {inner + std::string(999, 'x') + "\r\n", false},
                        {inner + std::string(2000, 'x') + "\r\n", false},
                        {inner + "caf\xE9\r\n", false},
                        {inner + std::string("nul\0here\r\n", 10), false},
                        // Line ends a message part would change.
                        {"From: a@b.test\n\nbody\n", false},
                        {inner + "lone\rcr\r\n", false},
                        {inner + "no line end", false},
                        {"", false},
                        // Any message type, by its extension.
                        {inner + "caf\xE9\r\n", false, "fwd.u8msg"},
                        {inner, true, "fwd.u8msg"}};
  for (const auto& c : cases) {
    TmsMessage m = Basic();
    m.Attachments.AddFile(File(c.name, c.bytes));
    m.Attachments.AddFile(File("z.bin", "Z"));
    std::string text = Compose(m);
    EXPECT_EQ(Lint(text), "ok") << c.bytes.size();
    EXPECT_EQ(text.find("7 bit"), std::string::npos);
    const std::string name = c.name;
    if (c.sevenBit) {
      EXPECT_NE(text.find("; name=\"" + name + "\"\r\nContent-Transfer-Encoding: 7bit\r\n"),
                std::string::npos);
      EXPECT_NE(text.find("Content-Type: message/"), std::string::npos);
    } else {
      // A message part may not be Base64: the file goes as plain bytes.
      EXPECT_NE(text.find("Content-Type: application/octet-stream; name=\"" + name +
                          "\"\r\nContent-Transfer-Encoding: Base64\r\n"),
                std::string::npos)
          << c.bytes.size();
      EXPECT_EQ(Attachment(text, 0), c.bytes);
    }
  }
}

TEST_F(StrictReader, SevenBitPartEndsWithTheFilesLastLineBeforeTheNextDelimiter) {
  const std::string inner = "From: a@b.test\r\nSubject: inner\r\n\r\nbody line\r\n";
  TmsMessage m = Basic();
  m.Attachments.AddFile(File("fwd.eml", inner));
  m.Attachments.AddFile(File("z.bin", "Z"));
  m.Attachments.AddFile(File("last.eml", inner));
  ComposeOptions o;
  o.drawBoundary = [] { return std::string("01234567"); };
  std::string text = Compose(m, o);
  EXPECT_EQ(Lint(text), "ok");
  // The CR LF before a delimiter belongs to the delimiter: the part is the file.
  EXPECT_NE(text.find("\r\n\r\n" + inner + "\r\n--01234567\r\n"), std::string::npos);
  EXPECT_EQ(text.find(inner + "\r\n\r\n--01234567\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n\r\n" + inner + "\r\n--01234567--\r\n"), std::string::npos);
}

TEST_F(StrictReader, UuencodeModeWrapsALongBodyAsTheMimeLayoutDoes) {
  TmsMessage m = Basic();
  m.Encoding = TMsgEncoding::meUU;
  std::string words;
  while (words.size() < 1200) words += "download ";
  m.Body = {"Short first line", std::string(1200, 'y'), words};
  m.Attachments.AddFile(File("c.txt", "Cat"));
  std::string text = Compose(m);
  EXPECT_EQ(Lint(text), "ok");
  auto lines = Lines(text);
  auto begin = std::find(lines.begin(), lines.end(), "Short first line");
  ASSERT_NE(begin, lines.end());
  auto end = std::find(begin, lines.end(), "begin 600 c.txt");
  ASSERT_NE(end, lines.end());
  std::string solid, spaced;
  for (auto it = begin + 1; it != end - 1; ++it) {
    EXPECT_LE(it->size(), 65u) << *it;
    (it->front() == 'y' ? solid : spaced) += *it;
  }
  EXPECT_EQ(solid, std::string(1200, 'y'));
  EXPECT_EQ(spaced, words);
}

TEST_F(StrictReader, OnlyASlashSeparatesFoldersInAnAttachmentsName) {
  TmsMessage m = Basic();
  m.Attachments.AddFile(File("en\\.txt", "text\r\n"));
  m.Attachments.AddFile(File("sub/a\\b.bin", "B"));
  std::string text = Compose(m);
  EXPECT_EQ(Lint(text), "ok");
  EXPECT_EQ(Field(text, "attachments"), "en\\.txt\na\\b.bin");
  EXPECT_EQ(Attachment(text, 0), "text\r\n");
}

TEST_F(StrictReader, EveryLayoutPassesWithAwkwardContent) {
  std::string qpTrap = std::string(5, '=') + std::string(59, 'q') + " ";
  std::string longBody(2000, 'w');
  for (auto encoding : {TMsgEncoding::meMIME, TMsgEncoding::meUU}) {
    for (int attachments = 0; attachments <= 3; ++attachments) {
      for (bool body : {false, true}) {
        TmsMessage m = Basic();
        m.Encoding = encoding;
        m.Sender.Name =
            "Gr\xFC\xDF"
            "e, \"Jo\" " +
            std::string(70, '\xE9');
        m.Subject = qpTrap + "\xE9";
        m.Body = body ? std::vector<std::string>{qpTrap, longBody, ".", "\xE9t\xE9"}
                      : std::vector<std::string>{};
        const std::string files[] = {
            File("a.txt", qpTrap + "\r\n" + longBody + "\r\n"),
            File("b.eml", "Subject: x\r\n\r\n" + std::string(1500, 'l') + "\r\n"),
            File("c.eml", "Subject: y\r\n\r\nplain\r\n"),
        };
        for (int i = 0; i < attachments; ++i) m.Attachments.AddFile(files[i]);
        EXPECT_EQ(Lint(Compose(m)), "ok")
            << (encoding == TMsgEncoding::meUU) << attachments << body;
      }
    }
  }
}

TEST(RecipientLists, SeparatorsCountOnlyOutsideQuotesCommentsAndBrackets) {
  auto parsed = [](const std::string& text) {
    std::string out;
    for (const auto& a : ParseAddressList(text)) out += "[" + a.Name + "|" + a.Address + "]";
    return out;
  };
  EXPECT_EQ(parsed("\"Doe, John\" <john@example.org>"), "[Doe, John|john@example.org]");
  EXPECT_EQ(parsed("a@x.org; Ann Lee <ann@x.org>,b@x.org"),
            "[|a@x.org][Ann Lee|ann@x.org][|b@x.org]");
  EXPECT_EQ(parsed("b@x.org (Bob; the editor, really)"), "[Bob; the editor, really|b@x.org]");
  EXPECT_EQ(parsed("\"q\\\"uote, \\\\ x\" <q@x.org>"), "[q\"uote, \\ x|q@x.org]");
  EXPECT_EQ(parsed("<\"odd,local\"@x.org>"), "[|\"odd,local\"@x.org]");
  EXPECT_EQ(parsed(" , a@x.org ,, ;"), "[|a@x.org]");
  EXPECT_EQ(parsed(""), "");
  for (const char* bad :
       {"\"Doe, John <j@x.org>", "a@x.org (Bob", "Ann <ann@x.org", "Ann <a@x.org> <b@x.org>",
        "Ann <a@x.org> trailing", "Ann Lee a@x.org", "a@x.org)"}) {
    try {
      ParseAddressList(bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const EMessageError& e) {
      EXPECT_EQ(e.ErrorCode, kMailUnsafeText) << bad;
    }
  }
}

}  // namespace
}  // namespace vendrix
