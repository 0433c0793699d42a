#include "ui/maps_export.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace brevane {

QString proposed_export_name(const QString& record, export_format format) {
  const QFileInfo info(record);
  return info.dir().filePath(info.completeBaseName() +
                             QLatin1String(export_kind_of(format).extension));
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
  export_request request;
  request.record = record_path;
  request.cycle = cycle;
  request.program_version = QCoreApplication::applicationVersion().toStdString();
  return export_kind_of(format).write(request, target).error;
}

}  // namespace brevane
