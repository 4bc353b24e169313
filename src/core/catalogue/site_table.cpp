#include "catalogue/site_table.h"

#include <unordered_map>

#include "base/error.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_rows.h"
#include "catalogue/site_settings.h"

namespace vendrix {
namespace {

// The first six fields of a table line (missing ones empty, further ones ignored).
void SplitFields(std::string_view line, std::string_view (&fields)[6]) {
  std::size_t start = 0;
  for (auto& field : fields) {
    if (start > line.size()) break;
    auto pos = line.find(kSiteTableDelimiter, start);
    if (pos == std::string_view::npos) pos = line.size();
    field = line.substr(start, pos - start);
    start = pos + 1;
  }
}

// Calls each for every line of text, cut as SplitLines cuts them.
template <typename Each>
void ForEachLine(std::string_view text, Each&& each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    each(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) each(text.substr(start));
}

// Whether the table file's text is exactly what the rows would be saved as
// (JoinLines(SiteTableLines(rows))), compared without building that text.
bool StoredAsIs(const std::vector<AppSiteRow>& rows, std::string_view stored) {
  std::size_t pos = 0;
  auto take = [&](std::string_view part) {
    if (stored.compare(pos, part.size(), part) != 0) return false;
    pos += part.size();
    return true;
  };
  const std::string_view delimiter(&kSiteTableDelimiter, 1);
  for (const auto& r : rows) {
    if (!take(r.site)) return false;
    for (const std::string* f : {&r.submit, &r.cat1, &r.cat2, &r.lastPost, &r.post}) {
      if (!take(delimiter) || !take(*f)) return false;
    }
    if (!take("\r\n")) return false;
  }
  return pos == stored.size();
}

}  // namespace

bool SiteFitsApp(const AppSiteRow& row, std::string_view platform, std::string_view status) {
  std::string_view type = row.type;
  auto blank = type.find(' ');
  std::string_view kind = type.substr(0, blank);
  std::string_view systems =
      blank == std::string_view::npos ? std::string_view{} : type.substr(blank + 1, 10);
  if (systems != "16-32") {
    if (systems == "32" && platform == "Windows 3.1") return false;
    if (systems == "16" && platform != "Windows 3.1") return false;
  }
  if (kind == "Free" && status != "Freeware" && status != "Public Domain") return false;
  return true;
}

Lines SiteTableLines(const std::vector<AppSiteRow>& rows) {
  Lines lines;
  lines.reserve(rows.size());
  for (const auto& r : rows) {
    std::string line = r.site;
    for (const std::string* f : {&r.submit, &r.cat1, &r.cat2, &r.lastPost, &r.post}) {
      line += kSiteTableDelimiter;
      line += *f;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

PostCounts CountSitesToPost(const std::vector<AppSiteRow>& rows, std::string_view platform,
                            std::string_view status) {
  PostCounts c;
  for (const auto& r : rows) {
    if (r.post != "Y" || !SiteFitsApp(r, platform, status)) continue;
    ++c.total;
    (r.submit == "New" ? c.newCount : c.update)++;
    if (r.h == "Y") ++c.http;
    if (r.f == "Y") ++c.ftp;
    if (r.f == "Y" && r.z == "Y") ++c.ftpZip;
    if (r.e == "Y") ++c.email;
  }
  return c;
}

SiteTable::SiteTable(const SiteStore& store, MainFlags& flags, UserPrompt& prompt,
                     const Clock& clock, std::function<AppInfo()> appInfo)
    : store_(store), flags_(flags), prompt_(prompt), clock_(clock), appInfo_(std::move(appInfo)) {}

AppSiteRow* SiteTable::Current() {
  return selected_ >= 0 && selected_ < static_cast<int>(rows_.size()) ? &rows_[selected_] : nullptr;
}

void SiteTable::Build(const Lines& siteList, std::string_view app) {
  flags_.LoadingGrid = true;
  rows_.clear();
  selected_ = -1;
  details_.reset();
  // One row per name, however many times the list holds it.
  std::unordered_map<std::string_view, std::size_t> rowOf;
  rowOf.reserve(siteList.size());
  for (const auto& name : siteList) rowOf.try_emplace(name, 0);
  if (rowOf.size() == siteList.size()) {
    rows_ = ReadSiteRows(siteList, store_.Tree().SitesDir);
  } else {
    Lines unique;
    unique.reserve(rowOf.size());
    for (const auto& name : siteList) {
      if (rowOf.erase(name)) unique.push_back(name);
    }
    rows_ = ReadSiteRows(unique, store_.Tree().SitesDir);
  }
  rowOf.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) rowOf.emplace(rows_[i].site, i);
  unreadable_.clear();
  std::optional<std::string> stored;  // the table file as it is on disk
  if (!app.empty()) {
    try {
      stored = ReadWholeFile(store_.Tree().SiteTableFile(app));
    } catch (const std::exception& e) {
      // Shown without its marks, and never saved over: the file may still hold them.
      unreadable_ = std::string(e.what()) +
                    ". The sites are shown without their marks, and the site table is not "
                    "saved over while it cannot be read.";
      prompt_.Error(unreadable_);
    }
    // A table saved when a name had a row for each list that held it has a line for
    // each: the later one, the row of the user's own list, gives the marks.
    if (stored && !rows_.empty()) {
      ForEachLine(*stored, [&](std::string_view line) {
        std::string_view fields[6];
        SplitFields(line, fields);
        auto it = rowOf.find(fields[0]);
        if (it == rowOf.end()) return;
        AppSiteRow& row = rows_[it->second];
        row.submit = fields[1];
        if (row.cat1 != kNotApplicable && fields[2] != kNotApplicable) row.cat1 = fields[2];
        if (row.cat2 != kNotApplicable && fields[3] != kNotApplicable) row.cat2 = fields[3];
        row.lastPost = fields[4];
        row.post = fields[5];
      });
    }
  }
  AppInfo info = appInfo_();
  for (auto& row : rows_) {
    if (!SiteFitsApp(row, info.platform, info.status)) row.post = "N";
  }
  try {
    // A table that reads back as it is stored is not written again: opening an
    // application changes nothing on disk unless the table itself changed.
    if (stored && !rows_.empty() && StoredAsIs(rows_, *stored)) {
      flags_.SiteTableChanged = false;
    } else if (unreadable_.empty() && !flags_.ReadOnly) {
      Save(app);
    }
  } catch (const std::exception& e) {
    prompt_.Error(e.what());  // the rows stand; the next save tries again
  }
  if (!rows_.empty()) {
    selected_ = 0;
    ShowRowDetails();
  }
  flags_.LoadingGrid = false;
  Recount();
}

void SiteTable::Save(std::string_view app) {
  if (rows_.empty() || app.empty()) return;
  if (!unreadable_.empty()) throw VendrixError(unreadable_);
  SaveLines(store_.Tree().SiteTableFile(app), SiteTableLines(rows_));
  flags_.SiteTableChanged = false;
}

const PostCounts& SiteTable::Recount() {
  AppInfo info = appInfo_();
  counts_ = CountSitesToPost(rows_, info.platform, info.status);
  return counts_;
}

void SiteTable::Select(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  selected_ = row;
  if (!flags_.LoadingGrid) ShowRowDetails();
}

void SiteTable::SelectNext() {
  if (rows_.empty()) return;
  Select(selected_ + 1 >= static_cast<int>(rows_.size()) ? 0 : selected_ + 1);
}

void SiteTable::SelectPrev() {
  if (rows_.empty()) return;
  Select(selected_ <= 0 ? static_cast<int>(rows_.size()) - 1 : selected_ - 1);
}

std::optional<RowDetails> SiteTable::ShowRowDetails() {
  AppSiteRow* row = Current();
  if (!row) return std::nullopt;
  RowDetails d;
  d.submitNew = row->submit == "New";
  d.post = row->post == "Y";
  const std::string* cells[] = {&row->cat1, &row->cat2};
  CategoryChoice* choices[] = {&d.cat1, &d.cat2};
  for (int which = 1; which <= 2; ++which) {
    const std::string& cell = *cells[which - 1];
    CategoryChoice& choice = *choices[which - 1];
    // The panel shows the row's own value: a label the list does not hold (or "NOT
    // SET!") selects no entry, so what is shown is what a run sends.
    choice.value = cell;
    if (cell == kNotApplicable) continue;
    try {
      auto lines = LoadLines(store_.CategoryFile(row->site, which));
      if (!lines) continue;
      for (const auto& l : *lines) choice.items.push_back(CategoryLabel(l));
    } catch (...) {
      continue;  // an unreadable list leaves the selector disabled
    }
    for (std::size_t i = 0; i < choice.items.size(); ++i) {
      if (choice.items[i] == cell) {
        choice.index = static_cast<int>(i);
        break;
      }
    }
    choice.enabled = true;
  }
  details_ = d;
  return d;
}

void SiteTable::SetSubmit(bool isNew) {
  AppSiteRow* row = Current();
  if (!row) return;
  row->submit = isNew ? "New" : "Update";
  flags_.SiteTableChanged = true;
}

bool SiteTable::SetPost(bool ticked) {
  AppSiteRow* row = Current();
  if (!row) return false;
  if (ticked) {
    AppInfo info = appInfo_();
    if (!SiteFitsApp(*row, info.platform, info.status)) {
      prompt_.Error(
          "Cannot change post to yes. Applications \"Platform\" or \"Status\" is not compatible "
          "with engines settings!");
      Recount();
      return false;
    }
    row->post = "Y";
  } else {
    row->post = "N";
  }
  Recount();
  flags_.SiteTableChanged = true;
  return true;
}

std::optional<std::string> TableFieldRefusal(std::string_view what, std::string_view text) {
  if (text.find(kSiteTableDelimiter) == std::string_view::npos) return std::nullopt;
  return std::string(what) +
         " may not contain the character \xB1, which separates the fields "
         "of the site table.";
}

bool SiteTable::ChooseCategory(int which, int index) {
  AppSiteRow* row = Current();
  if (!row || !details_) return false;
  CategoryChoice& choice = which == 1 ? details_->cat1 : details_->cat2;
  if (!choice.enabled || index < 0 || index >= static_cast<int>(choice.items.size())) return false;
  if (auto why = TableFieldRefusal("A category label", choice.items[index])) {
    prompt_.Error(*why);
    return false;
  }
  choice.index = index;
  choice.value = choice.items[index];
  (which == 1 ? row->cat1 : row->cat2) = choice.items[index];
  flags_.SiteTableChanged = true;
  return true;
}

bool SiteTable::SetLastPost(std::string text) {
  AppSiteRow* row = Current();
  if (!row) return false;
  if (auto why = TableFieldRefusal("The Last Post text", text)) {
    prompt_.Error(*why);
    return false;
  }
  row->lastPost = std::move(text);
  flags_.SiteTableChanged = true;
  return true;
}

std::optional<std::string> SiteTable::GoToUrl() {
  AppSiteRow* row = Current();
  if (!row) return std::nullopt;
  std::string url =
      IniReadString(store_.SiteSettingsFile(row->site), kSiteSection, "SITES_WEB_URL", "");
  if (url.empty()) {
    prompt_.Inform("No URL defined for this site!");
    return std::nullopt;
  }
  return url;
}

bool SiteTable::ApplyToAll(AllRows what) {
  if (rows_.empty()) return false;
  static constexpr const char* kQuestions[] = {
      "change all to \"New\"?", "change all to \"Update\"?", "change all to \"Post\"?",
      "change all to \"No Post\"?"};
  if (prompt_.Confirm(std::string("Sure you want to ") + kQuestions[static_cast<int>(what)],
                      false) != Answer::Yes) {
    return false;
  }
  AppInfo info = appInfo_();
  for (auto& row : rows_) {
    switch (what) {
      case AllRows::ToNew:
        row.submit = "New";
        break;
      case AllRows::ToUpdate:
        row.submit = "Update";
        break;
      case AllRows::ToPost:
        if (SiteFitsApp(row, info.platform, info.status)) row.post = "Y";
        break;
      case AllRows::ToNoPost:
        row.post = "N";
        break;
    }
  }
  if (what == AllRows::ToPost || what == AllRows::ToNoPost) Recount();
  flags_.SiteTableChanged = true;
  return true;
}

PopupCaptions SiteTable::Captions() const {
  PopupCaptions c;
  if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) return c;
  const AppSiteRow& row = rows_[selected_];
  c.asPost = row.submit != "New" ? "Set as Post NEW" : "Set as Post UPDATE";
  c.toPost = row.post != "Y" ? "Set Post To YES" : "Set Post To NO";
  c.changePostDate =
      row.lastPost != "Unknown" ? "Set Last Post Date To Unknown" : "Set Last Post Date To NOW";
  return c;
}

void SiteTable::PopupAsPost() {
  AppSiteRow* row = Current();
  if (!row) return;
  SetSubmit(row->submit != "New");
}

void SiteTable::PopupToPost() {
  AppSiteRow* row = Current();
  if (!row) return;
  SetPost(row->post != "Y");
  flags_.SiteTableChanged = true;
  Recount();
}

void SiteTable::PopupChangePostDate() {
  AppSiteRow* row = Current();
  if (!row) return;
  row->lastPost = row->lastPost != "Unknown" ? "Unknown" : ShortDate(clock_.Now());
  flags_.SiteTableChanged = true;
}

}  // namespace vendrix
