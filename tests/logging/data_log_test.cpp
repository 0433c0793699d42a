#include "logging/data_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDevice>

#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

QByteArray file_bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(DataLog, LinesAreExactlyAsReadersExpectThem) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.set_log_data(true);
  r->state.avgt = 25.0;
  r->state.posx = 170;
  r->state.posz = 170;
  r.head.repeat_last = false;
  // 24 F -> trace 15 -> logged 26.5; 25 F -> trace 0 -> 25.
  r.head.temperatures = {143, 149};  // 24.024 F and 25.032 F
  r->state.last_distance = 87;
  r->thermal.therm();
  r->thermal.therm();
  EXPECT_EQ(file_bytes(r->datalog.path()),
            "Time,Thermal,Distance,X pos,Y pos\r\n"
            "1262026 50410 AM, 26.5, 87, 170, 170\r\n"
            "1262026 50410 AM, 25, 87, 170, 170\r\n");
  EXPECT_EQ(r->state.tem, "1262026 50410 AM");
}

TEST(DataLog, OneHeaderPerRunEvenWhenSwitchedOffAndOn) {
  rig r;
  r.window.set_log_data(true);
  r->thermal.plot_and_log();
  r.window.set_log_data(false);
  r->thermal.plot_and_log();
  r.window.set_log_data(true);
  r->thermal.plot_and_log();
  const QByteArray text = file_bytes(r->datalog.path());
  EXPECT_EQ(text.count("Time,Thermal"), 1);
  EXPECT_EQ(text.count("\r\n"), 3);
  EXPECT_EQ(r->datalog.lines_written(), 2);

  // A new run appends its own header below the old lines.
  testing::memory_panel window2;
  window2.set_log_data(true);
  main_window_state state2;
  testing::pinned_clock clock2;
  data_log second(state2, window2, clock2, r.folder.path(),
                  QLocale(QLocale::English, QLocale::UnitedStates));
  second.log_step(0, 0);
  const QByteArray after = file_bytes(r->datalog.path());
  EXPECT_TRUE(after.startsWith(text));
  EXPECT_EQ(after.count("Time,Thermal"), 2);
}

TEST(DataLog, LoggingOffWritesNoFileButStillStampsTem) {
  rig r;
  r->state.tem = "old";
  r->thermal.plot_and_log();
  EXPECT_EQ(r->state.tem, "1262026 50410 AM");
  EXPECT_FALSE(QFile::exists(r->datalog.path()));
}

TEST(DataLog, StampFollowsTheLocaleAndDropsTheTimeAtMidnight) {
  testing::pinned_clock c;
  EXPECT_EQ(date_stem(c, QLocale(QLocale::German, QLocale::Germany)), "06122026 050410");
  // Midnight is the whole second: the milliseconds of the clock do not matter.
  const struct {
    QTime time;
    const char* stem;
  } cases[] = {{QTime(0, 0, 0), "1262026"},
               {QTime(0, 0, 0, 999), "1262026"},
               {QTime(0, 0, 1), "1262026 120001 AM"},
               {QTime(23, 59, 59, 999), "1262026 115959 PM"}};
  for (const auto& k : cases) {
    c.when = QDateTime(QDate(2026, 12, 6), k.time);
    EXPECT_EQ(date_stem(c, QLocale(QLocale::English, QLocale::UnitedStates)), k.stem)
        << k.time.toString("hh:mm:ss.zzz").toStdString();
  }
}

TEST(DataLog, FailedWriteDropsTheLineKeepsTheFileAndRetries) {
  rig r;
  r.window.set_log_data(true);
  r->thermal.plot_and_log();
  const QByteArray before = file_bytes(r->datalog.path());
  ASSERT_FALSE(before.isEmpty());

  // A folder in the file's place makes every open fail, even for root.
  const QString path = r->datalog.path();
  ASSERT_TRUE(QFile::rename(path, path + ".aside"));
  ASSERT_TRUE(QDir().mkdir(path));
  r->thermal.plot_and_log();
  r->thermal.plot_and_log();
  EXPECT_EQ(r.window.statuses.size(), 1u);
  ASSERT_FALSE(r.window.statuses.empty());
  EXPECT_NE(r.window.statuses[0].find("data log line could not be written"), std::string::npos);
  EXPECT_EQ(r->scope.column(), 3);  // the scope went on

  // The file is back: the next reading is logged below the old lines.
  ASSERT_TRUE(QDir().rmdir(path));
  ASSERT_TRUE(QFile::rename(path + ".aside", path));
  r->thermal.plot_and_log();
  const QByteArray after = file_bytes(path);
  EXPECT_TRUE(after.startsWith(before));
  EXPECT_EQ(after.count("\r\n"), before.count("\r\n") + 1);
}

TEST(DataLog, FullDiskLosesNothingAlreadyWrittenAndRecovers) {
  testing::memory_panel window;
  window.set_log_data(true);
  main_window_state state;
  testing::pinned_clock c;
  // A folder whose datalog.csv is /dev/full.
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::link("/dev/full", dir.filePath("datalog.csv")));
  data_log log(state, window, c, dir.path());
  log.log_step(0, 0);
  log.log_step(0, 0);
  EXPECT_EQ(window.statuses.size(), 1u);
  EXPECT_NE(window.statuses[0].find("space"), std::string::npos) << window.statuses[0];
  EXPECT_EQ(state.wp, 0);  // the header was not written, so the next line brings it
  EXPECT_EQ(log.lines_written(), 0);
}

}  // namespace
}  // namespace brevane
