// The FTP upload step: one attempt of logging on and sending the program (or its
// archive) and the text file of the current site. The archive and the text file are
// made before logging on, so no server waits on them; any error inside the attempt
// is the attempt's failure, never the run's end.
#include <exception>

#include "base/cp1252.h"
#include "profiles/program_file.h"
#include "run/file_digest.h"
#include "run/retry_rules.h"
#include "run/site_poster.h"
#include "script/submission_builder.h"

namespace vendrix {
namespace {

std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The step as the poster runs it: the upload with its retries, the FTP list on the
// site's page, and the server left.
class FtpStep final : public SiteStep {
 public:
  explicit FtpStep(SitePoster& poster) : p_(poster) {}
  RunStep Which() const override { return RunStep::Ftp; }
  StepEnd Run(bool) override {
    p_.ftpLines_.clear();
    p_.sink_.FtpListCleared(p_);
    StepEnd end = p_.FtpUpload();
    for (const auto& line : p_.ftpLines_) p_.AddReportLine(line);
    p_.ftpForm_.Logoff();
    p_.ftpHold_.reset();
    p_.secret_.clear();
    return end;
  }

 private:
  SitePoster& p_;
};

std::unique_ptr<SiteStep> MakeFtpStep(SitePoster& poster) {
  return std::make_unique<FtpStep>(poster);
}

void SitePoster::RecordSentFile(const std::string& step, const std::string& name,
                                const std::string& path, bool confirmed) {
  // The digest shows on the site's page (through the FTP list for an upload) and in
  // run.json, so that the author can compare it with what the site publishes.
  auto digest = DigestFile(path);
  if (!digest) return;
  std::string line = "SHA-256 of " + name + ": " + digest->sha256 + " (" +
                     std::to_string(digest->bytes) + " bytes" +
                     (confirmed ? ", the server holds as many)" : ")");
  if (step == "ftp") {
    AddFtpLine(line);
  } else {
    AddReportLine(line);
  }
  outcome_.result.files.push_back({step, name, digest->bytes, digest->sha256, confirmed});
}

StepEnd SitePoster::FtpUpload() {
  const std::string& rowSite = job_.rowData.site;
  int failures = 0;
  StepEnd end;
  stored_ = std::set<std::string>(job_.ftpSent.begin(), job_.ftpSent.end());
  // An upload that may have reached the site is not tried again.
  while (!end.ok && !skip_ && failures <= shared_.settings.ftpRetries &&
         ended_[StepSlot(RunStep::Ftp)] != StepState::Uncertain) {
    if (failures > 0) {
      // A server that failed a moment ago gets a little longer each time.
      const int wait = BackOffMs(failures - 1);
      const std::string line = "Trying " + rowSite + " by FTP again in " + Seconds(wait) +
                               " (attempt " + std::to_string(failures + 1) + ")";
      AddFtpLine(line);
      AddLogLine(line);
      if (!WaitBeforeRetry(wait)) break;
    }
    end = FtpTry();
    if (!end.ok) ++failures;
  }
  return end;
}

StepEnd SitePoster::FtpTry() {
  const std::string site = siteName_;
  try {
    return FtpAttempt();
  } catch (const std::exception& e) {
    // A client or file error outside the window's own handlers (a command the server
    // answered by closing, an archive that could not be written): this attempt failed.
    ftpState_.FtpFailed = true;
    ftpState_.FtpErrorText = e.what();
    Settle(RunStep::Ftp, storeBegun_ && !ftpForm_.FTP1.TransferRefused() ? StepState::Uncertain
                                                                         : StepState::NotDelivered);
    AddFtpLine(MaskWords(std::string("EXCEPTION: ") + e.what()));
    const std::string why = site + " -> " + "FTP error: " + MaskWords(e.what());
    AddLogLine(why);
    ftpForm_.Logoff();
    ftpHold_.reset();
    return StepEnd::Failed(why);
  }
}

StepEnd SitePoster::FtpAttempt() {
  const std::string site = siteName_;
  ftpState_.FtpFailed = false;
  ftpForm_.Logoff();
  ftpHold_.reset();
  sink_.Status(*this, RunStep::Ftp, "logging on to " + site);
  auto plan = builder_->BuildFtpLogin();
  if (!plan) return StepEnd::Failed(lastLogLine_);  // the builder's own words
  // The password never reaches a log line or a page, even when a server repeats it.
  secret_ = plan->password;
  if (!builder_->BuildFtpFiles(*plan)) return StepEnd::Failed(lastLogLine_);
  ftpForm_.tHost = plan->host;
  ftpForm_.tUser = plan->user;
  ftpForm_.tPasswd = plan->password;
  ftpForm_.SetRemoteFile("");
  if (Stopped()) return StepEnd::Failed({});
  // The control and the data connection: two of the server's slots.
  if (shared_.hostSlots) {
    auto hold = shared_.hostSlots->Take(ServerOf(plan->host, 21), 2, [this] { return Stopped(); });
    if (!hold) return StepEnd::Failed({});
    ftpHold_ = std::make_unique<HostSlots::Hold>(std::move(hold));
  }
  ftpForm_.Logon();
  if (ftpState_.FtpFailed && !skip_) {
    const std::string why =
        site + " -> " + "FTP logon failed: " + MaskWords(ftpState_.FtpErrorText);
    AddLogLine(why);
    return StepEnd::Failed(why);
  }
  if (ftpState_.FtpFailed || skip_) return StepEnd::Failed({});

  const std::string program = ProgramFilePath(eng_.Context().App(), tree_.ProgramDir);
  for (std::size_t i = 0; i < plan->files.size(); ++i) {
    const FtpFile& file = plan->files[i];
    ftpForm_.eLocalFile = file.localPath;
    ftpForm_.SetRemoteFile(file.remoteName);
    if (stored_.count(ftpForm_.RemoteFile())) continue;  // sent by an earlier attempt
    AddFtpLine("Sending File -> " + ftpForm_.RemoteFile());
    ftpState_.FtpFailed = false;
    storeBegun_ = false;
    if (skip_ && !begun_[StepSlot(RunStep::Ftp)]) {
      // An upload under way sends its other files before the skip ends the site.
      ftpState_.FtpFailed = true;
      ftpState_.FtpErrorText = "301: Interrupted";
    } else {
      try {
        ftpForm_.FTP1.SetTransferMode(file.ascii ? TFTPTransferModes::tmASCII
                                                 : TFTPTransferModes::tmBinary);
        ftpForm_.UploadFile();
      } catch (const std::exception& e) {
        ftpState_.FtpFailed = true;
        ftpState_.FtpErrorText = e.what();
      }
    }
    if (ftpState_.FtpFailed) {
      // A file the server refused, or never got, is not on the site; one whose
      // transfer broke off may be.
      Settle(RunStep::Ftp, storeBegun_ && !ftpForm_.FTP1.TransferRefused()
                               ? StepState::Uncertain
                               : StepState::NotDelivered);
      const std::string why = site + " -> " + "FTP error: " + MaskWords(ftpState_.FtpErrorText);
      AddLogLine(why);
      AddFtpLine("ERROR SENDING FILE -> " + ftpForm_.RemoteFile());
      ftpForm_.Logoff();
      ftpHold_.reset();
      return StepEnd::Failed(why);
    }
    // The program sent as it is is named by its whole remote path; an archive and the
    // text file by their file names.
    std::string name;
    if (file.ascii) {
      name = plan->textFile;
    } else if (program == file.localPath) {
      name = ftpForm_.RemoteFile();
    } else {
      name = Utf8ToCp1252(FileNameOf(file.localPath));
    }
    AddLogLine("Uploaded " + name + " to " + site);
    stored_.insert(ftpForm_.RemoteFile());
    if (shared_.ledger) {
      try {
        shared_.ledger->FileSent(job_.rowData, ftpForm_.RemoteFile());
      } catch (const std::exception& e) {
        // The step's own records still hold: at worst the file is sent with it again.
        AddLogLine(e.what());
      }
    }
    RecordSentFile("ftp", name, file.localPath, ftpForm_.FTP1.UploadVerified());
  }
  Settle(RunStep::Ftp, StepState::Delivered);
  return StepEnd::Done();
}

}  // namespace vendrix
