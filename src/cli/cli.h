#pragma once
// Shared pieces of vendrix-cli: the argument list, the prompt that answers for the
// person, and the exit codes.
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/session.h"
#include "base/user_prompt.h"

namespace vendrix::cli {

inline constexpr int kExitOk = 0, kExitRefused = 1, kExitUsage = 2;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Answers Yes to every question (the command is the person's decision), gives the
// queued names to the name entry, and remembers whether an error was shown.
class CliPrompt : public UserPrompt {
 public:
  void Inform(const std::string& text) override;
  void Error(const std::string& text) override;
  Answer Confirm(const std::string& text, bool withCancel) override;
  std::optional<std::string> AskName(const std::string& caption) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override;

  void QueueName(std::string name) { names_.push_back(std::move(name)); }
  bool Failed() const { return failed_; }
  void ResetFailed() { failed_ = false; }

 private:
  std::deque<std::string> names_;
  bool failed_ = false;
};

// The words after the command, with options taken out as they are asked for.
class Args {
 public:
  explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}
  // Removes "--name VALUE" and returns VALUE (converted to Windows-1252).
  std::optional<std::string> Option(const std::string& name);
  bool Flag(const std::string& name);
  // The next positional word (Windows-1252), or a usage error naming what is missing.
  std::string Next(const char* what);
  bool Empty() const { return words_.empty(); }
  std::vector<std::string> Rest();  // the remaining words, converted

 private:
  std::vector<std::string> words_;
};

// Keeps the process's own argument vector so that a secret given on the command line
// can be blanked in it; main calls it first.
void KeepArguments(int argc, char** argv);
// The password of a network command: --password-file FILE (its first line; "-" reads
// standard input) or --password VALUE, which is then blanked in the process's own
// arguments so that the process list no longer shows it. Both at once: usage error;
// an unreadable file: VendrixError. Neither: nullopt.
std::optional<std::string> TakePassword(Args& args);

// Splits "KEY=VALUE"; VALUE "@file" reads the file as UTF-8 text (ReadTextArgFile),
// and for a key of one line (every key but LONGDESC, NOTES, CAT1 and CAT2) drops the
// file's final line break. Usage error when there is no "=".
std::pair<std::string, std::string> KeyValue(const std::string& word);
// The text of a file named on the command line, in Windows-1252: UTF-8 text converted
// exactly (refused with VendrixError when that code page cannot hold it), other text
// taken as Windows-1252 already.
std::string ReadArgFile(const std::string& cp1252Path);
// A UTF-8 text file as Windows-1252; a character that code page cannot hold (or bytes
// that are no UTF-8) is refused with its line and column (VendrixError).
std::string ReadTextArgFile(const std::string& cp1252Path);
// Where the first character of UTF-8 `text` is that Windows-1252 cannot hold (or the
// first byte that is no UTF-8): "line L, column C", counted in characters.
std::string FirstRefusedPlace(std::string_view text);

// Output in the terminal's UTF-8.
void Out(const std::string& cp1252Text);
// Several lines at once, each ending in '\n', in one write.
void OutText(const std::string& cp1252Lines);

struct Context {
  Session& session;
  CliPrompt& prompt;
  Args& args;
};

int CompanyCommand(Context& c);
int AppCommand(Context& c);
int SettingsCommand(Context& c);
int SiteCommand(Context& c);
int TableCommand(Context& c);
int ExpandCommand(Context& c);
int CheckCommand(Context& c);
int MassChangeCommand(Context& c);
int PreviewCommand(Context& c);
int UpdateCommand(Context& c);
int BhsCommand(Context& c);
// "site contribute NAME": mails the site's files to the maker.
int ContributeCommand(Context& c, const std::string& site);
int SubmitCommand(Context& c);
// app import-pad and app export-pad (cmd_pad.cpp).
int ImportPadCommand(Context& c);
int ExportPadCommand(Context& c);
// "precheck": the pre-submission check (cmd_precheck.cpp).
int PreCheckCommand(Context& c);
// "manifest": the package managers' manifests (cmd_manifest.cpp).
int ManifestCommand(Context& c);
// "history": what each site already got (cmd_history.cpp).
int HistoryCommand(Context& c);
int ReportsCommand(Context& c);
// Needs no data tree.
int NetCommand(Args& args);
// net mail: sends one message (cmd_mail.cpp).
int MailCommand(Args& args);

// One row of the command table (main.cpp): the command's name and its usage lines.
// The usage text, the manual page, the manual's command reference and the shell
// completion's word lists are all made from the table, so none can drift from it.
struct CommandUsage {
  const char* name;
  const char* usage;
};
using CommandTable = std::vector<CommandUsage>;
std::string UsageText(const CommandTable& table);
// "vendrix-cli 2.08" and a newline.
std::string VersionText();
// help [--man | --markdown | --completion-words] | help variables [--markdown]
int HelpCommand(Args& args, const CommandTable& table);

// Selects the company named by --company and its list. Without --company: the
// company whose list holds the application app when exactly one does (a refusal
// naming them when several do), else the first company.
void SelectCompany(Context& c, const std::optional<std::string>& app = std::nullopt);
// The same with the --company option already taken.
void SelectCompanyFor(Context& c, const std::optional<std::string>& company,
                      const std::optional<std::string>& app);
// Then the application named (or the first one); usage error when there is none.
void SelectApp(Context& c, const std::optional<std::string>& name);
// All three for a command about one application: the company that holds app (or
// --company), the site table built for it, the application selected. Refused when
// there is no company.
void SelectAppContext(Context& c, const std::optional<std::string>& app);

}  // namespace vendrix::cli
