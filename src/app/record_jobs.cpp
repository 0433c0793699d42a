#include "app/record_jobs.h"

#include <QDir>
#include <QFileInfo>
#include <iostream>

#include "display/maps_render.h"
#include "display/record_maps.h"
#include "export/nexus_export.h"
#include "export/tiff_export.h"
#include "logging/scan_record_csv.h"
#include "logging/scan_record_reader.h"

namespace brevane {

namespace {

// The first ten damaged lines of a record on stderr, and how many more there were.
void name_problems(const QString& record_path, const std::vector<std::string>& problems) {
  constexpr std::size_t shown = 10;
  const std::string path = QDir::toNativeSeparators(record_path).toStdString();
  for (std::size_t i = 0; i < problems.size() && i < shown; ++i)
    std::cerr << "brevane: " << path << ": " << problems[i] << "\n";
  if (problems.size() > shown)
    std::cerr << "brevane: ... and " << problems.size() - shown << " more problems\n";
}

}  // namespace

int export_record_csv(const QString& record_path, const QString& table) {
  std::string refusal;
  const auto record = read_scan_record(record_path, &refusal);
  if (!record) {
    std::cerr << "brevane: " << refusal << "\n";
    return 1;
  }
  // A damaged record still gives its good lines; say what was left out.
  name_problems(record_path, record->problems);
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

int export_record_png(const QString& record_path, std::optional<int> cycle, const QString& picture,
                      palette_kind colours) {
  std::string refusal;
  const auto record = read_scan_record(record_path, &refusal);
  if (!record) {
    std::cerr << "brevane: " << refusal << "\n";
    return 1;
  }
  const maps_data data = maps_from_record(*record);
  const int shown = cycle.value_or(data.cycles());
  if (shown < 1 || shown > data.cycles()) {
    std::cerr << "brevane: " << QDir::toNativeSeparators(record_path).toStdString() << " holds "
              << data.cycles() << " cycle(s) of readings; there is no cycle " << shown << "\n";
    return 1;
  }
  maps_style style;
  style.colours = colours;
  style.title = picture_title(QFileInfo(record_path).completeBaseName(), data, shown);
  const std::string why = export_cycle(data, shown, picture, style);
  if (!why.empty()) {
    std::cerr << "brevane: " << why << "\n";
    return 1;
  }
  std::cout << "Wrote the maps of cycle " << shown << " (" << scan_record_ending(*record) << ") to "
            << QDir::toNativeSeparators(picture).toStdString() << "\n";
  return 0;
}

int export_record_data(const QString& record_path, std::optional<int> cycle, const QString& nexus,
                       const QString& tiff, const std::string& program_version, bool name_damaged) {
  std::string refusal;
  const auto record = read_scan_record(record_path, &refusal);
  if (!record) {
    std::cerr << "brevane: " << refusal << "\n";
    return 1;
  }
  if (name_damaged) name_problems(record_path, record->problems);
  int code = 0;
  const auto tell = [&](const std::string& why, const char* what, const QString& file) {
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      code = 1;
      return;
    }
    std::cout << "Exported " << record->readings.size() << " readings ("
              << scan_record_ending(*record) << ") " << what << " to "
              << QDir::toNativeSeparators(file).toStdString() << "\n";
  };
  if (!nexus.isEmpty())
    tell(export_nexus(*record, record_path, nexus, program_version), "as NeXus", nexus);
  if (!tiff.isEmpty())
    tell(export_tiff(*record, record_path, cycle, tiff, program_version), "as TIFF", tiff);
  return code;
}

}  // namespace brevane
