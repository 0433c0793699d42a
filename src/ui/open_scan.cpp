#include "ui/open_scan.h"

#include <QFileInfo>

#include "display/record_maps.h"
#include "logging/scan_record_reader.h"
#include "ui/maps_window.h"

namespace brevane {

std::string show_scan_record(maps_window& window, const QString& path, std::optional<int> cycle) {
  std::string refusal;
  scan_record summary;
  const scan_record* record = &summary;
  auto read = maps_from_file(path, cycle, &summary, &refusal);
  if (!read) return refusal;
  maps_data& data = *read;
  if (cycle && *cycle > data.cycles()) {
    return QFileInfo(path).fileName().toStdString() + " holds " + std::to_string(data.cycles()) +
           " cycle(s); there is no cycle " + std::to_string(*cycle);
  }
  const QString ending = QString::fromStdString(scan_record_ending(*record));
  QString note =
      QStringLiteral("This sweep: %1, %2 readings.").arg(ending).arg(record->reading_count);
  if (!record->problems.empty()) {
    note += QStringLiteral(" %1 damaged line(s) left out, the first: %2")
                .arg(record->problems.size() + record->problems_left_out)
                .arg(QString::fromStdString(record->problems.front()));
  }
  window.show_readings(
      QFileInfo(path).fileName() + QStringLiteral(" (") + ending + QLatin1Char(')'),
      std::move(data), cycle, note, path);
  return {};
}

}  // namespace brevane
