#include "ui/open_scan.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "model/reading_stream.h"
#include "ui/maps_window.h"

namespace brevane {
namespace {

// A record of two cycles from the real program, then the same record cut short by a crash.
TEST(OpenScan, ARecordOpensAtItsLastCycleAndACutRecordSaysItEndedUnexpectedly) {
  QTemporaryDir folder;
  QProcess sweep;
  sweep.start(QStringLiteral(BREVANE_PROGRAM),
              {"--simulate", "--sweep", "--cycles", "2", "--data-folder", folder.path()});
  ASSERT_TRUE(sweep.waitForFinished(30000));
  ASSERT_EQ(sweep.exitCode(), 0) << sweep.readAllStandardError().toStdString();
  const QStringList records = QDir(folder.filePath("scans")).entryList({"*.jsonl"}, QDir::Files);
  ASSERT_EQ(records.size(), 1);
  const QString path = folder.filePath("scans/" + records.front());

  reading_stream stream;
  maps_window window(stream);
  EXPECT_EQ(show_scan_record(window, path, std::nullopt), "");
  EXPECT_EQ(window.chosen_cycle(), 2) << "the last cycle first";
  EXPECT_TRUE(window.windowTitle().contains(records.front() + " (completed)"));
  EXPECT_EQ(window.shown().cycles(), 2);
  EXPECT_NE(show_scan_record(window, path, 3).find("there is no cycle 3"), std::string::npos);

  // Cut inside the last cycle, as a kill -9 would leave it.
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.resize(file.size() * 3 / 4));
  file.close();
  EXPECT_EQ(show_scan_record(window, path, 1), "");
  EXPECT_EQ(window.chosen_cycle(), 1);
  EXPECT_TRUE(window.windowTitle().contains("ended unexpectedly"))
      << window.windowTitle().toStdString();
  EXPECT_TRUE(window.readout().contains("damaged line")) << "the cut line is named";

  EXPECT_NE(show_scan_record(window, folder.filePath("no such.jsonl"), std::nullopt), "");
}

}  // namespace
}  // namespace brevane
