#include "logging/scan_record_cycles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "logging/scan_record.h"
#include "support/memory_panel.h"

namespace brevane {
namespace {

reading_event reading(int cycle, int k, const QDateTime& start) {
  reading_event e;
  e.kind = cycle == 0 ? reading_kind::baseline : reading_kind::point;
  e.cycle = cycle;
  e.pass = cycle == 0 ? pass_direction::none : pass_direction::upward;
  e.point = k;
  e.x = 100 + k;
  e.z = 140;
  e.temperature_f = 70.0 + cycle + k / 8.0;
  if (k % 3 != 0) e.distance_in = 12.5 + k;
  e.time = start.addMSecs(cycle * 1000 + k);
  return e;
}

std::vector<recorded_reading> read_cycle(scan_record_cycles& reader, const QString& path,
                                         int cycle) {
  std::vector<recorded_reading> out;
  EXPECT_EQ(reader.read(path, cycle, [&](const recorded_reading& r) { out.push_back(r); }), "");
  return out;
}

// The live record grows while the Maps window asks for its cycles, in any order; each reads
// as the whole record has it, and a cycle the record has not reached, or a torn last line,
// gives nothing.
TEST(ScanRecordCycles, EachCycleReadsAsTheWholeRecordHasItWhileItGrows) {
  QTemporaryDir folder;
  testing::memory_panel window;
  scan_record_writer writer(window, folder.path(), head_description{"simulated", "", {}, {}}, 500,
                            "1.00", {});
  const QDateTime start(QDate(2026, 12, 6), QTime(5, 4, 10));
  writer.sweep_started({100, 140, 140, 160, 20, 20}, start);
  const auto write_cycle = [&](int cycle, int readings) {
    for (int k = 0; k < readings; ++k) {
      writer.reading_taken(reading(cycle, k, start));
      if (k == 5) writer.sweep_interrupted(interruption::paused, reading(cycle, k, start), "");
    }
    writer.raster_changed({100, 140 + cycle, 140, 160, 20, 20});
  };
  write_cycle(0, 4);
  write_cycle(1, 30);
  write_cycle(2, 7);
  scan_record_cycles reader;
  const QString path = writer.path();
  EXPECT_EQ(read_cycle(reader, path, 3).size(), 0u) << "not reached yet";
  EXPECT_EQ(read_cycle(reader, path, 2).size(), 7u);

  write_cycle(3, 12);
  write_cycle(4, 9);
  {
    QFile torn(path);
    ASSERT_TRUE(torn.open(QIODevice::Append));
    // Whole but for its line feed: the writer may be in the middle of it.
    torn.write(R"({"cycle":5,"distance_in":null,"kind":"point","ms":7,"pass":"upward",)"
               R"("point":2,"row":1,"temperature_f":70.2,"type":"reading","x":100,"z":140})");
  }
  std::string why;
  const auto whole = read_scan_record(path, &why);
  ASSERT_TRUE(whole) << why;
  for (const int cycle : {3, 1, 4, 2, 5, 4}) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    const auto got = read_cycle(reader, path, cycle);
    const auto expected =
        cycle <= 4 ? cycle_readings(*whole, cycle) : std::vector<recorded_reading>{};
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].event.x, expected[i].event.x);
      EXPECT_EQ(got[i].event.temperature_f, expected[i].event.temperature_f);
      EXPECT_EQ(got[i].event.distance_in, expected[i].event.distance_in);
      EXPECT_EQ(got[i].event.time, expected[i].event.time);
    }
  }
  // Another record under the same name is read as itself, not through the first one's index.
  QTemporaryDir other_folder;
  scan_record_writer other(window, other_folder.path(), head_description{"simulated", "", {}, {}},
                           500, "1.00", {});
  other.sweep_started({100, 140, 140, 160, 20, 20}, start.addSecs(1));
  for (int k = 0; k < 3; ++k) other.reading_taken(reading(1, k, start));
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QFile::copy(other.path(), path));
  EXPECT_EQ(read_cycle(reader, path, 1).size(), 3u);
  EXPECT_NE(reader.read(folder.filePath("gone.jsonl"), 1, [](const recorded_reading&) {})
                .find("gone.jsonl"),
            std::string::npos);
}

}  // namespace
}  // namespace brevane
