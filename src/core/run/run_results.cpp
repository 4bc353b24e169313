#include "run/run_results.h"

#include <nlohmann/json.hpp>

#include "base/cp1252.h"
#include "base/file_io.h"
#include "run/precheck.h"

namespace vendrix {
namespace {

using nlohmann::json;

json SiteObject(const SiteResult& s) {
  json steps = json::array();
  for (const auto& st : s.steps) {
    steps.push_back({{"step", st.step},
                     {"status", st.status},
                     {"detail", Cp1252ToUtf8(st.detail)},
                     {"page", st.page}});
  }
  json files = json::array();
  for (const auto& f : s.files) {
    files.push_back({{"step", f.step},
                     {"file", Cp1252ToUtf8(f.name)},
                     {"bytes", f.bytes},
                     {"sha256", f.sha256},
                     {"confirmed", f.confirmed}});
  }
  return {{"site", Cp1252ToUtf8(s.site)},     {"kind", s.kind}, {"outcome", s.outcome},
          {"reason", Cp1252ToUtf8(s.reason)}, {"steps", steps}, {"files", files}};
}

json SummaryObject(const RunSummary& r) {
  return {{"application", Cp1252ToUtf8(r.application)},
          {"version", Cp1252ToUtf8(r.version)},
          {"succeeded", r.succeeded},
          {"failed", r.failed},
          {"skipped", r.skipped},
          {"uncertain", r.uncertain},
          {"not_sent", r.notSent},
          {"cancelled", r.cancelled},
          {"report", r.report},
          {"started", Cp1252ToUtf8(r.started)},
          {"ended", Cp1252ToUtf8(r.ended)}};
}

}  // namespace

std::string FindingJson(const Finding& f, bool asEvent) {
  json j = {{"severity", f.severity == FindingSeverity::Error ? "error" : "warning"},
            {"where", Cp1252ToUtf8(f.where)},
            {"field", Cp1252ToUtf8(f.field)},
            {"text", Cp1252ToUtf8(f.text)}};
  if (asEvent) j["event"] = "finding";
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string SiteResultJson(const SiteResult& site) {
  json j = SiteObject(site);
  j["event"] = "site";
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string RunSummaryJson(const RunSummary& summary) {
  json j = SummaryObject(summary);
  j["event"] = "summary";
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

void WriteRunJson(const std::string& path, const RunSummary& summary,
                  const std::vector<SiteResult>& sites) {
  json j = SummaryObject(summary);
  json list = json::array();
  for (const auto& s : sites) list.push_back(SiteObject(s));
  j["sites"] = list;
  WriteFileAtomic(path, j.dump(2, ' ', false, json::error_handler_t::replace) + "\n");
}

}  // namespace vendrix
