// vendrix-cli help: the usage text, the manual page, the command reference of the user
// manual, the word lists of the shell completion and the script variables, all made
// from the command table and the core's variable table.
#include <iostream>
#include <sstream>

#include "cli.h"
#include "script/variables.h"

#ifndef VENDRIX_VERSION
#define VENDRIX_VERSION "0"
#endif

namespace vendrix::cli {
namespace {

const CommandUsage kHelpRow = {
    "help", "  help [variables]     (this text; variables: the %VARIABLES% scripts may use)\n"};

struct ExitCode {
  const char* code;
  const char* meaning;
};
const ExitCode kExitCodes[] = {
    {"0", "done (submit: every posted site accepted the submission)"},
    {"1", "refused: the reason is on standard error, in the program's own words"},
    {"2", "usage error: the usage text is on standard error"},
    {"3", "submit: the run ended, but some sites failed"},
    {"130", "submit: the run was cancelled (Ctrl-C); its reports are still written"},
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b);
}

// Roff: a backslash is \e, a minus \- (so that flags copy as typed), and a line may not
// start with a control character.
std::string Roff(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\\') {
      out += "\\e";
    } else if (ch == '-') {
      out += "\\-";
    } else {
      out += ch;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

CommandTable WithHelp(const CommandTable& table) {
  CommandTable all = table;
  all.push_back(kHelpRow);
  return all;
}

std::string ManPage(const CommandTable& table) {
  std::ostringstream m;
  m << ".TH VENDRIX\\-CLI 1 \"\" \"Vendrix " VENDRIX_VERSION "\" \"User Commands\"\n"
    << ".SH NAME\n"
    << "vendrix\\-cli \\- Vendrix from the command line: profiles, download sites, scripts "
       "and submission runs\n"
    << ".SH SYNOPSIS\n"
    << ".B vendrix\\-cli\n"
    << "[\\fB\\-\\-data\\-dir\\fR \\fIDIR\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR...]\n"
    << ".SH DESCRIPTION\n"
    << "\\fBvendrix\\-cli\\fR works on the same data tree as the desktop program "
       "\\fBvendrix\\fR(1): company and application profiles, the catalogue of download "
       "sites with their submission scripts, the site table of each application, and the "
       "HTML reports of submission runs. Release pipelines use it to change a version "
       "number, check the scripts and post an application to every marked site.\n"
    << ".PP\n"
    << "Values are given as \\fIKEY\\fB=\\fIVALUE\\fR with the keys of the data files; "
       "a value \\fB@\\fIFILE\\fR reads the text from a file where the usage says so. "
       "\\fBshow\\fR prints keys in file order as \\fIKEY\\fB=\\fIVALUE\\fR. Passwords are "
       "never printed; they show as \\fB****\\fR.\n"
    << ".SH OPTIONS\n"
    << ".TP\n"
    << ".BI \\-\\-data\\-dir \" DIR\"\n"
    << "The data tree to work on. Without it: \\fI$VENDRIX_DATA\\fR when set; else the "
       "folder of the program file when it holds a file named \\fIportable\\fR or already "
       "holds a data tree (a portable copy; never a system folder); else "
       "\\fI$XDG_DATA_HOME/vendrix\\fR (by default \\fI~/.local/share/vendrix\\fR). A "
       "command that only reads creates nothing.\n"
    << ".TP\n"
    << ".B \\-\\-version\n"
    << "Prints the version.\n"
    << ".TP\n"
    << ".BR help \", \" \\-\\-help \", \" \\-h\n"
    << "Prints the usage text.\n"
    << ".SH COMMANDS\n";
  for (const auto& row : WithHelp(table)) {
    m << ".SS " << Roff(row.name) << "\n.nf\n";
    for (const auto& line : Lines(row.usage)) m << Roff(Trim(line)) << '\n';
    m << ".fi\n";
  }
  m << ".SH EXIT STATUS\n";
  for (const auto& e : kExitCodes) m << ".TP\n.B " << e.code << '\n' << Roff(e.meaning) << '\n';
  m << ".SH FILES\n"
    << ".TP\n.I companies/companies.dat\nThe list of companies; each company's profile is "
       "\\fIcompanies/NAME.dat\\fR.\n"
    << ".TP\n.I data/\nApplication profiles, their descriptions and site tables, and the "
       "default scripts.\n"
    << ".TP\n.I sites/ \\fRand\\fP cat/\nThe site catalogue: each site's settings, scripts "
       "and category lists.\n"
    << ".TP\n.I reports/\nThe HTML reports of earlier runs, one folder per application and "
       "run.\n"
    << ".TP\n.I settings.dat\nThe program settings (mail server, proxy, time-outs, service "
       "addresses).\n"
    << ".SH EXAMPLES\n"
    << "Raise the version before a release, check every script, then post:\n"
    << ".PP\n.nf\n"
    << Roff("vendrix-cli app set \"Tidy Notes\" VERSION=2.2 SIZE32=1900544") << '\n'
    << Roff("vendrix-cli check") << '\n'
    << Roff("vendrix-cli submit --app \"Tidy Notes\" --yes") << '\n'
    << ".fi\n"
    << ".SH SEE ALSO\n"
    << "\\fBvendrix\\fR(1); the user manual in \\fI/usr/share/doc/vendrix/manual/index.html"
       "\\fR, also shown by Help \\(-> Help in the desktop program.\n";
  return m.str();
}

// The command reference of the user manual, in Markdown.
std::string Markdown(const CommandTable& table) {
  std::ostringstream m;
  for (const auto& row : WithHelp(table)) {
    m << "### " << row.name << "\n\n";
    for (const auto& line : Lines(row.usage)) m << "    vendrix-cli " << Trim(line) << '\n';
    m << '\n';
  }
  m << "### Exit status\n\n| Status | Meaning |\n|---|---|\n";
  for (const auto& e : kExitCodes) m << "| " << e.code << " | " << e.meaning << " |\n";
  return m.str();
}

bool IsVerb(const std::string& w) {
  if (w.empty() || w[0] < 'a' || w[0] > 'z') return false;
  for (char ch : w) {
    if (!((ch >= 'a' && ch <= 'z') || ch == '-' || ch == '|')) return false;
  }
  return true;
}

std::string StripClosers(std::string w) {
  while (!w.empty() && (w.back() == ']' || w.back() == ')' || w.back() == ';' || w.back() == ',' ||
                        w.back() == '.')) {
    w.pop_back();
  }
  return w;
}

// One line per command for the shell completion:
//   NAME<TAB>VERB[:ARG] ...<TAB>--FLAG[:VALUE] ...
// VERB are the words that may follow the command (with the first argument's
// placeholder), FLAG the options its usage names (with their value's placeholder).
std::string CompletionWords(const CommandTable& table) {
  std::ostringstream out;
  for (const auto& row : WithHelp(table)) {
    std::vector<std::string> verbs, flags;
    auto addOnce = [](std::vector<std::string>& list, const std::string& item) {
      for (const auto& have : list) {
        if (have.substr(0, have.find(':')) == item.substr(0, item.find(':'))) return;
      }
      list.push_back(item);
    };
    for (const auto& line : Lines(row.usage)) {
      const auto words = Words(line);
      const bool commandLine = !words.empty() && words[0] == row.name;
      for (std::size_t i = 0; i < words.size(); ++i) {
        std::string w = StripClosers(words[i]);
        if (!w.empty() && w[0] == '[') w.erase(0, 1);
        if (w.rfind("--", 0) == 0 && w.size() > 2) {
          std::string flag = w;
          if (i + 1 < words.size()) {
            const std::string& next = words[i + 1];
            if (!next.empty() && next[0] != '-' && next[0] != '[' && next[0] != '(' &&
                next[0] != '|' && words[i].back() != ']') {
              flag += ":" + StripClosers(next);
            }
          }
          addOnce(flags, flag);
          continue;
        }
        // A verb follows the command's name or a "|" on a usage line of the command.
        const bool afterName = commandLine && i == 1;
        const bool afterBar = commandLine && i > 1 && words[i - 1] == "|";
        if ((afterName || afterBar) && IsVerb(w) && w.find('|') == std::string::npos) {
          std::string verb = w;
          if (i + 1 < words.size()) {
            std::string arg = StripClosers(words[i + 1]);
            if (!arg.empty() && arg[0] == '[') arg.erase(0, 1);
            if (!arg.empty() && arg[0] >= 'A' && arg[0] <= 'Z') verb += ":" + arg;
          }
          addOnce(verbs, verb);
        }
      }
    }
    out << row.name << '\t';
    for (std::size_t i = 0; i < verbs.size(); ++i) out << (i ? " " : "") << verbs[i];
    out << '\t';
    for (std::size_t i = 0; i < flags.size(); ++i) out << (i ? " " : "") << flags[i];
    out << '\n';
  }
  return out.str();
}

std::string VariablesText(bool markdown) {
  std::ostringstream out;
  if (markdown) out << "| Variable | What it stands for |\n|---|---|\n";
  for (const auto& v : kVariables) {
    std::string description(v.description);
    while (!description.empty() && description.back() == ' ') description.pop_back();
    if (markdown) {
      out << "| `%" << v.name << "%` | " << description << " |\n";
    } else {
      std::string name = "%" + std::string(v.name) + "%";
      name.resize(std::max<std::size_t>(name.size() + 2, 18), ' ');
      out << name << description << '\n';
    }
  }
  return out.str();
}

}  // namespace

std::string VersionText() {
  return "vendrix-cli " VENDRIX_VERSION "\n";
}

std::string UsageText(const CommandTable& table) {
  std::string text =
      "usage: vendrix-cli [--data-dir DIR] COMMAND ...\n"
      "       vendrix-cli --version\n\n";
  for (const auto& row : WithHelp(table)) text += row.usage;
  text += "\nExit status: 0 done, 1 refused (the reason on stderr), 2 usage error.\n";
  return text;
}

int HelpCommand(Args& args, const CommandTable& table) {
  const bool man = args.Flag("--man");
  const bool words = args.Flag("--completion-words");
  const bool markdown = args.Flag("--markdown");
  if (!args.Empty()) {
    const std::string topic = args.Next("help topic");
    if (topic != "variables" || !args.Empty() || man || words) {
      throw UsageError("help takes no topic but variables");
    }
    std::cout << VariablesText(markdown);
    return kExitOk;
  }
  if (man + words + markdown > 1) throw UsageError("help takes one of --man and --markdown");
  if (man) {
    std::cout << ManPage(table);
  } else if (words) {
    std::cout << CompletionWords(table);
  } else if (markdown) {
    std::cout << Markdown(table);
  } else {
    std::cout << UsageText(table);
  }
  return kExitOk;
}

}  // namespace vendrix::cli
