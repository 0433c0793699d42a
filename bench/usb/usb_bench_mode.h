#pragma once
// Why this run could not watch a udev monitor, or "" when it does.

#include <string>

namespace brevane::bench {

inline std::string udev_unavailable;

}  // namespace brevane::bench
