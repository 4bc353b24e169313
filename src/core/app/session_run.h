#pragma once
// The submission run wired to the session: the run's host over the session's
// settings, profiles, site table and site builder. The Submit page (GUI) and
// "vendrix-cli submit" each make one per run; it lives on the run's thread while
// the run holds the session.
#include "app/session.h"
#include "run/run_host.h"

namespace vendrix {

class SessionRunHost : public RunHost {
 public:
  explicit SessionRunHost(Session& session) : s_(session) {}

  ProgramSettings Settings() override;
  const AppProfile& App() override { return s_.App().Profile(); }
  const CompanyProfile& Company() override { return s_.Company().Profile(); }
  void SetLongDesc(Lines lines) override;
  std::vector<AppSiteRow>& Rows() override { return s_.Table().MutableRows(); }
  bool OpenSite(const std::string& name) override { return s_.Builder().OpenSite(name); }
  const SiteDefinition& Site() override { return s_.Builder().Definition(); }
  void SaveSiteTable() override;
  std::string SiteTableFile() override { return s_.Wide().SiteTableFile(s_.App().Shown()); }
  bool IsUnsaved(Unsaved what) override;
  void Save(Unsaved what) override;
  void SetPosting(bool on) override { s_.Flags().Posting = on; }
  TEngBuild& Eng() override { return s_.Wide().EngBuild(); }
  const DataTree& Tree() override { return s_.Wide(); }
  std::vector<Finding> MoreFindings() override;

 private:
  Session& s_;
};

}  // namespace vendrix
