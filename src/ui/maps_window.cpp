#include "ui/maps_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "display/record_maps.h"
#include "ui/cycle_list.h"
#include "ui/maps_alarms.h"
#include "ui/maps_window_names.h"

namespace brevane {

using namespace maps_window_names;

void maps_window::open() {
  if (record_) {
    record_.reset();
    shown_record_.clear();
    setWindowTitle(QString::fromLatin1(live_caption));
    cycle_->setItemText(0, QStringLiteral("Live"));
    // The note said how the record's sweep ended; it says nothing of the live one.
    readout_->setText(QString::fromLatin1(off_cells_hint));
    listener_.take_change();
    update_cycles();
    repaint_picture();
  }
  if (!isVisible()) place_on_screen();
  show();
  raise();
  activateWindow();
}

void maps_window::show_readings(const QString& caption, maps_data data, std::optional<int> cycle,
                                const QString& note, const QString& record_path) {
  record_ = std::move(data);
  shown_record_ = record_path;
  setWindowTitle(QString::fromLatin1(live_caption) + QStringLiteral(" \u2014 ") + caption);
  cycle_->setItemText(0, QStringLiteral("Latest"));
  update_cycles();
  {
    const QSignalBlocker block(cycle_);
    const int wanted = cycle.value_or(record_->cycles());
    const int index = cycle_->findData(wanted);
    if (index >= 0) cycle_->setCurrentIndex(index);
  }
  readout_->setText(note.isEmpty() ? QString::fromLatin1(off_cells_hint) : note);
  repaint_picture();
  if (!isVisible()) place_on_screen();
  show();
  raise();
}

void maps_window::set_live_record(std::function<QString()> path) {
  live_record_ = std::move(path);
  live_.read_older_cycles(record_cycle_reader(live_record_));
}

std::optional<int> maps_window::chosen_cycle() const {
  const int index = cycle_->currentIndex();
  if (index <= 0) return std::nullopt;
  return cycle_->itemData(index).toInt();
}

QString maps_window::scan_name() const {
  const QString record = export_record();
  return record.isEmpty() ? QString() : QFileInfo(record).completeBaseName();
}

maps_style maps_window::style() const {
  maps_style s;
  s.colours = palette_->currentIndex() == 1 ? palette_kind::grey : palette_kind::colour;
  s.thermal = {thermal_mode_->currentIndex() == 0, thermal_low_->value(), thermal_high_->value()};
  s.sonic = {sonic_mode_->currentIndex() == 0, sonic_low_->value(), sonic_high_->value()};
  s.units = units_;
  s.shape = shape_;
  s.title = picture_title(scan_name(), shown(), chosen_cycle());
  if (const auto base = compared_cycle(); base && difference_) {
    s.differences = true;
    const QString name = scan_name().isEmpty() ? QStringLiteral("Live sweep") : scan_name();
    const auto chosen = chosen_cycle();
    s.title = QStringLiteral("%1 \u2014 %2 minus cycle %3")
                  .arg(name, chosen ? QStringLiteral("cycle %1").arg(*chosen)
                                    : QStringLiteral("the latest readings"))
                  .arg(*base);
  }
  return s;
}

void maps_window::set_units(const display_units& units) {
  // A fixed range keeps the same temperatures and distances, told in the new unit.
  const auto convert = [](QDoubleSpinBox* field, auto to_record, auto to_shown) {
    const QSignalBlocker block(field);
    field->setValue(to_shown(to_record(field->value())));
  };
  for (QDoubleSpinBox* field : {thermal_low_, thermal_high_})
    convert(
        field, [&](double v) { return recorded_temperature(v, units_.temperature); },
        [&](double v) { return shown_temperature(v, units.temperature); });
  for (QDoubleSpinBox* field : {sonic_low_, sonic_high_})
    convert(
        field, [&](double v) { return recorded_distance(v, units_.distance); },
        [&](double v) { return shown_distance(v, units.distance); });
  units_ = units;
  for (QDoubleSpinBox* field : {thermal_low_, thermal_high_})
    field->setSuffix(QLatin1Char(' ') + unit_symbol(units.temperature));
  for (QDoubleSpinBox* field : {sonic_low_, sonic_high_})
    field->setSuffix(QLatin1Char(' ') + unit_symbol(units.distance));
  alarms_->set_units(units);
  (units.temperature == temperature_unit::celsius ? celsius_ : fahrenheit_)->setChecked(true);
  (units.distance == distance_unit::millimetres ? millimetres_ : inches_)->setChecked(true);
  QSettings settings;
  settings.setValue(QLatin1String(temperature_key),
                    units.temperature == temperature_unit::celsius ? "C" : "F");
  settings.setValue(QLatin1String(distance_key),
                    units.distance == distance_unit::millimetres ? "mm" : "in");
  repaint_picture();
}

void maps_window::set_shape(map_shape shape) {
  shape_ = shape;
  (shape == map_shape::fill ? fill_ : equal_scales_)->setChecked(true);
  QSettings().setValue(QLatin1String(shape_key), shape == map_shape::fill ? "fill" : "equal");
  repaint_picture();
}

void maps_window::range_mode_changed(QComboBox* mode) {
  const bool fixed = mode->currentIndex() == 1;
  const bool thermal = mode == thermal_mode_;
  QDoubleSpinBox* low = thermal ? thermal_low_ : sonic_low_;
  QDoubleSpinBox* high = thermal ? thermal_high_ : sonic_high_;
  low->setEnabled(fixed);
  high->setEnabled(fixed);
  // Fixing starts from what Auto showed, so the picture does not jump.
  if (fixed) {
    const map_kind kind = thermal ? map_kind::thermal : map_kind::sonic;
    if (const auto r = shown_range(cell_geometry(shown(), chosen_cycle()), kind, units_)) {
      const QSignalBlocker b1(low), b2(high);
      low->setValue(r->low);
      high->setValue(r->high);
    }
  }
  repaint_picture();
}

void maps_window::hover(QPoint at) {
  const auto hit = cell_at(displayed(), displayed_cycle(), picture_.size(), at, shape_);
  if (!hit) return readout_->setText(QString::fromLatin1(off_cells_hint));
  if (!difference_) return readout_->setText(readout_text(hit->cell, units_));
  // A difference has no time of its own, and °C scales it without the offset.
  const auto told = [&](map_kind kind, const QString& unit, int decimals) {
    const auto v = shown_value(hit->cell, kind, units_, true);
    return v ? QString::asprintf("%+.*f ", decimals, *v) + unit : QStringLiteral("\u2014");
  };
  readout_->setText(QStringLiteral("X %1  Z %2   change %3   %4")
                        .arg(hit->cell.x)
                        .arg(hit->cell.z)
                        .arg(told(map_kind::thermal, unit_symbol(units_.temperature), 2),
                             told(map_kind::sonic, unit_symbol(units_.distance),
                                  units_.distance == distance_unit::millimetres ? 1 : 2)));
}

QString maps_window::readout() const {
  return readout_->text();
}

bool maps_window::save_picture(const QString& path) {
  // What the window shows, laid out to fill a picture of its own size.
  const std::string why = save_png(render_picture(displayed(), displayed_cycle(), style()), path);
  readout_->setText(why.empty() ? QStringLiteral("Saved the picture to %1").arg(path)
                                : QString::fromStdString(why));
  return why.empty();
}

QString maps_window::proposed_picture_path() const {
  // Live shows the latest cycle, and the picture is named for it.
  std::optional<int> cycle = chosen_cycle();
  if (!cycle && shown().cycles() > 0) cycle = shown().cycles();
  return proposed_picture_name(export_record(), cycle, QDir::homePath());
}

void maps_window::choose_save_file() {
  QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"), proposed_picture_path(),
                                   QStringLiteral("PNG pictures (*.png)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) path += QLatin1String(".png");
  save_picture(path);
}

QString maps_window::export_record() const {
  if (record_) return shown_record_;
  return live_record_ ? live_record_() : QString();
}

bool maps_window::export_to(export_format format, const QString& path) {
  std::string why;
  if (format == export_format::png) {
    why = save_png(render_picture(shown(), chosen_cycle(), style()), path);
  } else if (const QString record = export_record(); record.isEmpty()) {
    why = "There is no scan record to export yet; every sweep writes one.";
  } else {
    // The cycle chosen, or the last one when the latest readings are shown.
    why = export_scan(record, format, path, chosen_cycle());
  }
  readout_->setText(why.empty() ? QStringLiteral("Exported to %1").arg(path)
                                : QString::fromStdString(why));
  return why.empty();
}

void maps_window::choose_export() {
  const QString record = export_record();
  QStringList filters;
  for (const export_kind& k : export_kinds) filters << QLatin1String(k.filter);
  QString filter = filters.front();
  const QString proposed = record.isEmpty() ? QDir::home().filePath(QStringLiteral("maps.nxs"))
                                            : proposed_export_name(record, export_format::nexus);
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), proposed,
                                              filters.join(QStringLiteral(";;")), &filter);
  if (path.isEmpty()) return;
  // A name ending in one of the formats' extensions says the format; otherwise the filter does.
  const export_kind* c = &export_kinds[std::max<qsizetype>(0, filters.indexOf(filter))];
  for (const export_kind& other : export_kinds)
    if (path.endsWith(QLatin1String(other.extension), Qt::CaseInsensitive)) c = &other;
  if (!path.endsWith(QLatin1String(c->extension), Qt::CaseInsensitive))
    path += QLatin1String(c->extension);
  export_to(c->format, path);
}

void maps_window::refresh() {
  repaint_timer_.stop();
  if (!listener_.take_change() && !picture_.isNull()) return;
  update_cycles();
  repaint_picture();
}

void maps_window::update_cycles() {
  auto* const cycles_listed = static_cast<cycle_list*>(cycle_->model());
  const int cycles = shown().cycles();
  if (cycles == cycles_listed->cycles()) return;
  const QSignalBlocker block(cycle_);
  const auto chosen = chosen_cycle();
  cycles_listed->set_cycles(cycles);
  cycle_->setCurrentIndex(chosen && *chosen <= cycles ? *chosen : 0);
  const QSignalBlocker block_compare(compare_);
  const auto compared = compared_cycle();
  static_cast<cycle_list*>(compare_->model())->set_cycles(cycles);
  compare_->setCurrentIndex(compared && *compared <= cycles ? *compared : 0);
}

void maps_window::repaint_picture() {
  // Building calls this before the picture has its place.
  if (!view_) return;
  difference_.reset();
  if (const auto base = compared_cycle())
    difference_ = cycle_difference(shown(), chosen_cycle(), *base);
  picture_ = render_maps(displayed(), displayed_cycle(), view_->size(), style());
  update_tools();
}

void maps_window::showEvent(QShowEvent* event) {
  // Readings that came while it was closed are painted now.
  refresh();
  QWidget::showEvent(event);
}

void maps_window::closeEvent(QCloseEvent* event) {
  repaint_timer_.stop();
  remember_place();
  QWidget::closeEvent(event);
}

void maps_window::remember_place() const {
  QSettings().setValue(QLatin1String(geometry_key), saveGeometry());
}

void maps_window::show_state(const QString& line, bool pause_offered, bool paused) {
  if (state_line_->text() != line) state_line_->setText(line);
  pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
  pause_->setVisible(pause_offered);
}

QString maps_window::state_text() const {
  return state_line_->text();
}

}  // namespace brevane
