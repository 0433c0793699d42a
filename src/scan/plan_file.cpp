// Plan files on disk: read (a plan whole, a scan record by its first line) and written.
#include <QDir>
#include <QFile>
#include <vector>

#include "common/file_input.h"
#include "common/file_output.h"
#include "logging/scan_record_fields.h"
#include "scan/sweep_plan.h"

namespace brevane {

namespace {

// Big enough for any plan and any record's first line.
constexpr qint64 text_limit = 1 << 20;

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether text begins with a scan record's first line, which is all of a record a plan needs.
bool starts_a_record(const QByteArray& text) {
  const qsizetype end = text.indexOf('\n');
  return end > 0 &&
         text.left(end).contains(QByteArray("\"") + scan_record_fields::format_name + "\"");
}

// The offset of the first byte after text_limit that is not blank, or -1 when there is none;
// the file is read to its end a block at a time, so what follows a plan cannot go unseen.
qint64 first_after_limit(QFile& file, std::string* error) {
  std::vector<char> block(1 << 16);
  qint64 offset = text_limit;
  for (;;) {
    const qint64 n = file.read(block.data(), static_cast<qint64>(block.size()));
    if (n < 0) {
      *error = file.errorString().toStdString();
      return -1;
    }
    if (n == 0) return -1;
    for (qint64 i = 0; i < n; ++i)
      if (!blank(block[static_cast<std::size_t>(i)])) return offset + i;
    offset += n;
  }
}

}  // namespace

std::optional<sweep_settings> read_plan_file(const QString& path, const sweep_settings& base,
                                             std::string* why) {
  const std::string name = QDir::toNativeSeparators(path).toStdString();
  const auto unread = [&](const std::string& reason) -> std::optional<sweep_settings> {
    if (why) *why = name + " cannot be read: " + reason;
    return std::nullopt;
  };
  QFile file;
  if (const files::open_result opened = files::open_regular(path, file); !opened.ok())
    return unread(opened.why());
  const QByteArray text = file.read(text_limit);
  if (file.error() != QFileDevice::NoError) return unread(file.errorString().toStdString());
  std::string problem;
  auto settings = plan_from_text(text, base, &problem);
  if (!settings) {
    if (why) *why = name + (problem.starts_with("is ") ? " " : ": ") + problem;
    return std::nullopt;
  }
  // A record may be large and is read by its first line; a plan is read to its end.
  if (!file.atEnd() && !starts_a_record(text)) {
    std::string error;
    const qint64 more = first_after_limit(file, &error);
    if (!error.empty()) return unread(error);
    if (more >= 0) {
      if (why)
        *why = name + " is not a plan: it goes on after the plan's end, at byte " +
               std::to_string(more);
      return std::nullopt;
    }
  }
  return settings;
}

std::string save_plan_file(const QString& path, const sweep_settings& settings) {
  const std::string why = files::write_whole(path, plan_json(settings));
  if (why.empty()) return {};
  return "The plan " + QDir::toNativeSeparators(path).toStdString() + " was not written: " + why;
}

}  // namespace brevane
