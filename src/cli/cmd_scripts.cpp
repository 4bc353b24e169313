// vendrix-cli expand, check, mass-change and preview.
#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "base/cp1252.h"
#include "base/data_tree.h"
#include "base/error.h"
#include "base/file_io.h"
#include "cli.h"
#include "script/checks.h"
#include "script/dry_run.h"

namespace vendrix::cli {
namespace {

// The expansion context of the program at start-up, or the one named.
void SelectContext(Context& c) {
  SelectAppContext(c, c.args.Option("--app"));
}

const AppSiteRow* RowOf(Session& s, const std::string& site) {
  for (const auto& r : s.Table().Rows()) {
    if (r.site == site) return &r;
  }
  return nullptr;
}

void PrintFindings(const EngineChecker& checker) {
  for (const auto& r : checker.rows) Out(r.site + "\t" + r.error + "\t" + Utf8ToCp1252(r.path));
}

// Log lines of the builders, shown indented.
class PrintLog : public SubmissionLog {
 public:
  void AddLogLine(const std::string& l) override { Out("  log: " + l); }
  void AddReportLine(const std::string& l) override { Out("  report: " + l); }
  void AddFtpLine(const std::string& l) override { Out("  ftp: " + l); }
};

// The dry run's outcome, site by site.
class PrintDryRun : public DryRunView {
 public:
  void SiteStarts(const AppSiteRow& row) override {
    Out("== " + row.site + " (" + (row.submit == "New" ? "New" : "Update") + ") ==");
  }
  void SiteBuilt(const DryRunSite& site) override;
};

void PrintDryRun::SiteBuilt(const DryRunSite& site) {
  if (site.ftp) {
    if (!site.ftpPlan) {
      Out("FTP: the archive to upload is missing; nothing would be sent");
    } else {
      const FtpSubmission& plan = *site.ftpPlan;
      Out("FTP " + plan.host + " user " + plan.user + " password ****");
      for (const auto& f : plan.files) {
        Out("  send " + Utf8ToCp1252(f.localPath) + " -> " + f.remoteName +
            (f.ascii ? " (ASCII)" : " (binary)"));
      }
    }
  }
  if (site.http) {
    if (const auto& http = site.httpRequest) {
      Out(std::string("HTTP ") + (http->get ? "GET " : "POST ") + http->url);
      if (!http->get) Out("  data: " + http->data);
    } else {
      Out("HTTP: nothing would be sent");
    }
  }
  if (site.mail) {
    for (const auto& mail : site.mails) {
      Out(std::string(mail.isCopy ? "E-MAIL COPY to " : "E-MAIL to ") + mail.to);
      Out("  subject: " + mail.subject);
      for (const auto& l : mail.body) Out("  | " + l);
      for (const auto& a : mail.attachments) Out("  attach: " + Utf8ToCp1252(a));
    }
    if (site.mailFailed) Out("E-MAIL: nothing would be sent");
  }
}

}  // namespace

int ExpandCommand(Context& c) {
  auto site = c.args.Option("--site");
  auto mode = c.args.Option("--mode").value_or("preview");
  if (mode != "preview" && mode != "submission")
    throw UsageError("--mode is preview or submission");
  SelectContext(c);
  std::string text = c.args.Next("text");
  if (!c.args.Empty()) throw UsageError("give the text as one argument");
  Session& s = c.session;
  TEngBuild& eng = s.Wide().EngBuild();
  if (site && !s.Builder().OpenSite(*site)) throw VendrixError("No site named " + *site);
  eng.SetCurrentRow(site ? RowOf(s, *site) : nullptr);
  std::string out =
      eng.ExpandText(text, mode == "preview" ? ExpansionMode::Preview : ExpansionMode::Submission);
  if (eng.ErrorFlag) {
    std::cerr << Cp1252ToUtf8("Error! -> [" + eng.ErrorName + "]") << '\n';
    return kExitRefused;
  }
  std::cout << Cp1252ToUtf8(out) << '\n';
  return kExitOk;
}

int CheckCommand(Context& c) {
  SelectContext(c);
  EngineChecker checker(c.session.Wide().EngBuild(), c.prompt,
                        c.session.Builder().Lists().SiteList);
  checker.RunEngineCheck();
  PrintFindings(checker);
  return checker.rows.empty() ? kExitOk : kExitRefused;
}

int MassChangeCommand(Context& c) {
  SelectContext(c);
  std::string from = c.args.Next("from-text");
  std::string to = c.args.Next("to-text");
  if (!IsMassChangeChoice(to)) {
    throw VendrixError("The to-text must be one of the %VARIABLE% texts (\"%COMPNAME%\", ...).");
  }
  EngineChecker checker(c.session.Wide().EngBuild(), c.prompt,
                        c.session.Builder().Lists().SiteList);
  if (!checker.RunMassChange(from, to)) {
    throw VendrixError("Nothing to change: the from-text is empty or the same as the to-text.");
  }
  for (const auto& path : checker.rewritten) Out("rewritten\t" + Utf8ToCp1252(path));
  PrintFindings(checker);
  return checker.rows.empty() ? kExitOk : kExitRefused;
}

namespace {

// The preview builds its archives and text files as a run would, but in a folder of its
// own outside the data tree: a preview only reads the tree (which may be read-only).
class ScratchFiles {
 public:
  ScratchFiles() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/vendrix-preview-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
      throw VendrixError(UnableToWrite(tmpl) + ": " + std::strerror(errno));
    }
    path_ = tmpl + "/";
  }
  ~ScratchFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

int PreviewCommand(Context& c) {
  auto only = c.args.Option("--site");
  SelectContext(c);
  Session& s = c.session;
  PrintLog log;
  ScratchFiles scratch;
  DataTree tree = s.Wide();
  tree.FilesDir = scratch.Path();
  DryRun dry(s.Wide().EngBuild(), s.Builder(), tree, log);
  MailSender sender{s.Settings().email, s.Settings().name, s.Settings().footerUrl};
  PrintDryRun view;
  int shown = dry.Run(s.Table().Rows(), s.App().Profile(), sender, only, view);
  if (only && shown == 0) throw VendrixError("No row for the site " + *only);
  if (shown == 0) Out("No site is marked to post.");
  return kExitOk;
}

}  // namespace vendrix::cli
