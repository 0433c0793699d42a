#pragma once
// How a report's data, as a HID read returns it (without a report id), lands in the input
// buffer: report id 0 in byte 0, the data from byte 1. Shorter data leaves the rest zero,
// longer data is cut, so the echo is always at byte 3 and nothing is written past the end.

#include <algorithm>
#include <cstdint>
#include <span>

namespace brevane::device {

inline void store_report_data(std::span<const std::uint8_t> data, std::span<std::uint8_t> buffer) {
  if (buffer.empty()) return;
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  const std::size_t n = std::min(data.size(), buffer.size() - 1);
  std::copy_n(data.begin(), n, buffer.begin() + 1);
}

}  // namespace brevane::device
