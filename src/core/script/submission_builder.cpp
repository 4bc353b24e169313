#include "script/submission_builder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "profiles/app_rules.h"
#include "profiles/company_profile.h"
#include "profiles/program_file.h"
#include "script/text_tools.h"
#include "zip/compressed_cache.h"
#include "zip/zip_archiver.h"

namespace vendrix {

std::string RemoteFolder(std::string remotePath) {
  if (!remotePath.empty() && remotePath.front() == '\\') remotePath.erase(0, 1);
  if (remotePath.empty()) return remotePath;
  while (!remotePath.empty() && (remotePath.back() == '/' || remotePath.back() == '\\')) {
    remotePath.pop_back();
  }
  return remotePath + "/";
}

Lines MailFooter(const std::string& address) {
  Lines footer(4, "");
  footer.push_back("This shareware submission was auto-submitted by Vendrix, a Halvane product.");
  if (!address.empty()) {
    footer.push_back(
        "For information about Vendrix software and the free Vendrix Webmaster Administrator");
    footer.push_back("for shareware sites, please visit " + address);
  }
  return footer;
}

namespace {

constexpr const char* kFilemineMarker = "HARDCODED->FILEMINE";
constexpr const char* kTempTextFile = "FTP_Parse_Temp.tmp";

// The file name of a path written with either separator.
std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension (with its dot) of a file name, or empty.
std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Whether a file name made from the profile stays inside the files folder.
bool StaysInFolder(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string::npos;
}

// A script without its leading blanks and empty lines: a script of nothing else is no
// script, and nothing of it is sent.
std::string ScriptText(const std::string& script) {
  const auto start = script.find_first_not_of(" \r\n");
  return start == std::string::npos ? std::string() : script.substr(start);
}

// A form script without the line breaks that end its file: they end the file, not the
// last field, which would otherwise reach the site as "version=7.1\r\n".
std::string FormText(const std::string& script) {
  std::string text = ScriptText(script);
  const auto end = text.find_last_not_of("\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A fresh folder inside the files folder for building one archive, removed with
// whatever is left in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& filesDir) {
    std::string tmpl = filesDir + ".archive-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      throw VendrixError(UnableToWrite(filesDir) + ": " + std::strerror(errno));
    path_ = tmpl + "/";
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string SubmissionBuilder::SiteName() const {
  const AppSiteRow* row = eng_.Context().row;
  return row ? row->site : Site().name;
}

std::string SubmissionBuilder::ExpandOr(const std::string& text, const ValueEncoder& encode) {
  std::string expanded = eng_.ExpandText(text, ExpansionMode::Submission, encode);
  return eng_.ErrorFlag ? text : expanded;
}

std::optional<HttpSubmission> SubmissionBuilder::BuildHttpSubmission(SubmissionKind kind) {
  const SiteDefinition& site = Site();
  if (site.Script(ScriptKind::HttpNew).find(kFilemineMarker) != std::string::npos ||
      site.Script(ScriptKind::HttpUpdate).find(kFilemineMarker) != std::string::npos) {
    return std::nullopt;  // served by a built-in submitter, which sends nothing
  }
  const bool isNew = kind == SubmissionKind::New;
  HttpSubmission http;
  http.get = site.httpGet;
  http.url = ExpandOr(isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl, PercentEncode);
  std::string script = FormText(site.Script(isNew ? ScriptKind::HttpNew : ScriptKind::HttpUpdate));
  const std::string name = SiteName();
  if (script.empty()) {
    log_.AddLogLine("No Engine Script For HTTP Post For: " + name);
    log_.AddReportLine("No Engine Script For HTTP Post For: " + name);
    log_.AddLogLine("Unable to post HTTP to: " + name);
    return std::nullopt;
  }
  std::string data = eng_.ExpandText(script, ExpansionMode::Submission, PercentEncode);
  if (eng_.ErrorFlag) {
    log_.AddReportLine("SCRIPT ERROR FOR " + name);
    log_.AddLogLine("Unable to post HTTP to: " + name);
    return std::nullopt;
  }
  ReplaceAll(data, " ", "%20");
  http.reportData = data;
  if (http.get) {
    http.url += data;
    ReplaceAll(http.url, "\r", "%20");
    ReplaceAll(http.url, "\n", "");
  } else {
    http.data = data;
  }
  log_.AddReportLine("Post Data:");
  log_.AddReportLine(http.reportData);
  return http;
}

std::optional<MailSubmission> SubmissionBuilder::BuildMailSubmission(SubmissionKind kind,
                                                                     bool isCopy,
                                                                     const MailSender& sender) {
  const SiteDefinition& site = Site();
  const ExpansionContext& ctx = eng_.Context();
  const bool isNew = kind == SubmissionKind::New;
  MailSubmission mail;
  mail.isCopy = isCopy;
  mail.fromAddress = sender.address;
  mail.fromName = sender.name;
  mail.to = isCopy ? ctx.Company().email : (isNew ? site.emailToName : site.emailToNameUpdate);
  std::string subject = TrimLeft(
      isNew || site.emailSubjectUpdate.empty() ? site.emailSubject : site.emailSubjectUpdate);
  mail.subject = subject.empty() ? "Submission" : ExpandOr(subject);
  const std::string name = SiteName();
  if (isCopy) mail.subject += " (" + name + ")";

  bool rowIsNew = ctx.row ? ctx.row->submit == "New" : isNew;
  std::string script =
      ScriptText(site.Script(rowIsNew ? ScriptKind::EmailNew : ScriptKind::EmailUpdate));
  if (script.empty()) {
    log_.AddLogLine("No Engine Script For EMAIL Post For: " + name);
    log_.AddLogLine("Unable to post EMAIL to: " + name);
    log_.AddLogLine(name + " EMail ERROR!!!");
    return std::nullopt;
  }
  mail.body = SplitLines(ExpandOr(script));
  if (!isCopy) {
    const Lines footer = MailFooter(sender.footerAddress);
    mail.body.insert(mail.body.end(), footer.begin(), footer.end());
  }
  const AppProfile& app = ctx.App();
  if (site.attachApplication && !isCopy) {
    mail.attachments.push_back(ProgramFilePath(app, tree_.ProgramDir));
  }
  for (const auto& [attach, path] : {std::pair{site.attachGif, &app.gifPath},
                                     {site.attachIco, &app.icoPath},
                                     {site.attachScreen, &app.screenPath},
                                     {site.attachOther, &app.otherPath}}) {
    if (attach && !path->empty()) {
      mail.attachments.push_back(ProfileFilePath(*path, tree_.ProgramDir));
    }
  }
  return mail;
}

std::string SubmissionBuilder::BuildFtpTextFile() {
  const SiteDefinition& site = Site();
  const std::string temp = tree_.FilesDir + kTempTextFile;
  RemoveFile(temp);
  const std::string& script = site.Script(ScriptKind::FtpNew);
  if (script.empty()) return "";
  std::string text = eng_.ExpandText(script, ExpansionMode::Submission);
  if (eng_.ErrorFlag) return "";
  std::string name = eng_.ExpandText(site.ftpFileName, ExpansionMode::Submission);
  if (eng_.ErrorFlag || name.empty()) return "";
  // The name comes from the profile: keep it inside the files folder.
  if (!StaysInFolder(name)) {
    log_.AddFtpLine("The text file name \"" + name +
                    "\" would leave the files folder; no text file.");
    return "";
  }
  const std::string target = tree_.FilesDir + Cp1252ToUtf8(name);
  try {
    RemoveFile(target);
    SaveLines(temp, SplitLines(text));
    if (std::rename(temp.c_str(), target.c_str()) != 0) return "";
  } catch (const std::exception&) {
    return "";
  }
  return name;
}

std::optional<FtpSubmission> SubmissionBuilder::BuildFtpLogin() {
  const SiteDefinition& site = Site();
  FtpSubmission plan;
  plan.host = site.ftpServer;
  plan.user = ExpandOr(site.loginName);
  plan.password = ExpandOr(site.loginPassword);
  plan.remoteDir = RemoteFolder(ExpandOr(site.remotePath));
  return plan;
}

bool SubmissionBuilder::BuildFtpFiles(FtpSubmission& plan) {
  const SiteDefinition& site = Site();
  const AppProfile& app = eng_.Context().App();
  plan.textFile = BuildFtpTextFile();
  plan.files.clear();
  const std::string program = ProgramFilePath(app, tree_.ProgramDir);
  const std::string ext = Upper(ExtensionOf(program));
  const bool caseB = site.useZipFile || ext == ".ZIP";
  if (!caseB) {
    std::string remote = site.use8x3FileName ? app.char8 + ExtensionOf(app.fileName) : app.fileName;
    plan.files.push_back({program, plan.remoteDir + remote, false});
    // The uploaded name comes from the file-name field, not from the program's path.
  } else {
    // The archive is built new for every site, in a scratch folder of its own, and
    // renamed into place: it holds exactly what this site's plan lists, never the
    // entries of an archive left by an earlier site or run.
    std::string archive;  // its name in the files folder (UTF-8)
    std::string zipPath;
    if (ext != ".ZIP") {
      if (site.use8x3FileName && !Char8Exit(app.char8)) {
        log_.AddFtpLine("The 8-character name \"" + app.char8 + "\" is refused: " + kChar8Refused);
        return false;
      }
      std::string name = site.use8x3FileName ? app.char8 + ".zip" : [&] {
        std::string n = FileNameOf(app.localPath);
        auto dot = n.rfind('.');
        return (dot == std::string::npos ? n : n.substr(0, dot)) + ".zip";
      }();
      if (!StaysInFolder(name)) {
        log_.AddFtpLine("The archive name \"" + name + "\" would leave the files folder.");
        return false;
      }
      archive = Cp1252ToUtf8(name);
      zipPath = tree_.FilesDir + archive;
      log_.AddFtpLine("Zipping File: " + Utf8ToCp1252(zipPath));
    } else {
      archive = FileNameOf(program);  // already UTF-8
      if (!StaysInFolder(archive)) {
        log_.AddFtpLine("The archive name \"" + Utf8ToCp1252(archive) +
                        "\" would leave the files folder.");
        return false;
      }
      zipPath = tree_.FilesDir + archive;
      log_.AddFtpLine("Prepairing Zip File: " + Utf8ToCp1252(zipPath));
    }
    ScratchFolder scratch(tree_.FilesDir);
    const std::string building = scratch.Path() + archive;
    const bool addText =
        site.textFileOption == TextFileOption::IncludeInZip && !plan.textFile.empty();
    const std::string textPath = tree_.FilesDir + Cp1252ToUtf8(plan.textFile);
    auto logAddText = [&] {
      log_.AddFtpLine("Adding To Zip File: " + Utf8ToCp1252(tree_.FilesDir) + plan.textFile);
    };
    if (ext != ".ZIP") {
      // One pass: the program's entry and the text file go into the archive together,
      // so the program's compressed bytes are written once per site, not twice.
      TZipArchiver zip;
      zip.ZipFilename = building;
      zip.OnMessage = [&](int, const std::string& m) { log_.AddFtpLine(m); };
      bool any = true;
      if (compressed_) {
        // The program compressed once for the whole run; its entry is copied as stored.
        const std::string once =
            compressed_->ArchiveOf(program, FileNameOf(program), zip.OnMessage);
        if (once.empty()) any = false;
        zip.CopyFromArchives = {once};
      } else {
        zip.FSpecArgs = {program};
      }
      if (any) {
        if (addText) {
          logAddText();
          zip.FSpecArgs.push_back(textPath);
        }
        zip.Add();
        // An archive without the program is never sent, whatever else it took.
        const auto names = zip.EntryNames();
        if (std::find(names.begin(), names.end(), FileNameOf(program)) == names.end()) {
          RemoveFile(building);
        }
      }
    } else if (auto data = ReadWholeFile(program)) {
      WriteFileAtomic(building, *data);
      if (addText) {
        logAddText();
        TZipArchiver zip;
        zip.ZipFilename = building;
        zip.FSpecArgs = {textPath};
        zip.OnMessage = [&](int, const std::string& m) { log_.AddFtpLine(m); };
        zip.Add();
      }
    }
    if (!FileExists(building)) {
      RemoveFile(zipPath);  // an archive of an earlier site is never sent in its place
      return false;
    }
    if (std::rename(building.c_str(), zipPath.c_str()) != 0) {
      throw VendrixError(UnableToWrite(zipPath) + ": " + std::strerror(errno));
    }
    plan.files.push_back({zipPath, plan.remoteDir + Utf8ToCp1252(FileNameOf(zipPath)), false});
  }
  bool textInZip = caseB && site.textFileOption == TextFileOption::IncludeInZip;
  if (!plan.textFile.empty() && !textInZip) {
    plan.files.push_back(
        {tree_.FilesDir + Cp1252ToUtf8(plan.textFile), plan.remoteDir + plan.textFile, true});
  }
  return true;
}

std::optional<FtpSubmission> SubmissionBuilder::BuildFtpSubmission() {
  auto plan = BuildFtpLogin();
  if (!plan || !BuildFtpFiles(*plan)) return std::nullopt;
  return plan;
}

}  // namespace vendrix
