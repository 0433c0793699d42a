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
  return export_scan_csv(record_held(record), path, nullptr);
}

std::string export_scan_csv(const scan_record_source& record, const QString& path,
                            scan_record* summary) {
  // Rows go out a block at a time; a block is far larger than a row and far smaller than a
  // long record.
  constexpr qsizetype block = 1 << 20;
  std::string refusal;
  bool refused = false;
  // All or nothing: a failed export leaves the earlier table, or none, and never a half one;
  // a device or a FIFO named as the table is refused and left as it is.
  const std::string why = files::write_whole_by_name(path, [&](const QString& temporary) {
    files::output_file file;
    std::string failed = file.open_append(temporary);
    QByteArray out = QByteArray(scan_csv_header) + '\n';
    out.reserve(block + 256);
    const auto flush = [&] {
      if (failed.empty()) failed = file.append(std::string_view(out.constData(), out.size()));
      out.clear();
    };
    scan_record_stream stream;
    stream.reading = [&](const recorded_reading& r) {
      append_csv_row(out, r);
      if (out.size() >= block) flush();
    };
    auto read = failed.empty() ? record(stream, &refusal) : std::nullopt;
    if (failed.empty() && !read) {
      refused = true;
      failed = refusal;
    }
    flush();
    const std::string closed = file.close();
    if (read && summary) *summary = std::move(*read);
    return failed.empty() ? closed : failed;
  });
  if (refused) return refusal;
  if (!why.empty())
    return "the table " + QDir::toNativeSeparators(path).toStdString() +
           " cannot be written: " + why;
  return {};
}

}  // namespace brevane
