#pragma once
// The Maps window's scales, free of widgets: where each cell lies along an axis, the
// palettes, the range a palette spans and the numbers on an axis or a colour bar.

#include <QRgb>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace brevane {

// One cell's extent along an axis, in head units: [low, high).
struct extent {
  double low = 0;
  double high = 0;
  bool empty() const { return !(low < high); }
  friend bool operator==(const extent&, const extent&) = default;
};

// Tiles an axis with one cell per visited coordinate (ascending, no repeats): neighbours meet
// half-way, the outermost reach half a step beyond their coordinate, and every extent is
// clipped to [limit_low, limit_high] (a coordinate outside the limits gets an empty one).
// The two run directions visit different columns, so the cells follow what was visited
// rather than a fixed grid: no gap, no overlap.
std::vector<extent> tile_axis(const std::vector<int>& coordinates, double step, double limit_low,
                              double limit_high);

// The smallest distance between neighbouring coordinates (ascending); 1 when there are fewer
// than two.
int step_between(const std::vector<int>& coordinates);

// diverging: blue through white to red, for values either side of zero.
enum class palette_kind { colour, grey, diverging };

// 256 colours from the lowest value to the highest.
const std::array<QRgb, 256>& palette(palette_kind kind);

struct value_range {
  double low = 0;
  double high = 1;
  friend bool operator==(const value_range&, const value_range&) = default;
};

// What the operator chose for one map: the range of the values shown, or two typed ends.
struct range_choice {
  bool automatic = true;
  double low = 0;
  double high = 1;
};

// The range a palette spans. shown: the lowest and highest value shown, none when nothing is.
// Reversed fixed ends are put in order; a range with no width is widened by half a unit
// either side, so one value paints mid-palette instead of dividing by zero.
value_range choose_range(const range_choice& choice, std::optional<value_range> shown);

// The palette entry for value; values beyond the range take the end colours.
int palette_index(double value, const value_range& range);

// Round values (1, 2 or 5 times a power of ten apart) inside [low, high], at most about
// `most` of them.
std::vector<double> nice_ticks(double low, double high, int most = 6);
// A tick's number with as many decimals as the spacing of the ticks needs.
QString tick_label(double value, double spacing);

}  // namespace brevane
