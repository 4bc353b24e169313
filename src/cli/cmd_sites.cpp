// vendrix-cli site ... and table ...
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "base/error.h"
#include "base/line_list.h"
#include "catalogue/site_settings.h"
#include "cli.h"
#include "script/eng_build.h"

namespace vendrix::cli {
namespace {

void OpenNamedSite(Context& c, const std::string& name) {
  if (!c.session.Builder().OpenSite(name)) throw VendrixError("No site named " + name);
}

void PrintSite(Context& c) {
  const SiteDefinition& def = c.session.Builder().Definition();
  IniDocument doc;
  WriteSiteSettings(doc, def, c.session.Wide().MatchUpValues);
  for (auto key : kSiteSettingKeys) {
    std::string value = doc.ReadString(kSiteSection, key, "");
    if (std::string_view(key) == "LOGIN_PASSWORD" && !value.empty()) value = "****";
    Out(std::string(key) + "=" + value);
  }
  for (const auto& l : def.cat1) Out("CAT1=" + l);
  for (const auto& l : def.cat2) Out("CAT2=" + l);
  for (ScriptKind k : kScriptKinds) {
    Out("SCRIPT " + std::string(ScriptTag(k)) + ": " +
        std::to_string(SplitLines(def.Script(k)).size()) + " lines");
  }
}

void SetSiteKeys(Context& c, const std::vector<std::string>& words) {
  SiteBuilder& builder = c.session.Builder();
  MatchUps& matchUps = c.session.Wide().MatchUpValues;
  SiteDefinition def = builder.Definition();
  IniDocument doc;
  WriteSiteSettings(doc, def, matchUps);
  for (const auto& word : words) {
    auto [key, value] = KeyValue(word);
    if (key == "CAT1" || key == "CAT2") {
      (key == "CAT1" ? def.cat1 : def.cat2) = SplitLines(value);
      continue;
    }
    if (std::find(kSiteSettingKeys.begin(), kSiteSettingKeys.end(), key) ==
        kSiteSettingKeys.end()) {
      throw UsageError("unknown site key " + key);
    }
    if (auto why = CheckIniValue(key, value)) throw VendrixError(*why);
    doc.WriteString(kSiteSection, key, value);
  }
  ReadSiteSettings(doc, def, matchUps);
  builder.EditAll(def);
  builder.SaveSite();
}

int SiteScript(Context& c, const std::string& name) {
  std::string tag = c.args.Next("script kind");
  ScriptKind kind;
  if (!ScriptKindFromTag(tag, kind)) throw UsageError("unknown script kind " + tag);
  auto from = c.args.Option("--from");
  OpenNamedSite(c, name);
  SiteBuilder& builder = c.session.Builder();
  if (!from) {
    std::string text = builder.Definition().Script(kind);
    for (const auto& l : SplitLines(text)) Out(l);
    return kExitOk;
  }
  std::string text = NormaliseLineEnds(ReadArgFile(*from));
  if (text.empty()) throw VendrixError("An empty script is not saved; the old one stays.");
  builder.Edit().Script(kind) = text;
  builder.SaveSite();
  return kExitOk;
}

AppSiteRow& FindRow(Context& c, const std::string& site) {
  SiteTable& table = c.session.Table();
  auto& rows = table.MutableRows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].site == site) {
      table.Select(static_cast<int>(i));
      return rows[i];
    }
  }
  throw VendrixError("No row for the site " + site);
}

}  // namespace

int SiteCommand(Context& c) {
  std::string verb = c.args.Next("site action");
  SiteBuilder& builder = c.session.Builder();
  if (verb == "list") {
    for (const auto& n : builder.Lists().SiteList) Out(n);
    // A first start: say where sites come from (on stderr, so that lists stay lists).
    const std::string& share = c.session.Wide().ShareDir;
    if (builder.Lists().SiteList.empty() && ::isatty(2) == 1) {
      std::cerr << "No download sites yet: \"site new NAME\" builds one, \"update\" fetches a "
                   "catalogue (the UpdateURL setting)"
                << (share.empty() ? std::string(".\n")
                                  : ", \"update --file " + share +
                                        "starter/vxsites.zip\" takes the example sites.\n");
    }
    return kExitOk;
  }
  std::string name = c.args.Next("site name");
  if (verb == "new") {
    c.prompt.QueueName(name);
    return builder.NewSite() ? kExitOk : kExitRefused;
  }
  if (verb == "script") return SiteScript(c, name);
  OpenNamedSite(c, name);
  if (verb == "contribute") return ContributeCommand(c, name);
  if (verb == "show") {
    PrintSite(c);
    return kExitOk;
  }
  if (verb == "delete") {
    builder.DeleteSite();
    return kExitOk;
  }
  if (verb == "set") {
    SetSiteKeys(c, c.args.Rest());
    return kExitOk;
  }
  throw UsageError("unknown site action " + verb);
}

int TableCommand(Context& c) {
  std::string verb = c.args.Next("table action");
  auto appName = c.args.Option("--app");
  if (!appName) throw UsageError("table needs --app");
  SelectCompany(c, appName);
  c.session.ShowStep(*appName);
  SelectApp(c, appName);
  SiteTable& table = c.session.Table();
  if (verb == "show") {
    // One text, written at once: a catalogue of thousands of sites prints in one go.
    std::string text;
    text.reserve(table.Rows().size() * 96);
    for (const auto& r : table.Rows()) {
      for (const std::string* f :
           {&r.site, &r.type, &r.submit, &r.cat1, &r.cat2, &r.h, &r.f, &r.z, &r.e, &r.lastPost}) {
        text += *f;
        text += '\t';
      }
      text += r.post;
      text += '\n';
    }
    OutText(text);
    return kExitOk;
  }
  if (verb != "set") throw UsageError("unknown table action " + verb);
  auto site = c.args.Option("--site");
  if (!site) throw UsageError("table set needs --site");
  FindRow(c, *site);  // selects the row the edits below apply to
  for (const auto& word : c.args.Rest()) {
    auto [key, value] = KeyValue(word);
    if (key == "submit") {
      if (value != "New" && value != "Update") throw UsageError("submit is New or Update");
      table.SetSubmit(value == "New");
    } else if (key == "post") {
      if (value != "Y" && value != "N") throw UsageError("post is Y or N");
      if (!table.SetPost(value == "Y")) return kExitRefused;
    } else if (key == "cat1" || key == "cat2") {
      int which = key == "cat1" ? 1 : 2;
      auto details = table.ShowRowDetails();
      const CategoryChoice& choice = which == 1 ? details->cat1 : details->cat2;
      if (!choice.enabled) throw VendrixError("The site " + *site + " has no such category list.");
      auto it = std::find(choice.items.begin(), choice.items.end(), value);
      if (it == choice.items.end()) throw VendrixError("No category \"" + value + "\" at " + *site);
      if (!table.ChooseCategory(which, static_cast<int>(it - choice.items.begin()))) {
        return kExitRefused;
      }
    } else if (key == "lastpost") {
      if (!table.SetLastPost(value)) return kExitRefused;
    } else {
      throw UsageError("unknown table key " + key);
    }
  }
  table.Save(c.session.App().Shown());
  return kExitOk;
}

}  // namespace vendrix::cli
