// vendrix-cli help: the usage text, the manual page, the command reference of the user
// manual, the word lists of the shell completion and the script variables, all made
// from the command table and the core's variable table.
#include <iostream>
#include <sstream>

#include "cli.h"
#include "script/variables.h"

#include "catalogue/site_columns.h"

#ifndef VENDRIX_VERSION
#define VENDRIX_VERSION "0"
#endif
#ifndef VENDRIX_DATE
#define VENDRIX_DATE ""
#endif

namespace vendrix::cli {
namespace {

const CommandUsage kHelpRow = {"help",
                               "  help [variables | columns]     (this text; variables: the "
                               "%VARIABLES% scripts may use;\n"
                               "      columns: the columns of the site table)\n"};

// What each command does and one example of it, for the manual page and the manual's
// command reference; the usage lines above give its words and options.
struct CommandNote {
  const char* name;
  const char* does;
  const char* example;
};
const CommandNote kCommandNotes[] = {
    {"company", "Lists, shows, creates, changes and deletes company profiles.",
     "vendrix-cli company set \"Brightfield Software\" CONTACT=\"Mira Holt\""},
    {"app",
     "Lists, shows, creates, changes and deletes application profiles; imports a PAD file "
     "into one and exports one as a PAD file.",
     "vendrix-cli app set \"Tidy Notes\" VERSION=2.2 SIZE32=1900544"},
    {"settings",
     "Shows and changes the program settings: the mail server and sender, the proxy, "
     "time-outs and retries, the service addresses (UpdateURL, FooterURL, ...).",
     "vendrix-cli settings set SMTP=mail.example.com EMAIL=you@example.com"},
    {"site",
     "Lists, shows, creates, changes and deletes the download sites of the catalogue; reads "
     "and replaces a site's scripts; proposes a site of your own to the maker.",
     "vendrix-cli site script \"Example E-mail\" EMAIL_NEW --from mail.txt"},
    {"table",
     "Shows an application's site table and changes a row: post or not, New or Update, "
     "the categories, the date of the last post.",
     "vendrix-cli table set --app \"Tidy Notes\" --site \"Demo Mail\" post=Y"},
    {"expand", "Prints a text with its %VARIABLES% filled from the profiles.",
     "vendrix-cli expand \"%APPNAME% %APPVERSION%\""},
    {"check", "Checks every script of every site for variables that do not exist.",
     "vendrix-cli check"},
    {"mass-change", "Replaces one variable by another in every script of every site.",
     "vendrix-cli mass-change %COMPURL% %APPURL%"},
    {"preview", "Shows what a submission would send to each marked site, without sending anything.",
     "vendrix-cli preview --app \"Tidy Notes\" --site \"Example Web Form\""},
    {"submit",
     "Posts the application to every site marked in its table, writes the run log and the "
     "reports, and marks each accepted site. Without --yes it asks first, on a terminal "
     "only.",
     "vendrix-cli submit --app \"Tidy Notes\" --yes"},
    {"precheck",
     "Says what a run would find wrong (missing files, empty scripts, unknown variables, "
     "unreachable servers) and which FTP folder each upload goes to, without posting.",
     "vendrix-cli precheck --app \"Tidy Notes\" --offline"},
    {"history", "Lists each successful post of an application.",
     "vendrix-cli history --app \"Tidy Notes\""},
    {"reports", "Lists, shows and deletes the reports of earlier runs.",
     "vendrix-cli reports show --app \"Tidy Notes\""},
    {"update",
     "Replaces the site catalogue with an archive from the UpdateURL setting, another "
     "address or a file (the example sites: /usr/share/vendrix/starter/vxsites.zip).",
     "vendrix-cli update --file /usr/share/vendrix/starter/vxsites.zip"},
    {"bhs", "Looks up, opens and requests an account at the BHS download site.",
     "vendrix-cli bhs show"},
    {"net",
     "Talks to one server by hand, outside any data tree: an HTTP request, an FTP upload or "
     "a mail, as a run would.",
     "vendrix-cli net http get https://www.example.org/"},
    {"help",
     "Prints the usage text, the %VARIABLES% scripts may use, or the columns of the site "
     "table.",
     "vendrix-cli help variables"},
};

const CommandNote* NoteFor(const std::string& name) {
  for (const auto& n : kCommandNotes) {
    if (name == n.name) return &n;
  }
  return nullptr;
}

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
  m << ".TH VENDRIX\\-CLI 1 \"" VENDRIX_DATE "\" \"Vendrix " VENDRIX_VERSION
       "\" \"User Commands\"\n"
    << ".ad l\n.nh\n"
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
  // Each usage line a paragraph of its own that wraps with a hanging indent, so that
  // the page fits 80 columns.
  for (const auto& row : WithHelp(table)) {
    m << ".SS " << Roff(row.name) << '\n';
    const CommandNote* note = NoteFor(row.name);
    if (note) m << Roff(note->does) << "\n.sp\n";
    m << ".PD 0\n";
    for (const auto& line : Lines(row.usage)) m << ".HP 4\n" << Roff(Trim(line)) << '\n';
    m << ".PD\n";
    if (note) m << ".PP\nExample:\n.RS 4\n.nf\n" << Roff(note->example) << "\n.fi\n.RE\n";
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
    << "\\fBvendrix\\fR(1); the user manual in \\fI/usr/share/vendrix/manual/index.html"
       "\\fR, also shown by Help \\(-> Help in the desktop program.\n";
  return m.str();
}

// The command reference of the user manual, in Markdown.
std::string Markdown(const CommandTable& table) {
  std::ostringstream m;
  // Per command: what it does, its usage (a line that starts with the command is a
  // command line; the rest continue it or are notes), the notes, an example.
  for (const auto& row : WithHelp(table)) {
    m << "### " << row.name << "\n\n";
    const CommandNote* note = NoteFor(row.name);
    if (note) m << note->does << "\n\n";
    std::string notes;
    for (const auto& line : Lines(row.usage)) {
      const std::string text = Trim(line);
      if (text.rfind(std::string(row.name) + " ", 0) == 0 || text == row.name) {
        m << "    vendrix-cli " << text << '\n';
      } else if (!text.empty() && (text[0] == '[' || text[0] == '-')) {
        m << "                " << text << '\n';  // the options of the line above, continued
      } else {
        notes += (notes.empty() ? "" : " ") + text;
      }
    }
    m << '\n';
    // The notes are one or more "(...)" asides; in prose they read without the brackets.
    std::string prose;
    for (char ch : notes) {
      if (ch != '(' && ch != ')') prose += ch;
    }
    if (!prose.empty()) m << prose << ".\n\n";
    if (note) m << "Example:\n\n    " << note->example << "\n\n";
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

std::string ColumnsText(bool markdown) {
  std::ostringstream out;
  if (markdown) out << "| Column | Meaning |\n|---|---|\n";
  for (const auto& c : kSiteColumns) {
    if (markdown) {
      out << "| " << c.name << " | " << c.meaning << " |\n";
    } else {
      std::string name = c.name;
      name.resize(12, ' ');
      out << name << c.meaning << '\n';
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
    if ((topic != "variables" && topic != "columns") || !args.Empty() || man || words) {
      throw UsageError("help takes no topic but variables and columns");
    }
    std::cout << (topic == "columns" ? ColumnsText(markdown) : VariablesText(markdown));
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
