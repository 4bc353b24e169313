#pragma once
// The columns of an application's site table, as the Sites page shows them, with what
// each means. The page's headers and their hints, the manual's table of columns and
// its check all come from this one list. Constant data: any thread.
#include <cstddef>

namespace vendrix {

struct SiteColumn {
  const char* name;
  const char* meaning;
};

inline constexpr SiteColumn kSiteColumns[] = {
    {"Site", "the site's name"},
    {"Type",
     "what the site takes: \"Free\" (freeware only) or \"All\", then the systems (\"32\", "
     "\"16\" or \"16-32\"); a site whose type does not fit the application is never posted"},
    {"Submit", "\"New\" for a first submission, \"Update\" for a new version"},
    {"Category1",
     "the site's first category for the application (\"NOT SET!\" until chosen, "
     "\"N/A\" when the site has no such list)"},
    {"Category2", "the second category, the same way"},
    {"H", "\"Y\" when the site takes a web form (HTTP)"},
    {"F", "\"Y\" when the site takes an FTP upload"},
    {"Z", "\"Y\" when the FTP upload is zipped first"},
    {"E", "\"Y\" when the site takes an e-mail"},
    {"Last Post", "the date of the last successful post, or \"Unknown\""},
    {"P", "\"Y\": the next run posts to this site"},
    {"Sent", "the version this site last got (empty when it never got one)"},
};
inline constexpr std::size_t kSiteColumnCount = sizeof kSiteColumns / sizeof kSiteColumns[0];

}  // namespace vendrix
