#include "script/dry_run.h"

#include "script/text_tools.h"

namespace vendrix {
namespace {

bool HasText(const std::string& s) {
  return s.find_first_not_of(' ') != std::string::npos;
}

}  // namespace

std::vector<std::size_t> RowsToPost(const std::vector<AppSiteRow>& rows, std::string_view platform,
                                    std::string_view status) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].post == "Y" && SiteFitsApp(rows[i], platform, status)) out.push_back(i);
  }
  return out;
}

AppProfile ProfileForRun(const AppProfile& app) {
  AppProfile copy = app;
  copy.longDesc = SplitLines(WrapText(JoinLines(app.longDesc), 72));
  return copy;
}

DryRunSite DryRun::BuildSite(const AppSiteRow& row, const MailSender& sender) {
  DryRunSite out;
  out.site = row.site;
  out.isNew = row.submit == "New";
  builder_.OpenSite(row.site);
  eng_.SetCurrentRow(&row);
  const SiteDefinition& site = builder_.Definition();
  const SubmissionKind kind = out.isNew ? SubmissionKind::New : SubmissionKind::Update;
  SubmissionBuilder build(eng_, tree_, log_);
  if (site.useFtpUpload) {
    out.ftp = true;
    out.ftpPlan = build.BuildFtpSubmission();
  }
  if (site.useHttpPost && HasText(out.isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl)) {
    out.http = true;
    out.httpRequest = build.BuildHttpSubmission(kind);
  }
  if (site.useEmail && HasText(out.isNew ? site.emailToName : site.emailToNameUpdate)) {
    out.mail = true;
    for (bool copy : {false, true}) {
      if (copy && !site.emailSendCopy) break;
      auto mail = build.BuildMailSubmission(kind, copy, sender);
      if (!mail) {
        out.mailFailed = true;
        break;
      }
      out.mails.push_back(std::move(*mail));
    }
  }
  return out;
}

int DryRun::Run(const std::vector<AppSiteRow>& rows, const AppProfile& app,
                const MailSender& sender, const std::optional<std::string>& only,
                DryRunView& view) {
  const ExpansionContext saved = eng_.Context();
  const AppProfile sent = ProfileForRun(app);
  ExpansionContext context = saved;
  context.app = &sent;
  eng_.SetContext(context);
  int built = 0;
  try {
    std::vector<std::size_t> indexes;
    if (only) {
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].site == *only) indexes.push_back(i);
      }
    } else {
      indexes = RowsToPost(rows, app.platform, app.status);
    }
    for (std::size_t i : indexes) {
      view.SiteStarts(rows[i]);
      DryRunSite site = BuildSite(rows[i], sender);
      ++built;
      view.SiteBuilt(site);
    }
  } catch (...) {
    eng_.SetContext(saved);
    throw;
  }
  eng_.SetContext(saved);
  return built;
}

}  // namespace vendrix
