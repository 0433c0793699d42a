#include "ui/maps_export.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "model/reading_stream.h"
#include "ui/maps_window.h"
#include "ui/open_scan.h"

namespace brevane {
namespace {

// File > Export… writes the record shown, or the live sweep's, in each format, beside the
// record by default.
TEST(MapsExport, TheShownOrLiveRecordGoesOutInEachFormat) {
  QTemporaryDir folder;
  QProcess sweep;
  sweep.start(QStringLiteral(BREVANE_PROGRAM),
              {"--simulate", "--sweep", "--cycles", "2", "--data-folder", folder.path()});
  ASSERT_TRUE(sweep.waitForFinished(30000));
  ASSERT_EQ(sweep.exitCode(), 0) << sweep.readAllStandardError().toStdString();
  const QStringList records = QDir(folder.filePath("scans")).entryList({"*.jsonl"}, QDir::Files);
  ASSERT_EQ(records.size(), 1);
  const QString record = folder.filePath("scans/" + records.front());

  reading_stream stream;
  maps_window window(stream);
  ASSERT_NE(window.findChild<QAction*>(QStringLiteral("export")), nullptr);
  QString live;
  window.set_live_record([&live] { return live; });
  EXPECT_FALSE(window.export_to(export_format::nexus, folder.filePath("none.nxs")));
  EXPECT_TRUE(window.readout().contains("no scan record")) << window.readout().toStdString();
  live = record;
  EXPECT_EQ(window.export_record(), record) << "the live sweep's record";

  ASSERT_EQ(show_scan_record(window, record, 1), "");
  EXPECT_EQ(window.export_record(), record);
  const QString base = QFileInfo(record).completeBaseName();
  const struct {
    export_format format;
    const char* extension;
    QByteArray starts;
  } formats[] = {
      {export_format::nexus, ".nxs", "\x89HDF\r\n\x1a\n"},
      {export_format::tiff, ".tif", QByteArray("II*\0", 4)},
      {export_format::csv, ".csv", "cycle,pass,kind,row,point,x,z,temperature_f,distance_in,ms\n"},
      {export_format::png, ".png", "\x89PNG"},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(f.extension);
    const QString proposed = proposed_export_name(record, f.format);
    EXPECT_EQ(proposed, folder.filePath("scans/" + base + f.extension));
    const QString target = folder.filePath(QStringLiteral("out") + f.extension);
    ASSERT_TRUE(window.export_to(f.format, target)) << window.readout().toStdString();
    EXPECT_EQ(window.readout(), "Exported to " + target);
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith(f.starts));
    if (f.format == export_format::tiff) {
      // The info ImageJ shows is UTF-16, little-endian as the file.
      const QString cycle = QStringLiteral("\"cycle\":1,");
      EXPECT_TRUE(bytes.contains(
          QByteArray(reinterpret_cast<const char*>(cycle.utf16()), cycle.size() * 2)))
          << "the cycle shown, not the last";
    }
  }
}

}  // namespace
}  // namespace brevane
