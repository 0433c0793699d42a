#include "app/record_jobs.h"

#include <QDir>
#include <iostream>

#include "logging/scan_record_csv.h"
#include "logging/scan_record_reader.h"

namespace brevane {

int export_record_csv(const QString& record_path, const QString& table) {
  std::string refusal;
  const auto record = read_scan_record(record_path, &refusal);
  if (!record) {
    std::cerr << "brevane: " << refusal << "\n";
    return 1;
  }
  // A damaged record still gives its good lines; say what was left out.
  constexpr std::size_t shown = 10;
  for (std::size_t i = 0; i < record->problems.size() && i < shown; ++i)
    std::cerr << "brevane: " << QDir::toNativeSeparators(record_path).toStdString() << ": "
              << record->problems[i] << "\n";
  if (record->problems.size() > shown)
    std::cerr << "brevane: ... and " << record->problems.size() - shown << " more problems\n";
  const std::string why = export_scan_csv(*record, table);
  if (!why.empty()) {
    std::cerr << "brevane: " << why << "\n";
    return 1;
  }
  std::cout << "Exported " << record->readings.size() << " readings ("
            << scan_record_ending(*record) << ") to "
            << QDir::toNativeSeparators(table).toStdString() << "\n";
  return 0;
}

}  // namespace brevane
