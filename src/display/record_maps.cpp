#include "display/record_maps.h"

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

}  // namespace brevane
