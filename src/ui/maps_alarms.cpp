#include "ui/maps_alarms.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QSettings>
#include <QSignalBlocker>

namespace brevane {

namespace {

// What the window remembers between runs: each box, and each value even while its box is off.
constexpr const char* temperature_on_key = "maps_window/alarm_temperature_on";
constexpr const char* temperature_key = "maps_window/alarm_temperature_f";
constexpr const char* distance_on_key = "maps_window/alarm_distance_on";
constexpr const char* distance_key = "maps_window/alarm_distance_in";

QDoubleSpinBox* threshold_field(QWidget* parent, const char* name, const QString& unit, double top,
                                double value) {
  auto* field = new QDoubleSpinBox(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setRange(0.0, top);
  field->setDecimals(1);
  field->setSuffix(QLatin1Char(' ') + unit);
  field->setValue(value);
  field->setKeyboardTracking(false);
  return field;
}

}  // namespace

maps_alarms::maps_alarms(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("alarms"));
  temperature_on_ = new QCheckBox(QStringLiteral("Pause when temperature is &above"), this);
  temperature_on_->setObjectName(QStringLiteral("alarm_temperature_on"));
  temperature_ = threshold_field(this, "alarm_temperature", QStringLiteral("°F"),
                                 max_alarm_temperature_f, 100.0);
  distance_on_ = new QCheckBox(QStringLiteral("Pause when the distance is &below"), this);
  distance_on_->setObjectName(QStringLiteral("alarm_distance_on"));
  distance_ =
      threshold_field(this, "alarm_distance", QStringLiteral("in"), max_alarm_distance_in, 12.0);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  for (QWidget* w : {static_cast<QWidget*>(temperature_on_), static_cast<QWidget*>(temperature_),
                     static_cast<QWidget*>(distance_on_), static_cast<QWidget*>(distance_)})
    row->addWidget(w);
  row->addStretch();

  const auto announce = [this] {
    remember();
    emit changed(settings());
  };
  connect(temperature_on_, &QCheckBox::toggled, this, announce);
  connect(distance_on_, &QCheckBox::toggled, this, announce);
  // A value that is off changes nothing the sweep watches, but is remembered.
  connect(temperature_, &QDoubleSpinBox::valueChanged, this,
          [this, announce] { temperature_on_->isChecked() ? announce() : remember(); });
  connect(distance_, &QDoubleSpinBox::valueChanged, this,
          [this, announce] { distance_on_->isChecked() ? announce() : remember(); });
}

double maps_alarms::temperature_f() const {
  return recorded_temperature(temperature_->value(), units_.temperature);
}

double maps_alarms::distance_in() const {
  return recorded_distance(distance_->value(), units_.distance);
}

void maps_alarms::show_temperature(double fahrenheit) {
  temperature_->setValue(shown_temperature(fahrenheit, units_.temperature));
}

void maps_alarms::show_distance(double inches) {
  distance_->setValue(shown_distance(inches, units_.distance));
}

void maps_alarms::set_units(const display_units& units) {
  const QSignalBlocker quiet_t(temperature_), quiet_d(distance_);
  const double t = temperature_f();
  const double d = distance_in();
  units_ = units;
  temperature_->setRange(shown_temperature(0.0, units.temperature),
                         shown_temperature(max_alarm_temperature_f, units.temperature));
  temperature_->setSuffix(QLatin1Char(' ') + unit_symbol(units.temperature));
  distance_->setRange(0.0, shown_distance(max_alarm_distance_in, units.distance));
  distance_->setSuffix(QLatin1Char(' ') + unit_symbol(units.distance));
  show_temperature(t);
  show_distance(d);
}

alarm_settings maps_alarms::settings() const {
  alarm_settings s;
  if (temperature_on_->isChecked()) s.temperature_above_f = temperature_f();
  if (distance_on_->isChecked()) s.distance_below_in = distance_in();
  return s;
}

void maps_alarms::show_settings(const alarm_settings& settings) {
  const QSignalBlocker quiet[] = {QSignalBlocker(temperature_on_), QSignalBlocker(temperature_),
                                  QSignalBlocker(distance_on_), QSignalBlocker(distance_)};
  temperature_on_->setChecked(settings.temperature_above_f.has_value());
  if (settings.temperature_above_f) show_temperature(*settings.temperature_above_f);
  distance_on_->setChecked(settings.distance_below_in.has_value());
  if (settings.distance_below_in) show_distance(*settings.distance_below_in);
  remember();
}

void maps_alarms::restore_and_remember() {
  const QSettings saved;
  alarm_settings s;
  const double t = saved.value(QLatin1String(temperature_key), temperature_f()).toDouble();
  const double d = saved.value(QLatin1String(distance_key), distance_in()).toDouble();
  {
    const QSignalBlocker quiet_t(temperature_), quiet_d(distance_);
    show_temperature(t);
    show_distance(d);
  }
  if (saved.value(QLatin1String(temperature_on_key)).toBool()) s.temperature_above_f = t;
  if (saved.value(QLatin1String(distance_on_key)).toBool()) s.distance_below_in = d;
  show_settings(s);
  remembered_ = true;
}

void maps_alarms::remember() const {
  if (!remembered_) return;
  QSettings saved;
  saved.setValue(QLatin1String(temperature_on_key), temperature_on_->isChecked());
  saved.setValue(QLatin1String(temperature_key), temperature_f());
  saved.setValue(QLatin1String(distance_on_key), distance_on_->isChecked());
  saved.setValue(QLatin1String(distance_key), distance_in());
}

}  // namespace brevane
