#include "logging/image_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

TEST(ImageLog, NamesCarryTheStemTheNumberAndTheSuffix) {
  EXPECT_EQ(image_log::file_name("/d", "1262026 45136 AM", 12, " Sonic.BMP"),
            "/d/1262026 45136 AM 12 Sonic.BMP");
}

TEST(ImageLog, CounterAdvancesWhileLoggingIsOffAndFilesStartAtThatNumber) {
  rig r;
  r->maps.rawdraw();
  r->maps.rawdraw();
  EXPECT_EQ(r->state.cnt, 2);
  EXPECT_TRUE(QDir(r.folder.path()).entryList(QDir::Files).isEmpty());
  EXPECT_EQ(r->state.tem, "1262026 50410 AM");
  r.window.log_images = true;
  r->maps.rawdraw();
  QStringList files = QDir(r.folder.path()).entryList(QDir::Files, QDir::Name);
  EXPECT_EQ(files, (QStringList{"1262026 50410 AM 3 Histogram.BMP", "1262026 50410 AM 3 Sonic.BMP",
                                "1262026 50410 AM 3 Thermal.BMP"}));
  QImage thermal(r.folder.filePath("1262026 50410 AM 3 Thermal.BMP"));
  EXPECT_EQ(thermal.size(), QSize(149, 69));
  QImage scope(r.folder.filePath("1262026 50410 AM 3 Histogram.BMP"));
  EXPECT_EQ(scope.size(), QSize(325, 269));
}

TEST(ImageLog, CounterStopsAt32767) {
  rig r;
  r->state.cnt = 32766;
  r->maps.rawdraw();
  r->maps.rawdraw();
  EXPECT_EQ(r->state.cnt, 32767);
}

TEST(ImageLog, EachSaveStandsAloneAndAFailureIsReported) {
  rig r;
  r.window.log_images = true;
  // A folder where the thermal picture should go makes that one save fail.
  ASSERT_TRUE(QDir(r.folder.path()).mkdir("1262026 50410 AM 1 Thermal.BMP"));
  r->maps.rawdraw();
  EXPECT_TRUE(QFile::exists(r.folder.filePath("1262026 50410 AM 1 Sonic.BMP")));
  EXPECT_TRUE(QFile::exists(r.folder.filePath("1262026 50410 AM 1 Histogram.BMP")));
  ASSERT_EQ(r.window.statuses.size(), 1u);
  EXPECT_NE(r.window.statuses[0].find("Thermal.BMP"), std::string::npos);
  EXPECT_EQ(r->imagelog.files_written(), 2);
}

TEST(ImageMaps, RawdrawPaintsBothMapsThenEmptiesEveryCell) {
  rig r;
  r->state.step_d = 10;
  r->state.thermal_map.at(140, 60) = 250;
  r->state.sonic_map.at(0, 0) = 100;
  r->state.sonic_map.at(500, 500) = 7;  // never painted, still reset
  r->maps.rawdraw();
  EXPECT_TRUE(r->state.thermal_map.all_zero());
  EXPECT_TRUE(r->state.sonic_map.all_zero());
  EXPECT_EQ(qGray(r.window.pictures(picture::thermal_map).image().pixel(141, 60)), 250);
  EXPECT_EQ(qGray(r.window.pictures(picture::sonic_map).image().pixel(0, 0)), 100);
}

}  // namespace
}  // namespace brevane
