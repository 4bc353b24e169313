// The message composer and its encodings, checked on the bytes they write.
#include <gtest/gtest.h>

#include <random>

#include "mail/composer.h"
#include "mail/encodings.h"
#include "mail/header_fold.h"
#include "mail/mail_error.h"
#include "mail/mime_types.h"
#include "support/composed_text.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::TempDir;
using test::WriteFile;
using namespace test::composed;

TEST(QuotedPrintable, LongLinesAreCutAt65BeforeTheLastSpaceWithSoftBreaks) {
  std::string words;
  while (words.size() < 300) words += "submission ";
  auto lines = QuotedPrintableLines(words);
  ASSERT_GT(lines.size(), 4u);
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool last = i + 1 == lines.size();
    std::string piece = last ? lines[i] : lines[i].substr(0, lines[i].size() - 1);
    if (!last) {
      EXPECT_EQ(lines[i].back(), '=');
    }
    EXPECT_LE(piece.size(), 65u);
    if (i > 0) {
      EXPECT_EQ(piece.front(), ' ') << "the space starts the next piece";
    }
    joined += piece;
  }
  // The trailing space of the text is written encoded.
  EXPECT_EQ(DecodeQp(joined), words);

  auto solid = QuotedPrintableLines(std::string(300, 'x'));
  ASSERT_EQ(solid.size(), 5u);
  EXPECT_EQ(solid[0], std::string(65, 'x') + "=");
  EXPECT_EQ(solid[4], std::string(40, 'x'));
}

TEST(QuotedPrintable, EncodesControlEqualsAndHighBytesInUpperCaseHex) {
  auto lines = QuotedPrintableLines(std::string("a=b\tc\xE9\x7F end "));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "a=3Db=09c=E9=7F end=20");
  EXPECT_EQ(QuotedPrintableLines(""), std::vector<std::string>{""});
  // Encoded, a piece stays within the 76 characters of a line.
  for (const auto& l : QuotedPrintableLines(std::string(200, '\xE9'))) {
    EXPECT_LE(l.size(), 76u);
  }
}

TEST(QuotedPrintable, FileBytesArriveUnchanged) {
  const std::string samples[] = {"abc",
                                 "abc\r\n",
                                 "one\ntwo\rthree\r\nfour\r\n\r\n",
                                 "--12345678\r\n-dash at a line start\r\n",
                                 std::string(500, 'y') + "\r\n" + std::string(70, ' '),
                                 RandomBytes(5000, 1),
                                 ""};
  for (const auto& data : samples) {
    QuotedPrintableEncoder enc(true);
    std::string out;
    // Fed in uneven pieces, as the file is read.
    for (std::size_t off = 0; off < data.size(); off += 7) enc.Feed(data.substr(off, 7), out);
    enc.Finish(out);
    for (const auto& line : Lines(out)) {
      EXPECT_LE(line.size(), 76u);
      EXPECT_NE(line.substr(0, 1), "-");
      EXPECT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t') ||
                  line.back() == '=');
    }
    EXPECT_EQ(DecodeQp(out), data);
  }
}

TEST(Base64Lines, SeventySixCharactersFromFiftySevenBytes) {
  std::string data = RandomBytes(57 * 3 + 10, 2);
  std::string out;
  AppendBase64Lines(data, out);
  auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(lines[i].size(), 76u);
  EXPECT_EQ(lines[3], Base64(data.substr(171)));
  EXPECT_EQ(DecodeBase64(out), data);
  EXPECT_EQ(Base64("Ma"), "TWE=");
  EXPECT_EQ(Base64(std::string("\0joe\0pw", 7)), "AGpvZQBwdw==");
}

TEST(Uuencode, LinesOfFortyFiveBytes) {
  std::string out;
  AppendUuLines("Cat", out);
  EXPECT_EQ(out, "#0V%T\r\n");
  out.clear();
  AppendUuLines(std::string(46, '\0'), out);
  auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "M" + std::string(60, '`'));
  EXPECT_EQ(lines[1], "!````");
}

TEST(EncodedWords, NonAsciiHeaderTextIsUtf8WordsOfAtMost75) {
  auto text = [](const std::string& label, const std::string& value) {
    HeaderFolder f(label);
    f.Text(value);
    return f.Lines();
  };
  EXPECT_EQ(text("Subject: ", "Plain subject"), "Subject: Plain subject");
  EXPECT_EQ(text("Subject: ",
                 "Gr\xFC\xDF"
                 "e"),
            "Subject: =?UTF-8?B?R3LDvMOfZQ==?=");
  auto lines = Lines(text("Subject:  ", std::string(255, '\xE9')) + "\r\n");
  ASSERT_GT(lines.size(), 1u);
  std::string utf8;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 76u) << lines[i];
    std::string word = lines[i].substr(i == 0 ? 10 : 1);
    ASSERT_EQ(word.substr(0, 10), "=?UTF-8?B?");
    EXPECT_LE(word.size(), 75u);
    utf8 += DecodeBase64(word.substr(10, word.size() - 12));
  }
  EXPECT_EQ(utf8.size(), 510u);  // no character split between words
  for (std::size_t i = 0; i < utf8.size(); i += 2) EXPECT_EQ(utf8.substr(i, 2), "\xC3\xA9");
}

TEST(Transparency, EveryLineStartingWithADotGetsOneMore) {
  const std::string content = ".x\r\n.\r\n..\r\nplain\r\nmid.dot\r\n.\r\n";
  const std::string expected = "..x\r\n..\r\n...\r\nplain\r\nmid.dot\r\n..\r\n";
  DotStuffer whole;
  std::string out;
  whole.Apply(content, out);
  EXPECT_EQ(out, expected);
  // The same whatever the block boundaries.
  DotStuffer bytewise;
  std::string out2;
  for (char c : content) bytewise.Apply(std::string_view(&c, 1), out2);
  EXPECT_EQ(out2, expected);
}

TEST(Composer, HeadFollowsTheClientsLayoutWithDateAndMessageId) {
  TmsMessage m = Basic();
  m.Sender.Name = "J. Dev";
  m.Recipients.AddAddress("second@download.test", "Second");
  m.CC.AddAddress("cc@download.test");
  m.BCC.AddAddress("hidden@download.test");
  m.Priority = TPriority::ptHigh;
  m.ReturnReceipt = true;
  m.Headers = {"X-Vendrix: notice", "Subject: forged", "content-type: text/html", "Date: yesterday",
               "Message-ID: <x@y>"};
  auto lines = Lines(Compose(m));
  std::vector<std::string> head(lines.begin(), lines.begin() + 12);
  EXPECT_EQ(head[0].substr(0, 11), "Date: Mon, ");
  EXPECT_EQ(head[1], "From:     \"J. Dev\" <jo@example.com>");
  EXPECT_EQ(head[2], "To:        <sites@download.test>,");
  EXPECT_EQ(head[3], "          Second <second@download.test>");
  EXPECT_EQ(head[4], "CC:        <cc@download.test>");
  EXPECT_EQ(head[5], "Return-Receipt-To: <jo@example.com>");
  EXPECT_EQ(head[6], "X-Priority: 1");
  EXPECT_EQ(head[7], "X-Vendrix: notice");
  EXPECT_EQ(head[8], "Subject:  New program");
  EXPECT_EQ(head[9].substr(0, 13), "Message-ID: <");
  EXPECT_NE(head[9].find("@example.com>"), std::string::npos);
  EXPECT_EQ(head[10], "Mime-Version: 1.0");
  EXPECT_EQ(head[11], "Content-Type: text/plain; charset=\"us-ascii\"");
  for (const auto& l : lines) EXPECT_EQ(l.find("hidden@"), std::string::npos) << l;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Content-Transfer-Encoding: 7bit"), 1);
}

TEST(Composer, NamesWithSpecialsAreQuotedAndNonAsciiEncoded) {
  TmsMessage m = Basic();
  m.Sender.Name = "Smith, \"Jo\"";
  m.Recipients.Clear();
  m.Recipients.AddAddress("a@b.test", "Caf\xE9");
  auto lines = Lines(Compose(m));
  EXPECT_EQ(lines[1], "From:     \"Smith, \\\"Jo\\\"\" <jo@example.com>");
  EXPECT_EQ(lines[2], "To:       =?UTF-8?B?Q2Fmw6k=?= <a@b.test>");
}

TEST(Composer, BodyEncodingIsDeclared) {
  TmsMessage m = Basic();
  auto text = Compose(m);
  EXPECT_NE(text.find("charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\nHello\r\n"
                      "World\r\n"),
            std::string::npos);
  m.Body = {std::string(300, 'a')};
  text = Compose(m);
  EXPECT_NE(text.find("charset=\"us-ascii\"\r\nContent-Transfer-Encoding: quoted-printable"),
            std::string::npos);
  EXPECT_NE(text.find(std::string(65, 'a') + "=\r\n"), std::string::npos);
  m.Body = {
      "Gr\xFC\xDF"
      "e aus K\xF6ln \x80"};
  text = Compose(m);
  EXPECT_NE(text.find("charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
                      "Gr=C3=BC=C3=9Fe aus K=C3=B6ln =E2=82=AC\r\n"),
            std::string::npos);
  m.Body = {"ascii"};
  m.CharSet = TCharSet::csISO8859;
  text = Compose(m);
  EXPECT_NE(text.find("charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable"),
            std::string::npos);
}

class ComposerFiles : public ::testing::Test {
 protected:
  TempDir dir;
  std::string File(const std::string& name, const std::string& bytes) {
    WriteFile(dir / name, bytes);
    return dir / name;
  }
};

TEST_F(ComposerFiles, MultipartMixedWithTextAndAttachments) {
  TmsMessage m = Basic();
  std::string bin = RandomBytes(1000, 3);
  m.Attachments.AddFile(File("prog.zip", bin));
  m.Attachments.AddFile(File("notes.txt", "line one\r\nline two\r\n"));
  ComposeOptions o;
  std::vector<std::string> draws = {"12345678", "00000000"};
  o.drawBoundary = [&] {
    auto b = draws.front();
    draws.erase(draws.begin());
    return b;
  };
  m.Body = {"see 12345678 here"};  // the first draw occurs in the text: drawn again
  TmsMessageEncoder enc(m, o);
  StringSink sink;
  enc.Encode(sink);
  EXPECT_EQ(enc.Boundary(), "00000000");
  auto lines = Lines(sink.text);
  auto at =
      std::find(lines.begin(), lines.end(), "Content-Type: multipart/mixed; boundary=\"00000000\"");
  ASSERT_NE(at, lines.end());
  std::vector<std::string> expect = {"",
                                     "This is a multipart message in MIME format",
                                     "",
                                     "--00000000",
                                     "Content-Type: text/plain; charset=\"us-ascii\"",
                                     "Content-Transfer-Encoding: 7bit",
                                     "",
                                     "see 12345678 here",
                                     "",
                                     "--00000000",
                                     "Content-Type: application/zip; name=\"prog.zip\"",
                                     "Content-Transfer-Encoding: Base64",
                                     "Content-Disposition: attachment; filename=\"prog.zip\"",
                                     ""};
  for (std::size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(at[1 + i], expect[i]) << i;
  EXPECT_EQ(lines.back(), "--00000000--");
  auto second =
      std::find(lines.begin(), lines.end(), "Content-Type: text/plain; name=\"notes.txt\"");
  ASSERT_NE(second, lines.end());
  EXPECT_EQ(second[-1], "--00000000");
  EXPECT_EQ(second[-2], "");
  EXPECT_EQ(second[1], "Content-Transfer-Encoding: Quoted-Printable");
  // The Base64 part decodes to the file.
  std::string b64;
  for (auto it = at + 15; it != second - 2; ++it) b64 += *it;
  EXPECT_EQ(DecodeBase64(b64), bin);
}

TEST_F(ComposerFiles, LoneAttachmentIsASinglePartAndTwoWithoutTextAreMultipart) {
  TmsMessage m = Basic();
  m.Body.clear();
  m.Attachments.AddFile(File("shot.png", "PNGDATA"));
  auto text = Compose(m);
  EXPECT_NE(text.find("Mime-Version: 1.0\r\nContent-Type: image/png; name=\"shot.png\"\r\n"
                      "Content-Transfer-Encoding: Base64\r\n"
                      "Content-Disposition: attachment; filename=\"shot.png\"\r\n\r\n" +
                      Base64("PNGDATA") + "\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("multipart"), std::string::npos);
  m.Attachments.AddFile(File("b.bin", "B"));
  text = Compose(m);
  EXPECT_NE(text.find("Content-Type: multipart/mixed"), std::string::npos);
  EXPECT_EQ(text.find("Content-Type: text/plain"), std::string::npos);
}

TEST_F(ComposerFiles, UuencodedAttachmentsFollowTheText) {
  TmsMessage m = Basic();
  m.Encoding = TMsgEncoding::meUU;
  m.Attachments.AddFile(File("c.txt", "Cat"));
  auto lines = Lines(Compose(m));
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "Mime-Version: 1.0"), lines.end());
  std::vector<std::string> tail(lines.end() - 8, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"", "Hello", "World", "", "begin 600 c.txt", "#0V%T",
                                            "`", "end"}));
}

TEST_F(ComposerFiles, BoundaryIsEightDigitsZeroToEight) {
  for (int i = 0; i < 200; ++i) {
    std::string b = RandomBoundary();
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(b.find_first_not_of("012345678"), std::string::npos) << b;
  }
  EXPECT_NE(RandomBoundary(), RandomBoundary());
}

TEST_F(ComposerFiles, UnsafeTextAndVanishedFilesFailBeforeAnythingIsWritten) {
  TmsMessage m = Basic();
  m.Subject = "Hi\r\nBcc: victim@x.test";
  try {
    Compose(m);
    FAIL() << "a line break in the subject was written";
  } catch (const EMessageError& e) {
    EXPECT_EQ(e.ErrorCode, kMailUnsafeText);
  }
  m = Basic();
  m.Recipients.AddAddress("a@b.test>\r\nRCPT TO:<c@d.test");
  EXPECT_THROW(Compose(m), EMessageError);

  m = Basic();
  std::string path = File("gone.zip", "x");
  m.Attachments.AddFile(path);
  std::remove(path.c_str());
  try {
    Compose(m);
    FAIL() << "a vanished attachment was not reported";
  } catch (const EMessageError& e) {
    EXPECT_EQ(e.ErrorCode, kMailAttachmentRead);
    EXPECT_NE(std::string(e.what()).find("gone.zip"), std::string::npos);
  }
  EXPECT_THROW(m.Attachments.AddFile(dir / "never.zip"), EMessageError);
}

TEST_F(ComposerFiles, ContentTypeByExtensionWithoutRegardToCase) {
  WriteFile(dir / "mime.types",
            "# comment\napplication/zip\t\tzip\nimage/png png PNG\n"
            "text/plain txt asc\n");
  MimeTypeTable t = MimeTypeTable::Load(dir / "mime.types");
  EXPECT_EQ(t.TypeOf("/x/SETUP.ZIP"), "application/zip");
  EXPECT_EQ(t.TypeOf("a.Txt"), "text/plain");
  EXPECT_EQ(t.TypeOf("noext"), "application/octet-stream");
  EXPECT_EQ(t.TypeOf("a.unknownext"), "application/octet-stream");
  EXPECT_EQ(SystemMimeTypes().TypeOf("readme.TXT"), "text/plain");
  EXPECT_EQ(EncodingForType("TEXT/HTML"), TAttEncoding::etQuotedPrintable);
  EXPECT_EQ(EncodingForType("message/rfc822"), TAttEncoding::et7Bit);
  EXPECT_STREQ(EncodingName(TAttEncoding::et7Bit), "7bit");
  EXPECT_EQ(EncodingForType("application/pdf"), TAttEncoding::etBase64);
}

}  // namespace
}  // namespace vendrix
