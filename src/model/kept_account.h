#pragma once
// What a log or a record could not keep. Each writer holds one; a headless job reads them at
// its end, and its exit status says whether everything it was asked for reached the disk.

#include <functional>
#include <string>
#include <utility>

namespace brevane {

class kept_account {
 public:
  // Told once, at the first loss: a headless job puts it on stderr.
  std::function<void(const std::string& message)> on_first_loss;

  // count lines, files or readings did not reach the disk (0: something else went wrong, such
  // as a failed close); message says why, in full words.
  void lost(long count, const std::string& message) {
    lost_ += count;
    if (!first_.empty()) return;
    first_ = message.empty() ? std::string("a write failed") : message;
    if (on_first_loss) on_first_loss(first_);
  }
  bool all_kept() const { return first_.empty(); }
  long count() const { return lost_; }

 private:
  long lost_ = 0;
  std::string first_;
};

}  // namespace brevane
