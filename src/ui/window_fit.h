#pragma once
// Keeping a window on the screen it is on, as pure geometry: a window restored from another
// screen, or sized for a larger one, or opened at a high scale factor, fits the screen's free
// area with its frame and stays inside it.

#include <QMargins>
#include <QRect>
#include <QSize>

namespace brevane {

// The window's inner geometry: wanted, made no larger than available less frame (nor smaller
// than minimum) and moved so that it and its frame lie inside available.
QRect fit_on_screen(const QRect& wanted, const QRect& available, const QMargins& frame,
                    const QSize& minimum);

}  // namespace brevane
