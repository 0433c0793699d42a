#include "export/export_formats.h"

#include <QDir>
#include <QFileInfo>

#include "display/maps_render.h"
#include "display/record_maps.h"
#include "export/nexus_export.h"
#include "export/tiff_export.h"
#include "logging/scan_record_csv.h"

namespace brevane {

namespace {

std::string native(const QString& path) {
  return QDir::toNativeSeparators(path).toStdString();
}

std::string exported(const scan_record& record, const char* as, const QString& target) {
  return "Exported " + std::to_string(record.reading_count) + " readings (" +
         scan_record_ending(record) + ")" + as + " to " + native(target);
}

export_outcome write_csv(const export_request& request, const QString& target) {
  export_outcome o;
  o.error = export_scan_csv(record_file(request.record), target, &o.record);
  if (o.error.empty()) o.done = exported(o.record, "", target);
  return o;
}

export_outcome write_nexus(const export_request& request, const QString& target) {
  export_outcome o;
  o.error = export_nexus(record_file(request.record), request.record, target,
                         request.program_version, &o.record);
  if (o.error.empty()) o.done = exported(o.record, " as NeXus", target);
  return o;
}

export_outcome write_tiff(const export_request& request, const QString& target) {
  export_outcome o;
  o.error = export_tiff(record_file(request.record), request.record, request.cycle, target,
                        request.program_version, &o.record);
  if (o.error.empty()) o.done = exported(o.record, " as TIFF", target);
  return o;
}

// The Maps window's picture of the cycle, titled with the record's name, the cycle and its
// start.
export_outcome write_png(const export_request& request, const QString& target) {
  export_outcome o;
  const auto data = maps_from_file(request.record, request.cycle, &o.record, &o.error);
  if (!data) return o;
  const int shown = request.cycle.value_or(data->cycles());
  if (shown < 1 || shown > data->cycles()) {
    o.error = native(request.record) + " holds " + std::to_string(data->cycles()) +
              " cycle(s) of readings; there is no cycle " + std::to_string(shown);
    return o;
  }
  maps_style style;
  style.colours = request.colours;
  style.title = picture_title(QFileInfo(request.record).completeBaseName(), *data, shown);
  o.error = export_cycle(*data, shown, target, style);
  if (o.error.empty())
    o.done = "Wrote the maps of cycle " + std::to_string(shown) + " (" +
             scan_record_ending(o.record) + ") to " + native(target);
  return o;
}

}  // namespace

const export_kind export_kinds[export_kind_count] = {
    {export_format::nexus, "nexus", ".nxs", "NeXus, both maps and every reading (*.nxs)", true,
     false, write_nexus},
    {export_format::tiff, "tiff", ".tif", "TIFF, the cycle shown, 32-bit float (*.tif)", true,
     false, write_tiff},
    {export_format::csv, "csv", ".csv", "CSV table of the readings (*.csv)", false, false,
     write_csv},
    {export_format::png, "png", ".png", "PNG picture of the maps (*.png)", true, true, write_png},
};

const export_kind& export_kind_of(export_format format) {
  for (const export_kind& k : export_kinds)
    if (k.format == format) return k;
  return export_kinds[0];
}

std::string export_option(const export_kind& kind) {
  return std::string("--export-") + kind.name;
}

}  // namespace brevane
