#pragma once
// What one site gets: the HTTP request, the e-mail, the FTP upload plan. Plain data;
// a SubmissionLog is called on the thread that builds the submission.
#include <string>
#include <vector>

#include "base/line_list.h"
#include "base/program_settings.h"

namespace vendrix {

enum class SubmissionKind { New, Update };

struct HttpSubmission {
  bool get = false;  // GET, else POST
  std::string url;
  std::string data;  // the body for POST; empty for GET (the data is in the URL)
  std::string contentType = "application/x-www-form-urlencoded";
  std::string reportData;  // the data as the run report shows it
};

struct MailSubmission {
  std::string to;
  std::string subject;
  Lines body;
  std::vector<std::string> attachments;  // UTF-8 file-system paths, in order
  bool isCopy = false;
  std::string fromAddress, fromName;
};

struct FtpFile {
  std::string localPath;  // a UTF-8 file-system path
  std::string remoteName;
  bool ascii = false;
};

struct FtpSubmission {
  std::string host, user, password, remoteDir;
  std::string textFile;  // name in the files folder, empty when none was made
  std::vector<FtpFile> files;
};

// The folder a site's Remote Path names, ready to have a file name put after it: one
// leading "\\" dropped, and exactly one "/" at the end ("incoming" and "incoming//"
// both give "incoming/", "/" stays "/"); empty (the login folder) stays empty.
std::string RemoteFolder(std::string remotePath);

// Where the builders write their log and report lines; the run implements it.
class SubmissionLog {
 public:
  virtual ~SubmissionLog() = default;
  virtual void AddLogLine(const std::string& line) = 0;
  virtual void AddReportLine(const std::string& line) = 0;
  virtual void AddFtpLine(const std::string& line) = 0;
};

// The address the mail footer points to by default.
inline constexpr const char* kProductPageUrl = kDefaultFooterUrlSetting;

// The lines every mail to a site ends with (never the copy to the company): four empty
// lines and the program's note; the sentence with the address only when there is one.
Lines MailFooter(const std::string& address);

}  // namespace vendrix
