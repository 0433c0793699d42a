#include "logging/scan_record_csv.h"

#include <QDir>
#include <charconv>

#include "common/file_output.h"
#include "logging/scan_record_fields.h"
#include "logging/scan_record_reader.h"

namespace brevane {

namespace {

// Shortest text that reads back as the same double; never the locale's comma.
void append_number(QByteArray& out, double v) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
  if (ec == std::errc()) out.append(text, end - text);
}

void append_optional(QByteArray& out, const std::optional<double>& v) {
  if (v) append_number(out, *v);
}

}  // namespace

void append_csv_row(QByteArray& out, const recorded_reading& r) {
  const reading_event& e = r.event;
  const char* pass = scan_record_fields::pass_name(e.pass);
  out += QByteArray::number(e.cycle) + ',' + (pass ? pass : "") + ',' +
         scan_record_fields::kind_name(e.kind) + ',' + QByteArray::number(e.row) + ',' +
         QByteArray::number(e.point) + ',' + QByteArray::number(e.x) + ',' +
         QByteArray::number(e.z) + ',';
  append_optional(out, e.temperature_f);
  out += ',';
  append_optional(out, e.distance_in);
  out += ',' + QByteArray::number(r.ms) + '\n';
}

std::string export_scan_csv(const scan_record& record, const QString& path) {
  QByteArray out = QByteArray(scan_csv_header) + '\n';
  out.reserve(static_cast<qsizetype>(record.readings.size()) * 64 + out.size());
  for (const recorded_reading& r : record.readings) append_csv_row(out, r);
  // All or nothing: a failed export leaves the earlier table, or none, and never a half one;
  // a device or a FIFO named as the table is refused and left as it is.
  if (const std::string why = files::write_whole(path, out); !why.empty())
    return "the table " + QDir::toNativeSeparators(path).toStdString() +
           " cannot be written: " + why;
  return {};
}

}  // namespace brevane
