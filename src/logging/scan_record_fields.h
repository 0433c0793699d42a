#pragma once
// The words a scan record uses for kinds, passes and endings, shared by its writer and its
// reader so the two cannot drift apart.

#include <QLatin1StringView>
#include <array>
#include <optional>

#include "model/reading_stream.h"

namespace brevane::scan_record_fields {

inline constexpr const char* format_name = "brevane-scan";
inline constexpr int format_version = 1;

// Line types.
inline constexpr const char* type_sweep = "sweep";
inline constexpr const char* type_reading = "reading";
inline constexpr const char* type_baseline = "baseline";
inline constexpr const char* type_raster = "raster";
inline constexpr const char* type_end = "end";

inline const char* interruption_name(interruption what) {
  switch (what) {
    case interruption::paused:
      return "pause";
    case interruption::resumed:
      return "resume";
    case interruption::head_lost:
      return "head_lost";
    case interruption::head_back:
      return "head_back";
  }
  return "pause";
}

inline std::optional<interruption> interruption_from(QLatin1StringView s) {
  for (interruption i : {interruption::paused, interruption::resumed, interruption::head_lost,
                         interruption::head_back})
    if (s == QLatin1StringView(interruption_name(i))) return i;
  return std::nullopt;
}

// The settings line's check boxes, in the order of check_box.
inline constexpr std::array<const char*, 6> check_box_names = {"repeat",   "stop",  "sonic_off",
                                                               "temp_off", "x_off", "z_off"};

inline const char* kind_name(reading_kind k) {
  switch (k) {
    case reading_kind::baseline:
      return "baseline";
    case reading_kind::row_start:
      return "row_start";
    case reading_kind::point:
      return "point";
  }
  return "point";
}

inline std::optional<reading_kind> kind_from(QLatin1StringView s) {
  for (reading_kind k : {reading_kind::baseline, reading_kind::row_start, reading_kind::point})
    if (s == QLatin1StringView(kind_name(k))) return k;
  return std::nullopt;
}

// nullptr for the baseline, which belongs to no pass.
inline const char* pass_name(pass_direction p) {
  switch (p) {
    case pass_direction::upward:
      return "upward";
    case pass_direction::downward:
      return "downward";
    case pass_direction::none:
      break;
  }
  return nullptr;
}

inline const char* end_name(sweep_end how) {
  switch (how) {
    case sweep_end::completed:
      return "completed";
    case sweep_end::stopped:
      return "stopped";
    case sweep_end::cancelled:
      return "cancelled";
    case sweep_end::echo_timeout:
      return "echo timeout";
    case sweep_end::head_unplugged:
      return "head unplugged";
    case sweep_end::error:
      return "error";
    case sweep_end::stopped_by_signal:
      return "stopped by signal";
  }
  return "error";
}

inline std::optional<sweep_end> end_from(QLatin1StringView s) {
  for (sweep_end e :
       {sweep_end::completed, sweep_end::stopped, sweep_end::cancelled, sweep_end::echo_timeout,
        sweep_end::head_unplugged, sweep_end::error, sweep_end::stopped_by_signal})
    if (s == QLatin1StringView(end_name(e))) return e;
  return std::nullopt;
}

}  // namespace brevane::scan_record_fields
