#pragma once
// The layout names of the controls behind the panel's check boxes, scroll bars, text boxes and
// pictures, in the order of their enums, and of the buttons that start device operations.

#include <array>

namespace brevane::window_names {

inline constexpr std::array<const char*, 6> check_box_names{"repeat",  "estop", "sonicoff",
                                                            "tempoff", "xoff",  "zoff"};
inline constexpr std::array<const char*, 5> scroll_bar_names{"xmin", "xmax", "zmin", "zmax",
                                                             "gain"};
inline constexpr std::array<const char*, 11> text_box_names{"xmind", "xmaxd", "zmind", "zmaxd",
                                                            "gaind", "mintd", "maxtd", "Text16",
                                                            "dmind", "dmaxd", "Text7"};
inline constexpr std::array<const char*, 3> picture_names{"SCOPE", "Picture1", "Picture2"};
inline constexpr std::array<const char*, 9> device_button_names{
    "readt",    "Command10", "Command11", "Command26", "Command1",
    "arrow(0)", "arrow(1)",  "arrow(2)",  "arrow(3)"};

}  // namespace brevane::window_names
