#pragma once
// What every start does before it reads the data tree: an update of the site
// catalogue that a kill interrupted is finished (its journal was written) or undone
// (it was not), and the hidden staging files of interrupted writes are deleted.
// Call it while this process alone writes the data tree, before MakeDataTree. Never
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
