#pragma once
// Turns the open site definition, the current row and the profiles into what is
// sent: the HTTP request, the e-mail (and its copy), the FTP upload plan with its zip
// archive and text file. Log and report lines go to a SubmissionLog. A build that
// cannot be made returns nullopt (or false) after logging why; it throws only for
// failed writes of its work files. Runs on the thread that runs the submission (the
// run's worker); the engine and the open site are its for that time.
#include <optional>
#include <string>

#include "base/data_tree.h"
#include "script/eng_build.h"
#include "script/submission.h"

namespace vendrix {

struct MailSender {
  std::string address, name;
  std::string footerAddress = kProductPageUrl;  // the FooterURL setting
};

class CompressedFileCache;

class SubmissionBuilder {
 public:
  // compressed: when given (a run's), the program is compressed once through it and
  // each site's archive copies that entry; without it every archive compresses anew.
  // It must outlive the builder's FTP builds.
  SubmissionBuilder(TEngBuild& eng, const DataTree& tree, SubmissionLog& log,
                    CompressedFileCache* compressed = nullptr)
      : eng_(eng), tree_(tree), log_(log), compressed_(compressed) {}

  // nullopt when there is no script, the script does not expand, or the site is
  // served by a built-in submitter.
  std::optional<HttpSubmission> BuildHttpSubmission(SubmissionKind kind);
  // nullopt when there is no script.
  std::optional<MailSubmission> BuildMailSubmission(SubmissionKind kind, bool isCopy,
                                                    const MailSender& sender);
  // The text file's name in the files folder, or empty when none was made.
  std::string BuildFtpTextFile();
  // The upload plan in two steps, as the upload makes them: the login (host, user,
  // password, remote folder), then after logging on the files to send (text file
  // and zip archive made). BuildFtpFiles is false when the archive is missing.
  std::optional<FtpSubmission> BuildFtpLogin();
  bool BuildFtpFiles(FtpSubmission& plan);
  // Both steps at once.
  std::optional<FtpSubmission> BuildFtpSubmission();

 private:
  // The expansion of text in submission mode, or the text itself when it fails.
  std::string ExpandOr(const std::string& text, const ValueEncoder& encode = {});
  const SiteDefinition& Site() const { return *eng_.Context().site; }
  std::string SiteName() const;

  TEngBuild& eng_;
  const DataTree& tree_;
  SubmissionLog& log_;
  CompressedFileCache* compressed_;
};

}  // namespace vendrix
