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
  r.window.set_log_images(true);
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
  r.window.set_log_images(true);
  // A picture with nothing in it cannot be encoded; the other two are saved all the same.
  r.window.pictures(picture::thermal_map).image() = QImage();
  r->maps.rawdraw();
  EXPECT_FALSE(QFile::exists(r.folder.filePath("1262026 50410 AM 1 Thermal.BMP")));
  EXPECT_TRUE(QFile::exists(r.folder.filePath("1262026 50410 AM 1 Sonic.BMP")));
  EXPECT_TRUE(QFile::exists(r.folder.filePath("1262026 50410 AM 1 Histogram.BMP")));
  ASSERT_EQ(r.window.statuses.size(), 1u);
  EXPECT_NE(r.window.statuses[0].find("Thermal.BMP"), std::string::npos);
  EXPECT_EQ(r->imagelog.files_written(), 2);
}

TEST(ImageLog, ATakenNameGetsANumberAndTheOldFileStays) {
  rig r;
  r.window.set_log_images(true);
  const QStringList taken = {"1262026 50410 AM 1 Thermal.BMP", "1262026 50410 AM 1 Sonic.BMP",
                             "1262026 50410 AM 1 Sonic (2).BMP", "1262026 50410 AM 2 Thermal.BMP"};
  for (const QString& name : taken) {
    QFile f(r.folder.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(name.toUtf8());
  }
  r->maps.rawdraw();
  r->maps.rawdraw();
  for (const QString& name : taken) {
    QFile f(r.folder.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), name.toUtf8()) << "kept as it was";
  }
  // Each picture of a painting takes its own free name.
  for (const char* name : {"1262026 50410 AM 1 Thermal (2).BMP", "1262026 50410 AM 1 Sonic (3).BMP",
                           "1262026 50410 AM 1 Histogram.BMP", "1262026 50410 AM 2 Thermal (2).BMP",
                           "1262026 50410 AM 2 Sonic.BMP", "1262026 50410 AM 2 Histogram.BMP"})
    EXPECT_FALSE(QImage(r.folder.filePath(name)).isNull()) << name;
  EXPECT_EQ(r->imagelog.files_written(), 6);
  EXPECT_EQ(r.window.statuses,
            std::vector<std::string>{"An image name was already taken in the data folder; the new "
                                     "picture is 1262026 50410 AM 1 Thermal (2).BMP and no file "
                                     "was replaced."})
      << "said once";
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
