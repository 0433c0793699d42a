#pragma once
// Scan records whose every line is valid JSON of the right shape, with the numbers pushed to
// extremes: positions far off the head, cycles that leap, temperatures beyond any precision.
// What the reader keeps must be what a head can do, and the maps and their colour bars built
// from it must stay small and end. Used by the fuzz target and by its regression tests.
//
// The data is read a byte at a time: the first below 0xc0 gives the header the usual limits and
// steps, otherwise six more choose them; then each line is a byte choosing its type followed by
// a byte for each of its numbers.

#include <QDateTime>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "display/maps_scale.h"
#include "export/map_grids.h"
#include "logging/scan_record_reader.h"

namespace brevane::fuzzing {

class byte_source {
 public:
  explicit byte_source(std::span<const std::uint8_t> data) : data_(data) {}
  bool empty() const { return at_ >= data_.size(); }
  template <std::size_t n>
  std::string_view pick(const std::array<std::string_view, n>& table) {
    return table[empty() ? 0 : data_[at_++] % n];
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t at_ = 0;
};

inline constexpr std::array<std::string_view, 20> extreme_wholes = {
    "0",      "1",          "2",           "100",        "140",
    "150",    "200",        "255",         "256",        "-1",
    "100000", "2000000000", "-2000000000", "2147483647", "4503599627370496",
    "1e19",   "1.5",        "-0",          "1e300",      "10000000000000002048"};
inline constexpr std::array<std::string_view, 16> extreme_values = {"70.5",
                                                                    "null",
                                                                    "4503599627370496",
                                                                    "1e19",
                                                                    "10000000000000002048",
                                                                    "-1e300",
                                                                    "1e300",
                                                                    "5e-324",
                                                                    "-0",
                                                                    "1.7976931348623157e308",
                                                                    "9007199254740993",
                                                                    "0.1",
                                                                    "-273.15",
                                                                    "1e-300",
                                                                    "123456789.123456789",
                                                                    "0"};
inline constexpr std::array<std::string_view, 3> kinds = {"baseline", "row_start", "point"};

inline std::string record_from(std::span<const std::uint8_t> data) {
  const bool usual = data.empty() || data[0] < 0xc0;
  byte_source in(data.empty() ? data : data.subspan(1));
  std::string text =
      R"({"format":"brevane-scan","version":1,"start":"2026-12-06T05:04:10.000+01:00","settings":{)";
  if (usual) {
    text += R"("xmin":100,"xmax":255,"zmin":140,"zmax":200,"row_step":10,"point_step":10,)";
  } else {
    for (std::string_view key : {"xmin", "xmax", "zmin", "zmax", "row_step", "point_step"})
      text += "\"" + std::string(key) + "\":" + std::string(in.pick(extreme_wholes)) + ",";
  }
  text += R"("step":10,"gain":10,"echo_timeout_ms":3000},"type":"sweep"})"
          "\n";
  static constexpr std::array<std::string_view, 4> types = {"reading", "reading", "raster",
                                                            "pause"};
  while (!in.empty()) {
    const std::string_view type = in.pick(types);
    std::string line = "{\"type\":\"" + std::string(type) + "\"";
    if (type == "raster") {
      for (std::string_view key : {"xmin", "xmax", "zmin", "zmax", "row_step", "point_step"})
        line += ",\"" + std::string(key) + "\":" + std::string(in.pick(extreme_wholes));
    } else {
      if (type == "reading") line += ",\"kind\":\"" + std::string(in.pick(kinds)) + "\"";
      for (std::string_view key : {"cycle", "row", "point", "x", "z", "ms"})
        line += ",\"" + std::string(key) + "\":" + std::string(in.pick(extreme_wholes));
      line += R"(,"pass":"upward")";
      if (type == "reading") {
        line += ",\"temperature_f\":" + std::string(in.pick(extreme_values));
        line += ",\"distance_in\":" + std::string(in.pick(extreme_values));
      }
    }
    text += line + "}\n";
  }
  return text + R"({"type":"end","how":"completed","message":"","readings":1})" + "\n";
}

// A colour bar over the values must end with a handful of ticks, ascending.
inline std::string check_bar(std::optional<value_range> shown) {
  const value_range r = choose_range({}, shown);
  const auto ticks = nice_ticks(r.low, r.high);
  if (ticks.size() > 13) return "a colour bar of " + std::to_string(ticks.size()) + " ticks";
  if (!std::is_sorted(ticks.begin(), ticks.end())) return "a colour bar's ticks out of order";
  return {};
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_record_values(std::span<const std::uint8_t> data) {
  const std::string text = record_from(data);
  std::string refusal;
  const auto record = parse_scan_record(text, "values.jsonl", &refusal);
  if (!record) return {};  // a header no head could have written is refused whole
  int highest = 0;
  std::optional<value_range> temperatures, distances;
  const auto widen = [](std::optional<value_range>& r, std::optional<double> v) {
    if (!v) return;
    if (!r) r = value_range{*v, *v};
    r->low = std::min(r->low, *v);
    r->high = std::max(r->high, *v);
  };
  for (const recorded_reading& r : record->readings) {
    const reading_event& e = r.event;
    if (e.x < 0 || e.x > 255 || e.z < 0 || e.z > 255)
      return "a reading at X " + std::to_string(e.x) + ", Z " + std::to_string(e.z) + " was kept";
    if (e.cycle < 0 || e.cycle > highest + 1)
      return "cycle " + std::to_string(e.cycle) + " was kept after cycle " +
             std::to_string(highest);
    highest = std::max(highest, e.cycle);
    widen(temperatures, e.temperature_f);
    widen(distances, e.distance_in);
  }
  const map_grids grids = grids_from_record(*record);
  if (grids.cycles().size() > record->readings.size() || grids.x().size() > 256 ||
      grids.z().size() > 256)
    return "maps of " + std::to_string(grids.cycles().size()) + " cycles over " +
           std::to_string(grids.z().size()) + " by " + std::to_string(grids.x().size()) +
           " cells from " + std::to_string(record->readings.size()) + " readings";
  if (std::string failure = check_bar(temperatures); !failure.empty()) return failure;
  return check_bar(distances);
}

}  // namespace brevane::fuzzing
