#pragma once
// The units the Maps window shows: °F or °C, inches or millimetres. The readings are kept in
// °F and inches, as the record, the data log and the exports name them; only what is shown
// is converted.

#include <QString>

namespace brevane {

enum class temperature_unit { fahrenheit, celsius };
enum class distance_unit { inches, millimetres };

struct display_units {
  temperature_unit temperature = temperature_unit::fahrenheit;
  distance_unit distance = distance_unit::inches;
  friend bool operator==(const display_units&, const display_units&) = default;
};

inline constexpr double millimetres_per_inch = 25.4;

inline double shown_temperature(double fahrenheit, temperature_unit unit) {
  return unit == temperature_unit::celsius ? (fahrenheit - 32.0) * 5.0 / 9.0 : fahrenheit;
}
inline double recorded_temperature(double shown, temperature_unit unit) {
  return unit == temperature_unit::celsius ? shown * 9.0 / 5.0 + 32.0 : shown;
}
inline double shown_distance(double inches, distance_unit unit) {
  return unit == distance_unit::millimetres ? inches * millimetres_per_inch : inches;
}
inline double recorded_distance(double shown, distance_unit unit) {
  return unit == distance_unit::millimetres ? shown / millimetres_per_inch : shown;
}

inline QString unit_symbol(temperature_unit unit) {
  return unit == temperature_unit::celsius ? QStringLiteral("°C") : QStringLiteral("°F");
}
inline QString unit_symbol(distance_unit unit) {
  return unit == distance_unit::millimetres ? QStringLiteral("mm") : QStringLiteral("in");
}
inline QString unit_name(distance_unit unit) {
  return unit == distance_unit::millimetres ? QStringLiteral("millimetres")
                                            : QStringLiteral("inches");
}

}  // namespace brevane
