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

std::optional<maps_data> maps_from_file(const QString& path, std::optional<int> cycle,
                                        scan_record* summary, std::string* refusal) {
  maps_data data;
  auto kept = std::make_shared<maps_data::cycle_cells>();
  data.read_older_cycles([kept, cycle, older = record_cycle_reader([path] { return path; })](
                             int c) { return cycle && c == *cycle ? *kept : older(c); });
  scan_record_stream stream;
  stream.header = [&](const scan_record_header& h) { data.set_raster(h.raster); };
  stream.raster_changed = [&](const raster_in_use& r) { data.set_raster(r); };
  stream.reading = [&](const recorded_reading& r) {
    data.add(r.event);
    if (!cycle || r.event.cycle != *cycle || r.event.kind == reading_kind::baseline) return;
    if (kept->layer.empty()) kept->start = r.event.time;
    kept->layer.add(r.event);
  };
  auto record = record_file(path)(stream, refusal);
  if (!record) return std::nullopt;
  if (summary) *summary = std::move(*record);
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
