#include "display/record_maps.h"

#include <memory>

#include "logging/scan_record_cycles.h"

namespace brevane {

maps_data maps_from_record(const scan_record& record) {
  maps_data data;
  data.set_raster(record.header.raster);
  auto change = record.raster_changes.begin();
  for (std::size_t i = 0; i < record.readings.size(); ++i) {
    for (; change != record.raster_changes.end() && change->before_reading <= i; ++change)
      data.set_raster(change->raster);
    data.add(record.readings[i].event);
  }
  return data;
}

maps_data::cycle_reader record_cycle_reader(std::function<QString()> path) {
  // The index of where the cycles begin is shared by the copies of the reader.
  auto reader = std::make_shared<scan_record_cycles>();
  return [reader, path = std::move(path)](int cycle) {
    maps_data::cycle_cells cells;
    // A record that cannot be read leaves the cycle blank; the sweep reports the record's
    // failures itself.
    (void)reader->read(path ? path() : QString(), cycle, [&cells](const recorded_reading& r) {
      if (r.event.kind == reading_kind::baseline) return;
      if (cells.layer.empty()) cells.start = r.event.time;
      cells.layer.add(r.event);
    });
    return cells;
  };
}

}  // namespace brevane
