#pragma once
// How main() set up this run: whether the tests expect plug events from a udev monitor, and
// why that could not be arranged.

#include <string>

namespace brevane::testing {

inline bool udev_requested = false;
inline std::string udev_unavailable;

}  // namespace brevane::testing
