#pragma once
// The order of the program's sorted lists: by Windows-1252 byte without regard to
// the case of any of its letters ("\xC9" and "\xE9" alike), stable for names that
// differ only in case. Site order is run order, so this decides which site is posted
// first. Pure functions: any thread.
#include <string_view>

#include "base/line_list.h"

namespace vendrix {

bool LessNoCase(std::string_view a, std::string_view b);
void SortNoCase(Lines& names);
// Inserts name after every entry that does not sort after it; returns its index.
std::size_t InsertSorted(Lines& names, std::string name);
// Index of the first entry equal to name (exact), or -1.
int IndexOf(const Lines& names, std::string_view name);

}  // namespace vendrix
