#include "run/precheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "base/cp1252.h"
#include "base/file_io.h"
#include "profiles/app_rules.h"
#include "profiles/program_file.h"
#include "script/dry_run.h"
#include "script/submission.h"
#include "script/variables.h"

namespace vendrix {
namespace {

// Whether the row's chosen label for a category the site uses is missing from the
// site's list. Such a label is sent as it stands though the Sites page shows it as
// chosen, so the site would file the program under a word it does not know.
bool CategoryUnlisted(const AppSiteRow& row, const SiteDefinition& site, int which) {
  const std::string& label = which == 1 ? row.cat1 : row.cat2;
  const bool used = which == 1 ? site.useCat1 : site.useCat2;
  if (!used || label.empty() || label == kNotSet || label == kNotApplicable) return false;
  const Lines& list = which == 1 ? site.cat1 : site.cat2;
  return std::none_of(list.begin(), list.end(),
                      [&](const std::string& l) { return CategoryLabel(l) == label; });
}

bool Blank(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool HasControl(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The profile key a variable reads, for the sentence that says what to fill in.
struct VariableSource {
  std::string_view variable;
  std::string_view where;
  std::string_view key;
};
constexpr VariableSource kSources[] = {
    {"COMPNAME", kWhereCompany, "CONAME"},
    {"COMPURL", kWhereCompany, "CURL"},
    {"COMPMAIL", kWhereCompany, "CCMAIL"},
    {"CONTNAME", kWhereCompany, "CONTACT"},
    {"CONTTITLE", kWhereCompany, "CTITLE"},
    {"CONTEMAIL", kWhereCompany, "CEMAIL"},
    {"CONTPHONE", kWhereCompany, "CPHONE"},
    {"CONTFAX", kWhereCompany, "CFAX"},
    {"CONTADDR", kWhereCompany, "CADDR"},
    {"CONTCITY", kWhereCompany, "CCITY"},
    {"CONTSTATE", kWhereCompany, "CSTATE"},
    {"CONTZIP", kWhereCompany, "CZIP"},
    {"CONTCOUNTRY", kWhereCompany, "CCOUNTRY"},
    {"BHSID", kWhereCompany, "BHSID"},
    {"8PLUS3", kWhereApplication, "8CHAR"},
    {"APPFILENAME", kWhereApplication, "FILENAME"},
    {"APPVERSION", kWhereApplication, "VERSION"},
    {"APPMONTH", kWhereApplication, "MONTH"},
    {"APPDAY", kWhereApplication, "DAY"},
    {"APPYEAR", kWhereApplication, "YEAR"},
    {"APPPLAT", kWhereApplication, "PLATFORM"},
    {"APPSUBMITBY", kWhereApplication, "DSTATUS"},
    {"APPSIZE32", kWhereApplication, "SIZE32"},
    {"APPINSTSIZE32", kWhereApplication, "INSTSIZE32"},
    {"APPSIZE16", kWhereApplication, "SIZE16"},
    {"APPINSTSIZE16", kWhereApplication, "INSTSIZE16"},
    {"APPLOCALPATH", kWhereApplication, "PATH"},
    {"APPPRICE", kWhereApplication, "PRICE"},
    {"APPSTATUS", kWhereApplication, "STATUS"},
    {"APPEVAL", kWhereApplication, "EVAL"},
    {"APPEXPDATE", kWhereApplication, "XDATE"},
    {"APPEXPAFTER", kWhereApplication, "XDAYS"},
    {"APPINSTALL", kWhereApplication, "installer"},
    {"APPURL", kWhereApplication, "APPURL"},
    {"APP32DL1", kWhereApplication, "DL1_32"},
    {"APP32DL2", kWhereApplication, "DL2_32"},
    {"APP32DL3", kWhereApplication, "DL3_32"},
    {"APP32DL4", kWhereApplication, "DL4_32"},
    {"APP16DL1", kWhereApplication, "DL1_16"},
    {"APP16DL2", kWhereApplication, "DL2_16"},
    {"APP16DL3", kWhereApplication, "DL3_16"},
    {"APP16DL4", kWhereApplication, "DL4_16"},
    {"APPSCREEN", kWhereApplication, "SHOT"},
    {"APPICONGIF", kWhereApplication, "GIF"},
    {"APPICONICO", kWhereApplication, "ICO"},
    {"PADURL", kWhereApplication, "PADURL"},
    {"APPSHORTDESC", kWhereApplication, "SHORTDESC"},
    {"APPLONGDESC", kWhereApplication, "the long description"},
    {"APPNOTES", kWhereApplication, "the notes to the reviewer"},
};

const VariableInfo* FindVariable(std::string_view name) {
  for (const auto& v : kVariables) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

// Variables whose value may span lines: the memos.
bool MultiLine(std::string_view name) {
  return name == "APPLONGDESC" || name == "APPNOTES" || name == "FBBSDESC";
}

void Add(std::vector<Finding>& out, FindingSeverity severity, std::string where, std::string field,
         std::string text) {
  out.push_back({severity, std::move(where), std::move(field), std::move(text)});
}

}  // namespace

std::size_t CountErrors(const std::vector<Finding>& findings) {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [](const auto& f) { return f.severity == FindingSeverity::Error; }));
}

std::string FindPlaceholder(std::string_view text) {
  const std::string lower = Lower(text);
  for (std::string_view word : {"todo", "lorem ipsum", "xxx", "your company"}) {
    for (std::size_t at = lower.find(word); at != std::string::npos;
         at = lower.find(word, at + 1)) {
      // "TODO" and "xxx" count as words of their own, not inside "mastodon" or "xxxl".
      const bool wordLike = word == "todo" || word == "xxx";
      auto letter = [&](std::size_t i) {
        return std::isalnum(static_cast<unsigned char>(lower[i])) != 0;
      };
      if (wordLike && ((at > 0 && letter(at - 1)) ||
                       (at + word.size() < lower.size() && letter(at + word.size())))) {
        continue;
      }
      return std::string(text.substr(at, word.size()));
    }
  }
  return "";
}

bool LooksLikeEmail(std::string_view address) {
  if (address.empty() || address.size() > 254 || HasControl(address) ||
      address.find(' ') != std::string_view::npos) {
    return false;
  }
  const auto at = address.find('@');
  if (at == 0 || at == std::string_view::npos ||
      address.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  const std::string_view domain = address.substr(at + 1);
  const auto dot = domain.find('.');
  return dot != std::string_view::npos && dot > 0 && domain.back() != '.';
}

bool LooksLikeUrl(std::string_view url) {
  if (HasControl(url) || url.find(' ') != std::string_view::npos) return false;
  const std::string lower = Lower(url);
  std::size_t rest = 0;
  for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
    if (lower.rfind(scheme, 0) == 0) rest = scheme.size();
  }
  if (rest == 0) return false;
  const std::string_view host = url.substr(rest, url.find_first_of("/?#", rest) - rest);
  return !host.empty() && host.front() != ':' && host.front() != '@';
}

std::optional<ServerProbe> SplitServer(std::string_view text, std::uint16_t defaultPort) {
  ServerProbe probe;
  std::string_view host = text;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {
    const auto close = host.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return std::nullopt;
      port = host.substr(close + 2);
    }
    host = host.substr(1, close - 1);
  } else if (host.find(':') != std::string_view::npos && host.find(':') == host.rfind(':')) {
    port = host.substr(host.find(':') + 1);
    host = host.substr(0, host.find(':'));
  }
  while (!host.empty() && host.front() == ' ') host.remove_prefix(1);
  while (!host.empty() && host.back() == ' ') host.remove_suffix(1);
  if (host.empty() || HasControl(host) || host.find(' ') != std::string_view::npos) {
    return std::nullopt;
  }
  probe.host = std::string(host);
  probe.port = defaultPort;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    const int n = std::stoi(std::string(port));
    if (n < 1 || n > 65535) return std::nullopt;
    probe.port = static_cast<std::uint16_t>(n);
  }
  return probe;
}

void PreCheck::CheckApplication(const AppProfile& app, const CompanyProfile& company,
                                std::vector<Finding>& out, const std::string& rootDir) {
  const std::string where = kWhereApplication;
  // The program file.
  if (Blank(app.localPath)) {
    Add(out, FindingSeverity::Error, where, "PATH", "No program file is chosen.");
  } else {
    const std::string path = ProgramFilePath(app, rootDir);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      Add(out, FindingSeverity::Error, where, "PATH",
          "The program file " + app.localPath + " does not exist.");
    } else if (!S_ISREG(st.st_mode)) {
      Add(out, FindingSeverity::Error, where, "PATH",
          "The program file " + app.localPath + " is not a regular file.");
    } else if (::access(path.c_str(), R_OK) != 0) {
      Add(out, FindingSeverity::Error, where, "PATH",
          "The program file " + app.localPath + " cannot be read.");
    } else if (!Blank(app.size32) && app.size32 != std::to_string(st.st_size)) {
      Add(out, FindingSeverity::Error, where, "SIZE32",
          "SIZE32 says " + app.size32 + " bytes; the program file holds " +
              std::to_string(st.st_size) + " bytes.");
    }
  }
  // The files that mails may attach.
  for (const auto& [key, value] :
       {std::pair<const char*, const std::string*>{"ICOPATH", &app.icoPath},
        {"GIFPATH", &app.gifPath},
        {"SCREENPATH", &app.screenPath},
        {"OTHERPATH", &app.otherPath}}) {
    if (Blank(*value)) continue;
    struct stat st {};
    const std::string path = ProfileFilePath(*value, rootDir);
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::access(path.c_str(), R_OK) != 0) {
      Add(out, FindingSeverity::Error, where, key, "The file " + *value + " cannot be read.");
    }
  }
  // Every field within its rule.
  for (const auto& field : kAppFields) {
    if (field.key == "NAME") continue;
    if (auto why = CheckAppValue(field.key, app.*field.member)) {
      Add(out, FindingSeverity::Error, where, std::string(field.key), *why);
    }
  }
  // Addresses.
  for (const auto& [key, value] :
       {std::pair<const char*, const std::string*>{"APPURL", &app.appUrl},
        {"DL1_32", &app.dl1_32},
        {"DL2_32", &app.dl2_32},
        {"DL3_32", &app.dl3_32},
        {"DL4_32", &app.dl4_32},
        {"DL1_16", &app.dl1_16},
        {"DL2_16", &app.dl2_16},
        {"DL3_16", &app.dl3_16},
        {"DL4_16", &app.dl4_16},
        {"SHOT", &app.screenshotUrl},
        {"GIF", &app.gifUrl},
        {"ICO", &app.icoUrl},
        {"PADURL", &app.padUrl}}) {
    if (!Blank(*value) && !LooksLikeUrl(*value)) {
      Add(out, FindingSeverity::Error, where, key, *value + " is not a web address.");
    }
  }
  if (!Blank(company.url) && !LooksLikeUrl(company.url)) {
    Add(out, FindingSeverity::Error, kWhereCompany, "CURL", company.url + " is not a web address.");
  }
  for (const auto& [key, value] :
       {std::pair<const char*, const std::string*>{"CEMAIL", &company.email},
        {"CCMAIL", &company.salesEmail}}) {
    if (!Blank(*value) && !LooksLikeEmail(*value)) {
      Add(out, FindingSeverity::Error, kWhereCompany, key, *value + " is not an e-mail address.");
    }
  }
  // Text that was never filled in.
  auto placeholder = [&](const char* key, const std::string& text) {
    std::string found = FindPlaceholder(text);
    if (!found.empty()) {
      Add(out, FindingSeverity::Warning, where, key,
          "The text holds the placeholder \"" + found + "\".");
    }
  };
  placeholder("SHORTDESC", app.shortDesc);
  placeholder("LONGDESC", JoinLines(app.longDesc));
  placeholder("NOTES", JoinLines(app.notes));
}

void PreCheck::CheckVariables(const AppSiteRow& row, std::string_view text,
                              std::vector<Finding>& out, std::vector<std::string>& seen) {
  for (std::size_t open = text.find('%'); open != std::string_view::npos;) {
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const VariableInfo* info = FindVariable(name);
    if (!info) {  // a literal percent sign: the next one may open a variable
      open = close;
      continue;
    }
    open = text.find('%', close + 1);
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.emplace_back(name);
    // The categories have findings of their own when they are not set or not listed.
    if ((name == "SITECAT1" && (row.cat1 == kNotSet || CategoryUnlisted(row, site_(), 1))) ||
        (name == "SITECAT2" && (row.cat2 == kNotSet || CategoryUnlisted(row, site_(), 2)))) {
      continue;
    }
    const std::string value = eng_.ExpandVariable(name, ExpansionMode::Submission);
    const std::string field = "%" + std::string(name) + "%";
    if (eng_.ErrorFlag) {
      Add(out, FindingSeverity::Error, row.site, field,
          "The variable cannot be filled in: " + eng_.ErrorName + ".");
      continue;
    }
    if (Blank(value)) {
      std::string text2 = field + " (" + std::string(info->description) + ") is empty";
      for (const auto& s : kSources) {
        if (s.variable == name) {
          text2 +=
              ": fill in " + std::string(s.key) + " in the " + std::string(s.where) + " profile";
        }
      }
      Add(out, FindingSeverity::Warning, row.site, field, text2 + ".");
    } else if (!MultiLine(name) && value.find_first_of("\r\n") != std::string::npos) {
      Add(out, FindingSeverity::Error, row.site, field,
          field + " holds a line break, but the site takes it as one line.");
    }
  }
}

void PreCheck::CheckSite(const AppSiteRow& row, const PreCheckTarget& target,
                         std::vector<Finding>& out) {
  const std::string& where = row.site;
  bool opened = false;
  try {
    opened = FileExists(eng_.SiteSettingsFile(row.site)) && openSite_(row.site);
  } catch (const std::exception&) {
    opened = false;
  }
  if (!opened) {
    Add(out, FindingSeverity::Error, where, "definition",
        "The site's settings file cannot be read.");
    return;
  }
  eng_.SetCurrentRow(&row);
  const SiteDefinition& site = site_();
  const bool isNew = row.submit == "New";
  if (row.cat1 == kNotSet) {
    Add(out, FindingSeverity::Error, where, "category 1", "No category is chosen for the site.");
  }
  if (row.cat2 == kNotSet) {
    Add(out, FindingSeverity::Error, where, "category 2",
        "No second category is chosen for the site.");
  }
  for (int which = 1; which <= 2; ++which) {
    if (!CategoryUnlisted(row, site, which)) continue;
    const std::string& label = which == 1 ? row.cat1 : row.cat2;
    Add(out, FindingSeverity::Error, where, "category " + std::to_string(which),
        row.site + ": category " + label + " is not in " + row.site + " Cat" +
            std::to_string(which) + ".cat");
  }
  const std::string& url = isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl;
  const std::string& to = isNew ? site.emailToName : site.emailToNameUpdate;
  const bool http = site.useHttpPost && !Blank(url);
  const bool mail = site.useEmail && !Blank(to);
  if (!site.useHttpPost && !site.useFtpUpload && !site.useEmail) {
    Add(out, FindingSeverity::Error, where, "methods",
        "The site takes no submissions: no method is in use.");
    return;
  }
  if (site.useHttpPost && !http) {
    Add(out, FindingSeverity::Error, where,
        isNew ? "HTTP_NEW_SCRIPT_URL" : "HTTP_UPDATE_SCRIPT_URL",
        std::string("The site takes web forms but has no address for ") +
            (isNew ? "new programs." : "updates."));
  }
  if (site.useEmail && !mail) {
    Add(out, FindingSeverity::Error, where, isNew ? "EMAIL_TO_NAME" : "EMAIL_TO_NAME_UPDATE",
        std::string("The site takes e-mail but has no recipient for ") +
            (isNew ? "new programs." : "updates."));
  }
  if (site.useFtpUpload && Blank(site.ftpServer)) {
    Add(out, FindingSeverity::Error, where, "FTP_SERVER",
        "The site takes uploads but names no FTP server.");
  } else if (site.useFtpUpload) {
    auto server = SplitServer(site.ftpServer, 21);
    if (!server) {
      Add(out, FindingSeverity::Error, where, "FTP_SERVER",
          site.ftpServer + " is not a server name (with an optional port from 1 to 65535).");
    } else if (ftpServerSeen_.insert(server->host + ':' + std::to_string(server->port)).second) {
      server->where = where;
      server->field = "FTP_SERVER";
      ftpServers_.push_back(*server);
    }
  }
  std::vector<std::string> seen;
  if (http) {
    CheckVariables(row, url, out, seen);
    const std::string& script = site.Script(isNew ? ScriptKind::HttpNew : ScriptKind::HttpUpdate);
    if (Blank(script) || script.find_first_not_of(" \t\r\n") == std::string::npos) {
      Add(out, FindingSeverity::Error, where, isNew ? "HTTP_NEW" : "HTTP_UPDATE",
          "The site's web form script is empty.");
    }
    CheckVariables(row, script, out, seen);
  }
  if (site.useFtpUpload && !Blank(site.ftpServer)) {
    for (const std::string* text : {&site.loginName, &site.loginPassword, &site.remotePath}) {
      CheckVariables(row, *text, out, seen);
    }
    // A Remote Path without its final "/" names the folder all the same: say which.
    const std::string folder = RemoteFolder(site.remotePath);
    if (!folder.empty() && !site.remotePath.empty() && site.remotePath.back() != '/') {
      Add(out, FindingSeverity::Warning, where, "REMOTE_PATH",
          "The files are uploaded into the folder \"" + folder + "\".");
    }
    if (site.textFileOption != TextFileOption::None) {
      CheckVariables(row, site.Script(ScriptKind::FtpNew), out, seen);
    }
  }
  if (mail) {
    if (Blank(target.smtpServer)) {
      Add(out, FindingSeverity::Error, kWhereSettings, "SMTP", "No mail server is set.");
    }
    if (!LooksLikeEmail(target.senderEmail)) {
      Add(out, FindingSeverity::Error, kWhereSettings, "EMAIL",
          "The sender's e-mail address is missing or not an address.");
    }
    const std::string& script = site.Script(isNew ? ScriptKind::EmailNew : ScriptKind::EmailUpdate);
    if (script.find_first_not_of(" \t\r\n") == std::string::npos) {
      Add(out, FindingSeverity::Error, where, isNew ? "EMAIL_NEW" : "EMAIL_UPDATE",
          "The site's e-mail script is empty.");
    }
    CheckVariables(row, to, out, seen);
    CheckVariables(row, isNew ? site.emailSubject : site.emailSubjectUpdate, out, seen);
    CheckVariables(row, script, out, seen);
    const AppProfile& app = eng_.Context().App();
    for (const auto& [wanted, key, path] : {std::tuple<bool, const char*, const std::string*>{
                                                site.attachGif, "GIFPATH", &app.gifPath},
                                            {site.attachIco, "ICOPATH", &app.icoPath},
                                            {site.attachScreen, "SCREENPATH", &app.screenPath},
                                            {site.attachOther, "OTHERPATH", &app.otherPath}}) {
      if (wanted && Blank(*path)) {
        Add(out, FindingSeverity::Warning, where, key,
            std::string("The site's mail attaches ") + key +
                ", but the application names no such file.");
      }
    }
  }
}

std::vector<Finding> PreCheck::Run(const PreCheckTarget& target) {
  std::vector<Finding> out;
  ftpServers_.clear();
  ftpServerSeen_.clear();
  const ExpansionContext saved = eng_.Context();
  CheckApplication(saved.App(), saved.Company(), out, target.rootDir);
  // The sites see the application as a run sends it.
  const AppProfile sent = ProfileForRun(saved.App());
  ExpansionContext context = saved;
  context.app = &sent;
  eng_.SetContext(context);
  try {
    for (std::size_t i : target.indexes) {
      if (target.rows && i < target.rows->size()) CheckSite((*target.rows)[i], target, out);
    }
  } catch (...) {
    eng_.SetContext(saved);
    throw;
  }
  eng_.SetContext(saved);
  // One finding per setting, however many sites need it.
  std::vector<Finding> unique;
  std::set<std::string> settingsSeen;
  for (auto& f : out) {
    if (f.where == kWhereSettings && !settingsSeen.insert(f.field).second) continue;
    unique.push_back(std::move(f));
  }
  return unique;
}

}  // namespace vendrix
