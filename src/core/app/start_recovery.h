#pragma once
// What every start does before it reads the data tree: an update of the site
// catalogue that a kill interrupted is finished (its journal was written) or undone
// (it was not), and the hidden staging files of interrupted writes are deleted.
// It runs only while no other process holds the data tree's writer lock (this one
// may hold it), and before MakeDataTree. Never
// throws: what it did, and what it could not do, come back as lines for the person.
#include <string>
#include <vector>

namespace vendrix {

class DataTree;

struct StartRecovery {
  std::vector<std::string> done;    // to tell the person
  std::vector<std::string> failed;  // to show as errors
};

StartRecovery RecoverDataTree(const DataTree& tree);

}  // namespace vendrix
