#pragma once
// The site catalogue's lists: the catalogue's own sites ("Sites.dat"), the user's
// sites ("User_Sites.dat") and their combined, sorted SiteList with its selection.
// Entries of the files that cannot be used (blank, or unfit for file names) are kept
// aside and written back as they were read. Plain data.
#include "base/line_list.h"

namespace vendrix {

struct SiteLists {
  Lines CatalogueSites;
  Lines UserSites;
  Lines SiteList;     // both lists, sorted without regard to case; each name once
  int selected = -1;  // index into SiteList, -1 for none
  // The unusable entries of each file, kept for the next save.
  Lines CatalogueSkipped;
  Lines UserSkipped;

  const std::string* Selected() const {
    return selected >= 0 && selected < static_cast<int>(SiteList.size()) ? &SiteList[selected]
                                                                         : nullptr;
  }
};

}  // namespace vendrix
