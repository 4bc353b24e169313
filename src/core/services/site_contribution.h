#pragma once
// TContributeFrm: the "Contribute Engine to Halvane:" window without its widgets. It
// mails the data files of a site the user made to the maker's site-submission
// address (the program setting ContributeAddress), through a ContributionSender that
// goes out by the user's own mail settings.
//
// Submit blocks while the message is sent (a GUI runs it on a worker thread, with a
// prompt and view that forward to its window); Cancel may be called from any thread.
#include <string>
#include <vector>

#include "base/data_tree.h"
#include "base/user_prompt.h"
#include "profiles/company_profile.h"

namespace vendrix {

inline constexpr const char* kContributeName = "Vendrix Engine Submissions";

// The message of a contribution, before it becomes mail.
struct ContributionMessage {
  std::string senderName, senderAddress;  // the company contact
  std::string to, toName;                 // the submission address
  std::string subject;                    // at most 255 characters
  std::vector<std::string> body;          // lines
  std::vector<std::string> attachments;   // paths (UTF-8), in order
};

// The message for a site: the subject and body "New Site Submission for: " and the
// name; as attachments, those of the site's files that exist, in this order: its
// settings file, its two category files, its five scripts (HTTP_NEW, HTTP_UPDATE,
// FTP_NEW, EMAIL_NEW, EMAIL_UPDATE).
ContributionMessage BuildContribution(const std::string& site, const CompanyProfile& company,
                                      const DataTree& tree, const std::string& to);

// Sends a contribution; throws on any failure. Cancel may come from any thread.
class ContributionSender {
 public:
  virtual ~ContributionSender() = default;
  virtual void Send(const ContributionMessage& message) = 0;
  virtual void Cancel() = 0;
};

// What the window shows besides messages.
class ContributeView {
 public:
  virtual ~ContributeView() = default;
  // The wait panel "Sending Submission. Please Wait..." shown (texts hidden, buttons
  // disabled), or the window back as it was.
  virtual void Sending(bool sending) = 0;
  virtual void Close() = 0;
};

// The site's settings file as it is contributed: LOGIN_NAME and LOGIN_PASSWORD
// blanked (when present), everything else as it was.
std::string WithoutFtpLogin(const std::string& settingsText);

// What the contribution window says about it.
inline constexpr const char* kContributionLeavesLogin =
    "Your FTP login name and password for this site are not sent.";

class TContributeFrm {
 public:
  enum class Result { Sent, NotSent, NoContact };

  TContributeFrm(std::string site, CompanyProfile company, const DataTree& tree,
                 std::string contributeAddress, ContributionSender& sender, UserPrompt& prompt,
                 ContributeView& view);

  // "Submit": checks the contact, builds and sends the message, says how it went and
  // closes the window. After Sent the main window hides "Contribute!" for the rest of
  // the program's run.
  Result Submit();
  void Cancel() { sender_.Cancel(); }
  // Why the last Submit failed (the sender's error text), for a details line.
  const std::string& LastError() const { return lastError_; }

 private:
  std::string site_;
  CompanyProfile company_;
  const DataTree& tree_;
  std::string to_;
  ContributionSender& sender_;
  UserPrompt& prompt_;
  ContributeView& view_;
  std::string lastError_;
};

}  // namespace vendrix
