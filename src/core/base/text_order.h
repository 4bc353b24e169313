#pragma once
// The order of the program's sorted lists: alphabetical without regard to case,
// stable for names that differ only in case.
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
