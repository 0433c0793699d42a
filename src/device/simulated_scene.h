#pragma once
// What the simulated head sees: a cool wall behind a warm object that is nearer the head,
// inside the scan limits and away from Home, so both maps show the object.

namespace brevane::device::scene {

// The true readings at a head position, without noise.
double temperature_f(int x, int z);
double distance_in(int x, int z);
// The raw counts the head reports there, before noise.
int temperature_raw(int x, int z);
int distance_raw(int x, int z);

}  // namespace brevane::device::scene
