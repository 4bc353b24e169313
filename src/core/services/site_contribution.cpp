#include "services/site_contribution.h"

#include "base/file_io.h"
#include "base/names.h"

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
      sender_.Send(BuildContribution(site_, company_, tree_, to_));
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
