#pragma once
// What every start does before it reads the data tree: an update of the site
// catalogue that a kill interrupted is finished (its journal was written) or undone
// (it was not), and the hidden staging files of interrupted writes are deleted.
// Leftover update archives are removed. A start that finds nothing of this leaves the
// lock alone; otherwise the repair runs only while no other process holds the data
// tree (TreeLock::RepairUnder), and before MakeDataTree. Never
// throws: what it did, and what it could not do, come back as lines for the person.
#include <string>
#include <vector>

namespace vendrix {

class DataTree;

struct StartRecovery {
  std::vector<std::string> done;    // to tell the person
  std::vector<std::string> failed;  // to show as errors
};

// With catalogueLater, the staging files of the catalogue's folders ("sites/", its
// updates folder and "cat/", each of which may hold tens of thousands of files) are
// left for SweepCatalogueStaging, so that a window can appear first. They are never
// read as part of the catalogue, so the catalogue may be read before they go.
StartRecovery RecoverDataTree(const DataTree& tree, bool catalogueLater = false);
// The sweep RecoverDataTree left for later; under the same conditions.
void SweepCatalogueStaging(const DataTree& tree);

}  // namespace vendrix
