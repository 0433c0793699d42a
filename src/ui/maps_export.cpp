#include "ui/maps_export.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "export/nexus_export.h"
#include "export/tiff_export.h"
#include "logging/scan_record_csv.h"
#include "logging/scan_record_reader.h"

namespace brevane {

QString proposed_export_name(const QString& record, export_format format) {
  const QFileInfo info(record);
  for (const export_choice& c : export_choices)
    if (c.format == format)
      return info.dir().filePath(info.completeBaseName() + QLatin1String(c.extension));
  return {};
}

QString proposed_picture_name(const QString& record, std::optional<int> cycle,
                              const QString& fallback_folder) {
  if (record.isEmpty()) return QDir(fallback_folder).filePath(QStringLiteral("maps.png"));
  const QFileInfo info(record);
  const QString which = cycle ? QStringLiteral("cycle %1").arg(*cycle) : QStringLiteral("latest");
  return info.dir().filePath(info.completeBaseName() + QLatin1Char(' ') + which +
                             QStringLiteral(".png"));
}

std::string export_scan(const QString& record_path, export_format format, const QString& target,
                        std::optional<int> cycle) {
  std::string refusal;
  const auto record = read_scan_record(record_path, &refusal);
  if (!record) return refusal;
  const std::string version = QCoreApplication::applicationVersion().toStdString();
  switch (format) {
    case export_format::nexus:
      return export_nexus(*record, record_path, target, version);
    case export_format::tiff:
      return export_tiff(*record, record_path, cycle, target, version);
    case export_format::csv:
      return export_scan_csv(*record, target);
    case export_format::png:
      break;
  }
  return "a picture is painted by the Maps window, not exported from the record";
}

}  // namespace brevane
