#pragma once
// The Maps window's alarms: "Pause when temperature is above … °F" and "Pause when the
// distance is below … in", a box and a value each, off until ticked. The sweep's own alarms are
// the setting; these controls show it and change it, as the remote commands do.

#include <QWidget>

#include "display/maps_units.h"
#include "scan/sweep_alarm.h"

class QCheckBox;
class QDoubleSpinBox;

namespace brevane {

class maps_alarms : public QWidget {
  Q_OBJECT

 public:
  explicit maps_alarms(QWidget* parent = nullptr);

  alarm_settings settings() const;
  // Shows settings made elsewhere (a remote client) without announcing them back; a threshold
  // that is off leaves its value as it was.
  void show_settings(const alarm_settings& settings);
  // Takes the last run's alarms and remembers every change from now on.
  void restore_and_remember();
  // The values are shown in the Maps window's units; the setting stays in °F and inches.
  void set_units(const display_units& units);

 signals:
  // The operator ticked a box or changed a ticked value.
  void changed(const brevane::alarm_settings& settings);

 private:
  void remember() const;
  double temperature_f() const;
  double distance_in() const;
  void show_temperature(double fahrenheit);
  void show_distance(double inches);

  QCheckBox* temperature_on_ = nullptr;
  QDoubleSpinBox* temperature_ = nullptr;
  QCheckBox* distance_on_ = nullptr;
  QDoubleSpinBox* distance_ = nullptr;
  bool remembered_ = false;
  display_units units_;
};

}  // namespace brevane
