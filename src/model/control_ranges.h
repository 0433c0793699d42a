#pragma once
// The ranges and start values of the controls that set a sweep: the four limit scroll bars,
// the gain and the six step choices. The window's layout and the plan's validation both read
// them here, so a plan can ask for nothing the window cannot show.

#include <array>

namespace brevane {

struct control_range {
  int low;
  int high;
  int start;
  constexpr bool contains(int v) const { return v >= low && v <= high; }
};

// The limit ranges never overlap, so every pass and every X run has at least one point.
inline constexpr control_range xmin_range{100, 140, 100};
inline constexpr control_range xmax_range{180, 255, 255};
inline constexpr control_range zmin_range{120, 160, 140};
inline constexpr control_range zmax_range{170, 200, 200};
inline constexpr control_range gain_range{1, 40, 10};

// The step option buttons, "Step 1" to "Step 20"; "Step 10" is chosen at start.
inline constexpr std::array<int, 6> step_choices = {1, 2, 3, 5, 10, 20};
inline constexpr int start_step_index = 4;

// The index of a step among the choices, or -1.
constexpr int step_index(int step) {
  for (int i = 0; i < static_cast<int>(step_choices.size()); ++i)
    if (step_choices[static_cast<std::size_t>(i)] == step) return i;
  return -1;
}

}  // namespace brevane
