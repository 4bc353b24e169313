#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/text_order.h"
#include "cli.h"

namespace vendrix::cli {

void Out(const std::string& text) {
  std::cout << Cp1252ToUtf8(text) << '\n';
}

void OutText(const std::string& lines) {
  const std::string text = Cp1252ToUtf8(lines);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Messages go to stderr so that they never mix with a command's output.
void CliPrompt::Inform(const std::string& text) {
  std::cerr << Cp1252ToUtf8(text) << '\n';
}

void CliPrompt::Error(const std::string& text) {
  std::cerr << Cp1252ToUtf8(text) << '\n';
  failed_ = true;
}

Answer CliPrompt::Confirm(const std::string&, bool) {
  return Answer::Yes;
}

std::optional<std::string> CliPrompt::AskName(const std::string&) {
  if (names_.empty()) return std::nullopt;
  std::string n = std::move(names_.front());
  names_.pop_front();
  return n;
}

std::optional<std::string> CliPrompt::ChooseFile(const FileChoice&) {
  return std::nullopt;
}

void CliPrompt::ErrorDialog(const std::string& title, const std::string& text, const std::string&) {
  std::cerr << Cp1252ToUtf8(title) << ": " << Cp1252ToUtf8(text) << '\n';
  failed_ = true;
}

namespace {

// A word of the command line in Windows-1252; a character that code page cannot hold
// is refused rather than turned into "?", which could make two names one.
std::string ToCp1252(const std::string& word) {
  return Utf8ToCp1252Checked(word, "\"" + Utf8ToCp1252(word) + "\"");
}

}  // namespace

std::optional<std::string> Args::Option(const std::string& name) {
  for (std::size_t i = 0; i < words_.size(); ++i) {
    if (words_[i] != name) continue;
    if (i + 1 >= words_.size()) throw UsageError(name + " needs a value");
    std::string v = ToCp1252(words_[i + 1]);
    words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i),
                 words_.begin() + static_cast<std::ptrdiff_t>(i + 2));
    return v;
  }
  return std::nullopt;
}

bool Args::Flag(const std::string& name) {
  for (std::size_t i = 0; i < words_.size(); ++i) {
    if (words_[i] == name) {
      words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

std::string Args::Next(const char* what) {
  if (words_.empty()) throw UsageError(std::string("missing ") + what);
  std::string w = ToCp1252(words_.front());
  words_.erase(words_.begin());
  return w;
}

std::vector<std::string> Args::Rest() {
  std::vector<std::string> rest;
  for (auto& w : words_) rest.push_back(ToCp1252(w));
  words_.clear();
  return rest;
}

namespace {
int keptArgc = 0;
char** keptArgv = nullptr;
}  // namespace

void KeepArguments(int argc, char** argv) {
  keptArgc = argc;
  keptArgv = argv;
}

std::optional<std::string> TakePassword(Args& args) {
  auto file = args.Option("--password-file");
  auto given = args.Option("--password");
  if (file && given) throw UsageError("give --password or --password-file, not both");
  if (given) {
    for (int i = 1; i + 1 < keptArgc; ++i) {
      if (std::strcmp(keptArgv[i], "--password") == 0) {
        std::memset(keptArgv[i + 1], 0, std::strlen(keptArgv[i + 1]));
        ++i;
      }
    }
    return given;
  }
  if (!file) return std::nullopt;
  std::string text;
  if (*file == "-") {
    std::getline(std::cin, text);
  } else {
    auto data = ReadWholeFile(Cp1252ToUtf8(*file));
    if (!data) throw VendrixError("Cannot read the password file " + *file);
    text = *data;
  }
  text = text.substr(0, text.find_first_of("\r\n"));
  // A password changed on the way would fail at the server for no visible reason.
  return FileTextToCp1252(text, "The password");
}

std::string ReadArgFile(const std::string& path) {
  auto data = ReadWholeFile(Cp1252ToUtf8(path));
  if (!data) throw VendrixError("File not found: " + path);
  return FileTextToCp1252(*data, "The file " + path);
}

std::string FirstRefusedPlace(std::string_view text) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    std::size_t len = b < 0x80         ? 1
                      : (b >> 5) == 6  ? 2
                      : (b >> 4) == 14 ? 3
                      : (b >> 3) == 30 ? 4
                                       : 1;
    len = std::min(len, text.size() - i);
    if (!Utf8ToCp1252Exact(text.substr(i, len))) break;
    if (b == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    i += len;
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string ReadTextArgFile(const std::string& path) {
  auto read = ReadWholeFile(Cp1252ToUtf8(path));
  if (!read) throw VendrixError("File not found: " + path);
  const std::string& data = *read;
  if (auto text = Utf8ToCp1252Exact(data)) return *text;
  throw VendrixError(path + ", " + FirstRefusedPlace(data) +
                     ": a character that Windows-1252 cannot hold (the file is read as UTF-8).");
}

namespace {

// The keys whose values span lines: the descriptions and the category lists.
bool SpansLines(const std::string& key) {
  return key == "LONGDESC" || key == "NOTES" || key == "CAT1" || key == "CAT2";
}

}  // namespace

std::pair<std::string, std::string> KeyValue(const std::string& word) {
  auto eq = word.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError("expected KEY=VALUE, got " + word);
  const std::string key = word.substr(0, eq);
  std::string value = word.substr(eq + 1);
  if (!value.empty() && value.front() == '@') {
    // A file is text written for people, UTF-8 as the words of the command line are.
    value = ReadTextArgFile(value.substr(1));
    // An editor ends the file's one line with a line break that is no part of the value.
    if (!SpansLines(key)) {
      if (value.ends_with("\r\n")) {
        value.resize(value.size() - 2);
      } else if (value.ends_with('\n') || value.ends_with('\r')) {
        value.pop_back();
      }
    }
  }
  return {key, value};
}

void SelectCompany(Context& c, const std::optional<std::string>& app) {
  auto name = c.args.Option("--company");
  SelectCompanyFor(c, name, app);
}

void SelectCompanyFor(Context& c, const std::optional<std::string>& name,
                      const std::optional<std::string>& app) {
  CompanyPage& company = c.session.Company();
  if (name) {
    if (!c.session.ChooseCompany(*name)) throw VendrixError("No company named " + *name);
    return;
  }
  if (company.Shown().empty()) throw VendrixError("There is no company yet.");
  if (!app) return;
  Lines holders;
  for (const auto& candidate : company.Names()) {
    Lines apps;
    try {
      if (c.session.Wide().LoadAppList(candidate, apps) && IndexOf(apps, *app) >= 0) {
        holders.push_back(candidate);
      }
    } catch (const VendrixError&) {
      // An unreadable list holds nothing we could use.
    }
  }
  if (holders.size() == 1) {
    if (holders.front() != company.Shown()) c.session.ChooseCompany(holders.front());
    return;
  }
  if (holders.size() > 1) {
    std::string list;
    for (const auto& h : holders) list += (list.empty() ? "" : ", ") + h;
    throw VendrixError("The application " + *app + " is held by several companies (" + list +
                       "); choose one with --company.");
  }
}

void SelectApp(Context& c, const std::optional<std::string>& name) {
  AppPage& app = c.session.App();
  if (name && app.Shown() != *name) {
    if (!app.Select(*name)) {
      throw VendrixError("No application named " + *name + " under " + c.session.Company().Shown());
    }
  } else if (app.Shown().empty()) {
    throw VendrixError("There is no application yet.");
  }
}

void SelectAppContext(Context& c, const std::optional<std::string>& app) {
  if (c.session.Company().Names().empty()) throw VendrixError("There is no company yet.");
  SelectCompany(c, app);
  c.session.ShowStep(app.value_or(""));
  SelectApp(c, app);
}

}  // namespace vendrix::cli
