#include "logging/scan_record_rows.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/file_output.h"
#include "logging/scan_record.h"
#include "logging/scan_record_csv.h"
#include "logging/scan_record_reader.h"
#include "support/memory_panel.h"

namespace brevane {
namespace {

// A record of 1000 readings with events between them, written as a sweep writes it; the rows
// the CSV export makes of it are what every read must agree with.
struct written_record {
  written_record() {
    const QDateTime start(QDate(2026, 12, 6), QTime(5, 4, 10));
    writer.sweep_started({100, 140, 140, 160, 20, 20}, start);
    for (int k = 0; k < 1000; ++k) {
      reading_event e;
      e.kind = k < 10 ? reading_kind::baseline : reading_kind::point;
      e.cycle = k < 10 ? 0 : 1;
      e.pass = k < 10 ? pass_direction::none : pass_direction::upward;
      e.point = k;
      // Where a head takes them: the baseline where it stands, the points inside the limits.
      e.x = k < 10 ? 0 : 100 + k % 41;
      e.z = k < 10 ? 0 : 140 + k % 21;
      e.temperature_f = 70.0 + k / 7.0;
      if (k % 3 != 0) e.distance_in = 12.5 + k;
      e.time = start.addMSecs(k * 3);
      writer.reading_taken(e);
      if (k % 97 == 0) writer.sweep_interrupted(interruption::paused, e, "");
      if (k == 9) writer.baseline_taken(70.5);
      if (k % 300 == 0) writer.raster_changed({100, 140 + k % 50, 140, 160, 20, 20});
    }
    writer.sweep_ended(sweep_end::completed, "", start.addSecs(10), false);
    std::string why;
    const auto record = read_scan_record(writer.path(), &why);
    EXPECT_TRUE(record) << why;
    for (const recorded_reading& r : record->readings) append_csv_row(all_rows, r);
    rows = all_rows.split('\n');
    rows.removeLast();
  }

  QByteArray expected(long long start, long long count) const {
    QByteArray out;
    for (long long i = start; i < start + count; ++i) out += rows[i] + '\n';
    return out;
  }

  QTemporaryDir folder;
  testing::memory_panel window;
  scan_record_writer writer{
      window, folder.path(), head_description{"simulated", "latency=0", {}, {}}, 500, "1.00", {}};
  QByteArray all_rows;
  QList<QByteArray> rows;
};

TEST(ScanRecordRows, AnyBlockReadsAsTheExportsRowsInAnyOrder) {
  written_record w;
  ASSERT_EQ(w.rows.size(), 1000);
  scan_record_rows reader;
  // Far ahead first, then back, across and inside the marks, to the last reading.
  const std::pair<long long, long long> blocks[] = {{700, 5},   {0, 1},   {255, 3},  {256, 1},
                                                    {511, 300}, {999, 1}, {0, 1000}, {300, 0}};
  for (const auto& [start, count] : blocks) {
    SCOPED_TRACE(std::to_string(start) + "," + std::to_string(count));
    QByteArray rows;
    EXPECT_EQ(reader.read(w.writer.path(), start, count, rows), "");
    EXPECT_EQ(rows, w.expected(start, count));
  }
}

TEST(ScanRecordRows, ARecordThatHoldsTooFewOrIsGoneIsNamedInTheReason) {
  written_record w;
  scan_record_rows reader;
  QByteArray rows;
  EXPECT_NE(reader.read(w.writer.path(), 990, 20, rows).find("holds 1000 readings, not 1010"),
            std::string::npos);
  EXPECT_EQ(rows, w.expected(990, 10)) << "what was read before it failed";
  ASSERT_TRUE(QFile::remove(w.writer.path()));
  rows.clear();
  const std::string why = reader.read(w.writer.path(), 0, 1, rows);
  EXPECT_NE(why.find(QDir::toNativeSeparators(w.writer.path()).toStdString()), std::string::npos)
      << why;
  EXPECT_TRUE(rows.isEmpty());
}

// A reading no head could have taken is refused by its line, as the record's reader names it;
// one inside the limits is read as a row.
TEST(ScanRecordRows, AReadingNoHeadCouldHaveTakenIsRefusedNamingItsLine) {
  const struct {
    const char* line;
    const char* reason;  // empty: read as a row
  } cases[] = {
      {R"({"cycle":1,"distance_in":null,"kind":"point","ms":9000,"pass":"upward","point":1,"row":1,"temperature_f":70,"type":"reading","x":300,"z":150})",
       "\"x\" 300 is outside the head's positions (0-255)"},
      {R"({"cycle":9,"distance_in":null,"kind":"point","ms":9000,"pass":"upward","point":1,"row":1,"temperature_f":70,"type":"reading","x":120,"z":150})",
       "\"cycle\" 9 skips ahead of cycle 1"},
      {R"({"cycle":1,"distance_in":null,"kind":"point","ms":9000,"pass":"upward","point":1,"row":1,"temperature_f":70,"type":"reading","x":120,"z":200})",
       "\"z\" 200 is outside the record's limits (140-160)"},
      {R"({"cycle":1,"distance_in":null,"kind":"point","ms":9000,"pass":"upward","point":1,"row":1,"temperature_f":70,"type":"reading","x":130,"z":150})",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    written_record w;
    QFile file(w.writer.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const long long lines = file.readAll().count('\n');
    files::output_file out;
    ASSERT_EQ(out.open_append(w.writer.path()), "");
    ASSERT_EQ(out.append(std::string(c.line) + "\n"), "");
    ASSERT_EQ(out.close(), "");
    scan_record_rows reader;
    QByteArray rows;
    const std::string why = reader.read(w.writer.path(), 990, 11, rows);
    if (*c.reason == '\0') {
      EXPECT_EQ(why, "");
      EXPECT_TRUE(rows.endsWith(",130,150,70,,9000\n")) << rows.toStdString();
      continue;
    }
    EXPECT_NE(why.find("line " + std::to_string(lines + 1) + ": " + c.reason), std::string::npos)
        << why;
    // Marks made on the way are used again: a later read refuses the line as the first did.
    EXPECT_EQ(reader.read(w.writer.path(), 995, 6, rows), why);
  }
}

}  // namespace
}  // namespace brevane
