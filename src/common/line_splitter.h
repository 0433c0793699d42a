#pragma once
// Cuts bytes into lines at LF, fed in pieces of any size, with a bound on what one line costs:
// a line longer than the limit is handed on as soon as it passes the limit, cut and marked,
// and its rest is passed over without being kept. So neither a huge line nor an endless stream
// without a line end is ever held in memory, and a reader may refuse such a line at once.

#include <cstddef>
#include <string>
#include <string_view>

namespace brevane {

class line_splitter {
 public:
  explicit line_splitter(std::size_t limit) : limit_(limit) {}

  // Calls each(std::string_view text, bool too_long) for every line that data completes,
  // without its LF. A too-long line's text is its first limit + 1 bytes. Returns false as soon
  // as each does, and nothing more should be fed then.
  template <class Each>
  bool add(std::string_view data, Each&& each) {
    while (!data.empty()) {
      const std::size_t end = data.find('\n');
      const std::string_view piece = data.substr(0, end);
      if (!skipping_) {
        if (pending_.empty() && end != std::string_view::npos && piece.size() <= limit_) {
          // The common case: a whole line inside this piece, handed on without a copy.
          if (!each(piece, false)) return false;
          data.remove_prefix(end + 1);
          continue;
        }
        pending_.append(piece.substr(0, limit_ + 1 - pending_.size()));
        if (pending_.size() > limit_) {
          skipping_ = true;
          const bool go_on = each(std::string_view(pending_), true);
          pending_.clear();
          if (!go_on) return false;
        }
      }
      if (end == std::string_view::npos) return true;
      if (!skipping_) {
        const bool go_on = each(std::string_view(pending_), false);
        pending_.clear();
        if (!go_on) return false;
      }
      skipping_ = false;
      data.remove_prefix(end + 1);
    }
    return true;
  }

  // The last line when the bytes did not end with LF; false when each refuses it.
  template <class Each>
  bool finish(Each&& each) {
    const bool had_line = !pending_.empty();
    skipping_ = false;
    if (!had_line) return true;
    const bool go_on = each(std::string_view(pending_), false);
    pending_.clear();
    return go_on;
  }

 private:
  std::size_t limit_;
  std::string pending_;    // the start of a line that goes on in the next piece
  bool skipping_ = false;  // inside a too-long line that was already handed on
};

}  // namespace brevane
