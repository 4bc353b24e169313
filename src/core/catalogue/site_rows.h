#pragma once
// The rows of the site table as the catalogue's settings files give them: for each
// listed site whose "<site>.ini" can be read, its name, type, category columns and
// the H/F/Z/E columns (the marks of the application's table are merged later, by
// SiteTable). Only the keys the table shows are read, straight from each file's text.
// A large catalogue is read by a few threads at once, each with its own buffer; the
// rows come back in the order of the list all the same. A file that cannot be read (a
// folder in its place) gives no row, like a missing one. Throws only what memory
// allocation throws. Any thread.
#include <string>
#include <vector>

#include "base/line_list.h"
#include "catalogue/site_table.h"

namespace vendrix {

// sitesDir: the sites folder (ending in "/"); siteList: the names (Windows-1252).
std::vector<AppSiteRow> ReadSiteRows(const Lines& siteList, const std::string& sitesDir);

}  // namespace vendrix
