#pragma once
// How the data-file update shows its progress: the status line, the percentage
// display, the progress bar and the hidden trace list. Calls come on the thread that
// runs the update (a worker thread in the GUI, which forwards them to its window).
#include <string>

namespace vendrix {

class UpdateObserver {
 public:
  virtual ~UpdateObserver() = default;
  virtual void Status(const std::string& text) = 0;
  // 0 to 100; the display shows nothing for 0.
  virtual void Percent(int percent) = 0;
  virtual void Bar(long long minimum, long long maximum, long long position) = 0;
  // A trace line, added at the end or replacing the last one.
  virtual void Trace(const std::string& line, bool replaceLast) = 0;
};

}  // namespace vendrix
