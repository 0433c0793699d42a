#include "ui/about.h"

#include <QtGlobal>

#include "common/version.h"
#include "device/usb_heads.h"

namespace brevane {

QString about_text() {
  const QString qt_runs = QString::fromLatin1(qVersion());
  const QString qt_built = QStringLiteral(QT_VERSION_STR);
  const QString qt =
      qt_runs == qt_built ? qt_runs : QStringLiteral("%1 (built with %2)").arg(qt_runs, qt_built);
  // The licence is the package's copyright file's, in a sentence.
  return QStringLiteral(
             "<h3>Brevane %1</h3>"
             "<p>Drives the USB scanning head: sweeps it over the scan limits and maps the "
             "temperature and the distance at every point.</p>"
             "<p>Version %1<br>Qt %2<br>hidapi %3</p>"
             "<p>Copyright 2026 Brevane maintainers. All rights reserved.<br>"
             "Licence: proprietary. This software is not distributed under a free software "
             "licence; use, copying and distribution need the written permission of the "
             "copyright holders.</p>")
      .arg(QString::fromLatin1(program_version), qt,
           QString::fromStdString(device::hidapi_version()));
}

}  // namespace brevane
