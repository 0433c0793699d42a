#include "ui/window_fit.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(WindowFit, AWindowKeepsToTheScreenItIsOn) {
  const QMargins frame(4, 30, 4, 4);
  const QSize minimum(600, 400);
  const struct {
    const char* what;
    QRect wanted, available, fitted;
  } rows[] = {
      // A 1600 x 1000 screen at QT_SCALE_FACTOR=2 is 800 x 500 to the window.
      {"scaled twice", {100, 100, 1040, 600}, {0, 0, 800, 500}, {4, 30, 792, 466}},
      {"restored from a screen to the right",
       {2000, 100, 900, 600},
       {0, 0, 1600, 1000},
       {696, 100, 900, 600}},
      {"above the panel", {200, -50, 900, 600}, {0, 24, 1600, 976}, {200, 54, 900, 600}},
      {"already in place", {100, 100, 1040, 600}, {0, 0, 1920, 1080}, {100, 100, 1040, 600}},
      {"a screen smaller than the window can be",
       {50, 50, 1040, 600},
       {0, 0, 480, 320},
       {4, 30, 600, 400}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(fit_on_screen(r.wanted, r.available, frame, minimum), r.fitted) << r.what;
}

}  // namespace
}  // namespace brevane
