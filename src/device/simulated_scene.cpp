#include "device/simulated_scene.h"

#include <cmath>

namespace brevane::device::scene {

namespace {

// The scene: a cool wall behind a warm elliptic object inside the painted scan area
// (X 100..240, Z 140..200), so both maps show it, and clear of Home (170, 170) with its
// fringe, so a baseline taken at Home reads the room as it would on a real bench. The
// values sit mid-way between whole units, so the +-1 count noise never changes the rounded
// reading the program shows.
constexpr double object_x = 210.0;
constexpr double object_z = 172.0;
constexpr double object_half_width = 28.0;   // along X
constexpr double object_half_height = 18.0;  // along Z
constexpr double object_temperature_f = 95.0;
constexpr double object_distance_in = 39.0;
// Just above a whole degree, so noisy wall readings never fall below the baseline
// taken on the wall, and the wall paints evenly dark.
constexpr double wall_temperature_f = 70.2;
constexpr double wall_distance_in = 120.0;
// Thermal blur: the object's warmth fades out over this much of its radius beyond the rim.
constexpr double thermal_fringe = 0.3;

constexpr double counts_per_degree_f = 1.0 / 0.168;
constexpr double counts_per_inch = 2.54;

// 1 on the object's rim, less inside, more outside.
double object_radius(int x, int z) {
  const double dx = (x - object_x) / object_half_width;
  const double dz = (z - object_z) / object_half_height;
  return std::sqrt(dx * dx + dz * dz);
}

int to_raw(double value) {
  return static_cast<int>(std::lround(value));
}

}  // namespace

double temperature_f(int x, int z) {
  const double r = object_radius(x, z);
  if (r <= 1.0) return object_temperature_f;
  if (r >= 1.0 + thermal_fringe) return wall_temperature_f;
  const double warmth = 1.0 - (r - 1.0) / thermal_fringe;
  return wall_temperature_f + warmth * (object_temperature_f - wall_temperature_f);
}

double distance_in(int x, int z) {
  // The sonic echo comes from the nearest surface; the object's rim is sharp.
  return object_radius(x, z) <= 1.0 ? object_distance_in : wall_distance_in;
}

int temperature_raw(int x, int z) {
  return to_raw(temperature_f(x, z) * counts_per_degree_f);
}

int distance_raw(int x, int z) {
  return to_raw(distance_in(x, z) * counts_per_inch);
}

}  // namespace brevane::device::scene
