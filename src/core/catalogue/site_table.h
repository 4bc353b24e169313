#pragma once
// The application site table: one row per catalogue site for the shown application,
// its file ("<app>_SITES.dat", fields joined by the byte 0xB1), the fit rule, the
// count of sites to post and every edit the "Sites" page offers. Build and Save
// throw VendrixError when the table file cannot be written; unreadable category lists
// leave the panel as far as it got. Not thread-safe: the session's thread (a run
// reads the rows on its worker while the screens are locked).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "base/line_list.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "catalogue/site_store.h"

namespace vendrix {

struct AppSiteRow {
  std::string site;            // "Site" (the row caption)
  std::string type;            // "Free 32", "All 16-32", ...
  std::string submit = "New";  // "New" / "Update"
  std::string cat1, cat2;      // label, "NOT SET!" or "N/A"
  std::string h, f, z, e;      // "Y" / "N"
  std::string lastPost = "Unknown";
  std::string post = "Y";
};

inline constexpr char kSiteTableDelimiter = '\xB1';
inline constexpr const char* kNotSet = "NOT SET!";
inline constexpr const char* kNotApplicable = "N/A";

// The refusal text for a table field (what: "A category label") holding the
// delimiter, or nullopt.
std::optional<std::string> TableFieldRefusal(std::string_view what, std::string_view text);

// The compatibility rule of a row with the application's platform and status.
bool SiteFitsApp(const AppSiteRow& row, std::string_view platform, std::string_view status);

// The lines of the table file for the rows (fields joined by kSiteTableDelimiter).
Lines SiteTableLines(const std::vector<AppSiteRow>& rows);

struct PostCounts {
  int total = 0, newCount = 0, update = 0, http = 0, ftp = 0, ftpZip = 0, email = 0;
};
// Rows marked "Y" that fit, with the per-kind counts.
PostCounts CountSitesToPost(const std::vector<AppSiteRow>& rows, std::string_view platform,
                            std::string_view status);

struct CategoryChoice {
  Lines items;     // display texts of the category list
  int index = -1;  // the item equal to the row's value; -1 when none is
  bool enabled = false;
  std::string value;  // the row's value ("NOT SET!", a label the list lacks, ...)
};

// The detail panel of the selected row.
struct RowDetails {
  bool submitNew = true;
  CategoryChoice cat1, cat2;
  bool post = false;
};

struct PopupCaptions {
  std::string toPost, asPost, changePostDate;
};

class SiteTable {
 public:
  // appInfo gives the platform and status currently shown on the "App Info" page.
  struct AppInfo {
    std::string platform, status;
  };
  SiteTable(const SiteStore& store, MainFlags& flags, UserPrompt& prompt, const Clock& clock,
            std::function<AppInfo()> appInfo);

  const std::vector<AppSiteRow>& Rows() const { return rows_; }
  std::vector<AppSiteRow>& MutableRows() { return rows_; }
  int Selected() const { return selected_; }
  const PostCounts& Counts() const { return counts_; }

  // Rebuilds the rows for the application from the site list, merges its table
  // file, forces incompatible rows to "N" and saves the table.
  void Build(const Lines& siteList, std::string_view app);
  // Writes the rows to the application's table file (nothing when there are none).
  // Throws VendrixError when the table could not be read at the last Build: it is
  // never saved over then.
  void Save(std::string_view app);
  // Why the shown application's site table could not be read; empty when it could.
  const std::string& Unreadable() const { return unreadable_; }
  const PostCounts& Recount();

  void Select(int row);
  void SelectNext();  // after the last row, the first
  void SelectPrev();  // before the first row, the last
  std::optional<RowDetails> ShowRowDetails();

  // Edits of the selected row.
  void SetSubmit(bool isNew);
  // The post check box; false when refused because the site does not fit.
  bool SetPost(bool ticked);
  // A category from the selector; false (with a message) when its label holds the
  // table's delimiter 0xB1, which the file could not keep.
  bool ChooseCategory(int which, int index);
  // The Last Post cell set to a text (the command line); refused like a label.
  bool SetLastPost(std::string text);
  void CategoryClicked() { flags_.SiteTableChanged = true; }
  // The site's web address, or nullopt after "No URL defined for this site!".
  std::optional<std::string> GoToUrl();

  enum class AllRows { ToNew, ToUpdate, ToPost, ToNoPost };
  bool ApplyToAll(AllRows what);  // asks first; true when applied

  PopupCaptions Captions() const;
  void PopupAsPost();
  void PopupToPost();
  void PopupChangePostDate();

 private:
  AppSiteRow* Current();
  const SiteStore& store_;
  MainFlags& flags_;
  UserPrompt& prompt_;
  const Clock& clock_;
  std::function<AppInfo()> appInfo_;
  std::vector<AppSiteRow> rows_;
  int selected_ = -1;
  PostCounts counts_;
  std::optional<RowDetails> details_;
  std::string unreadable_;  // why the shown application's table could not be read
};

}  // namespace vendrix
