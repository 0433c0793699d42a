#include "ui/window_fit.h"

#include <algorithm>

namespace brevane {

QRect fit_on_screen(const QRect& wanted, const QRect& available, const QMargins& frame,
                    const QSize& minimum) {
  const QRect room = available.marginsRemoved(frame);
  const int w = std::max(minimum.width(), std::min(wanted.width(), room.width()));
  const int h = std::max(minimum.height(), std::min(wanted.height(), room.height()));
  // Into the room; a window larger than it keeps its top left corner in view.
  const int x = std::max(room.left(), std::min(wanted.left(), room.left() + room.width() - w));
  const int y = std::max(room.top(), std::min(wanted.top(), room.top() + room.height() - h));
  return {x, y, w, h};
}

}  // namespace brevane
