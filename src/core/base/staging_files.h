#pragma once
// The hidden files a write leaves beside its target until the rename that finishes
// it: ".NAME.XXXXXX" (WriteFileAtomic) and ".vendrix-*.part" (a file being unpacked).
// A process killed between the two leaves one behind; every start sweeps them while
// it alone owns the data tree. Any thread.
#include <string>
#include <string_view>

namespace vendrix {

// Whether a folder entry's name is one of the staging names above.
bool IsStagingName(std::string_view name);

// Deletes the plain files directly in dir whose names are staging names (links and
// folders are left alone); with target, only the staging files of that one file
// (for folders that hold more than the program's files). Returns how many went; a
// folder that cannot be read counts as none.
int SweepStagingFiles(const std::string& dir, std::string_view target = {});

// Whether SweepStagingFiles would find anything to delete there. Only looks.
bool HasStagingFiles(const std::string& dir, std::string_view target = {});

}  // namespace vendrix
