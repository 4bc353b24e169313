#include "services/site_contribution.h"

#include <stdlib.h>

#include <filesystem>

#include "base/error.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/names.h"
#include "catalogue/site_settings.h"

namespace vendrix {

ContributionMessage BuildContribution(const std::string& site, const CompanyProfile& company,
                                      const DataTree& tree, const std::string& to) {
  ContributionMessage m;
  m.senderName = company.contact;
  m.senderAddress = company.email;
  m.to = to;
  m.toName = kContributeName;
  const std::string line = "New Site Submission for: " + site;
  m.subject = line.substr(0, 255);
  m.body = {line};
  std::vector<std::string> candidates = {tree.SiteSettingsFile(site), tree.CategoryFile(site, 1),
                                         tree.CategoryFile(site, 2)};
  for (const char* tag : {"HTTP_NEW", "HTTP_UPDATE", "FTP_NEW", "EMAIL_NEW", "EMAIL_UPDATE"}) {
    candidates.push_back(tree.ScriptFile(site, tag));
  }
  for (const auto& path : candidates) {
    if (FileExists(path)) m.attachments.push_back(path);
  }
  return m;
}

TContributeFrm::TContributeFrm(std::string site, CompanyProfile company, const DataTree& tree,
                               std::string contributeAddress, ContributionSender& sender,
                               UserPrompt& prompt, ContributeView& view)
    : site_(std::move(site)),
      company_(std::move(company)),
      tree_(tree),
      to_(std::move(contributeAddress)),
      sender_(sender),
      prompt_(prompt),
      view_(view) {}

namespace {

// A folder of this process's own for the copies that leave out the site's secrets;
// removed with everything in it when the sending is over.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vendrix-contribute-XXXXXX");
    if (::mkdtemp(tmpl.data())) path_ = tmpl + "/";
  }
  ~PrivateFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string WithoutFtpLogin(const std::string& settingsText) {
  IniDocument doc = IniDocument::Parse(settingsText);
  for (const char* key : {"LOGIN_NAME", "LOGIN_PASSWORD"}) {
    if (doc.Get(kSiteSection, key)) doc.WriteString(kSiteSection, key, "");
  }
  return doc.Text();
}

TContributeFrm::Result TContributeFrm::Submit() {
  if (company_.contact.empty() || company_.email.find('@') == std::string::npos) {
    prompt_.Error("You do not have your company contact info filled in. Please do so now!");
    view_.Close();
    return Result::NoContact;
  }
  bool error = false;
  lastError_.clear();
  if (site_.empty() || CheckEntryName(site_)) {
    error = true;  // a name that cannot be a file name has no files to send
    lastError_ = "The site name cannot be part of a file name.";
  } else {
    view_.Sending(true);
    try {
      ContributionMessage message = BuildContribution(site_, company_, tree_, to_);
      // The settings file goes without the FTP login: that is the user's, not the site's.
      PrivateFolder folder;
      const std::string settings = tree_.SiteSettingsFile(site_);
      for (auto& file : message.attachments) {
        if (file != settings) continue;
        if (folder.Path().empty()) throw VendrixError("Unable to make a temporary folder");
        const std::string copy = folder.Path() + file.substr(file.rfind('/') + 1);
        WriteFileAtomic(copy, WithoutFtpLogin(ReadWholeFile(file).value_or("")));
        file = copy;
      }
      sender_.Send(message);
    } catch (const std::exception& e) {
      error = true;
      lastError_ = e.what();
    }
    view_.Sending(false);
  }
  if (error) {
    prompt_.Error("ERROR -> Submission Could Not Be Sent!");
  } else {
    prompt_.Inform("Submission Sent. Thank You!");
  }
  view_.Close();
  return error ? Result::NotSent : Result::Sent;
}

}  // namespace vendrix
