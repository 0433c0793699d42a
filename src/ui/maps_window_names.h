#pragma once
// The Maps window's fixed texts and the keys of what it remembers between runs.

namespace brevane::maps_window_names {

inline constexpr const char* live_caption = "Brevane Maps";
inline constexpr const char* off_cells_hint = "Point at a cell to read it.";
// Repaints follow the readings at most this often: 30 a second.
inline constexpr int repaint_interval_ms = 33;
inline constexpr const char* geometry_key = "maps_window/geometry";
inline constexpr const char* temperature_key = "maps_window/temperature_unit";  // "F" or "C"
inline constexpr const char* distance_key = "maps_window/distance_unit";        // "in" or "mm"
inline constexpr const char* shape_key = "maps_window/shape";                   // "equal", "fill"

}  // namespace brevane::maps_window_names
