#include "logging/scan_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>

#include "logging/scan_record_csv.h"
#include "logging/scan_record_quick_line.h"
#include "logging/scan_record_reader.h"
#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

// Runs a callback at the n-th reading.
struct at_reading : reading_observer {
  int n = 0;
  std::function<void()> act;
  int seen = 0;
  void reading_taken(const reading_event&) override {
    if (++seen == n && act) act();
  }
};

struct recorded_rig {
  explicit recorded_rig(int echo_timeout_ms = 500) : r(echo_timeout_ms) {
    r->readings.add(writer);
    r->readings.add(trigger);
  }
  bool sweep() {
    return r->runner.run("Sweep", [this] { r->sweep.sweep(1); });
  }
  std::vector<QJsonObject> lines() const {
    QFile f(writer.path());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << writer.path().toStdString();
    std::vector<QJsonObject> out;
    for (const QByteArray& line : f.readAll().split('\n'))
      if (!line.isEmpty()) out.push_back(QJsonDocument::fromJson(line).object());
    return out;
  }
  QString scans() const { return QDir(r.folder.path()).filePath("scans"); }

  rig r;
  std::vector<std::string> reports;
  scan_record_writer writer{
      r.window, r.folder.path(), head_description{"usb", {}, "", "1-1.4:1.0"},
      500,      "1.00",          [this](const std::string& m) { reports.push_back(m); }};
  at_reading trigger;
};

TEST(ScanRecord, FirstAndLastLinesSayWhatWasSweptAndHowItEnded) {
  const struct {
    const char* how;
    std::function<void(recorded_rig&)> arrange;
    long readings;  // before the end
  } cases[] = {
      {"completed", [](recorded_rig&) {}, 10 + 16},
      {"stopped", [](recorded_rig& t) { t.r.window.checks[check_box::stop] = true; }, 11},
      {"cancelled",
       [](recorded_rig& t) {
         t.trigger.n = 12;
         t.trigger.act = [&t] { t.r->exchange.guard().cancel("Escape"); };
       },
       12},
      {"echo timeout", [](recorded_rig& t) { t.r.head.silent = true; }, 0},
      {"head unplugged",
       [](recorded_rig& t) {
         t.trigger.n = 13;
         t.trigger.act = [&t] { t.r.head.plugged = false; };
       },
       13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    recorded_rig t(200);
    ASSERT_TRUE(t.r.start());
    testing::use_small_raster(t.r);
    t.r.window.values[scroll_bar::gain] = 7;
    c.arrange(t);
    t.sweep();
    EXPECT_TRUE(t.reports.empty());
    EXPECT_EQ(QFileInfo(t.writer.path()).fileName(), "scan 2026-12-06 05-04-10.jsonl");
    const auto lines = t.lines();
    ASSERT_GE(lines.size(), 2u);
    const QJsonObject first = lines.front();
    EXPECT_EQ(first["type"], "sweep");
    EXPECT_EQ(first["format"], "brevane-scan");
    EXPECT_EQ(first["version"], 1);
    EXPECT_EQ(first["program_version"], "1.00");
    EXPECT_EQ(first["head"].toObject(),
              (QJsonObject{{"kind", "usb"}, {"serial", QJsonValue()}, {"path", "1-1.4:1.0"}}));
    // The local start with its offset written out.
    const QDateTime start = QDateTime::fromString(first["start"].toString(), Qt::ISODateWithMs);
    EXPECT_EQ(start, t.r.clock_.when);
    EXPECT_TRUE(first["start"].toString().startsWith("2026-12-06T05:04:10.000"));
    EXPECT_EQ(first["settings"].toObject(), (QJsonObject{{"xmin", 100},
                                                         {"xmax", 140},
                                                         {"zmin", 140},
                                                         {"zmax", 160},
                                                         {"row_step", 20},
                                                         {"point_step", 20},
                                                         {"step", 20},
                                                         {"gain", 7},
                                                         {"repeat", false},
                                                         {"stop", c.how == std::string("stopped")},
                                                         {"sonic_off", false},
                                                         {"temp_off", false},
                                                         {"x_off", false},
                                                         {"z_off", false},
                                                         {"echo_timeout_ms", 500}}));
    const QJsonObject last = lines.back();
    EXPECT_EQ(last["type"], "end");
    EXPECT_EQ(last["how"], c.how);
    EXPECT_EQ(last["readings"], static_cast<double>(c.readings));
    EXPECT_EQ(c.how == std::string("completed"), last["message"].toString().isEmpty());

    // And it reads back the same.
    std::string refusal;
    const auto record = read_scan_record(t.writer.path(), &refusal);
    ASSERT_TRUE(record) << refusal;
    EXPECT_TRUE(record->problems.empty()) << record->problems.front();
    EXPECT_EQ(scan_record_ending(*record), c.how);
    EXPECT_EQ(static_cast<long>(record->readings.size()), c.readings);
    EXPECT_EQ(record->header.raster, (raster_in_use{100, 140, 140, 160, 20, 20}));
    EXPECT_EQ(record->header.head_path, "1-1.4:1.0");
    EXPECT_EQ(record->avgt.has_value(), c.readings >= 10);
  }
}

TEST(ScanRecord, ANameInUseGetsANumberAndAFolderThatCannotBeWrittenIsReportedOnce) {
  recorded_rig t;
  ASSERT_TRUE(t.r.start());
  testing::use_small_raster(t.r);
  ASSERT_TRUE(QDir().mkpath(t.scans()));
  const QString taken = QDir(t.scans()).filePath("scan 2026-12-06 05-04-10.jsonl");
  {
    QFile f(taken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("someone else's\n");
  }
  for (const char* expected :
       {"scan 2026-12-06 05-04-10 2.jsonl", "scan 2026-12-06 05-04-10 3.jsonl"}) {
    EXPECT_TRUE(t.sweep());
    EXPECT_EQ(QFileInfo(t.writer.path()).fileName(), expected);
  }
  QFile f(taken);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "someone else's\n");

  // scans/ taken by a file: the sweep and the data log go on, one message says why.
  recorded_rig blocked;
  ASSERT_TRUE(blocked.r.start());
  testing::use_small_raster(blocked.r);
  blocked.r.window.set_log_data(true);
  QFile block(blocked.scans());
  ASSERT_TRUE(block.open(QIODevice::WriteOnly));
  block.close();
  EXPECT_TRUE(blocked.sweep());
  EXPECT_EQ(blocked.r->sweep.points_swept(), 12);
  EXPECT_GT(blocked.r->datalog.lines_written(), 0);
  ASSERT_EQ(blocked.reports.size(), 1u);
  EXPECT_NE(blocked.reports[0].find("scan record"), std::string::npos);
}

// A real record, damaged in the ways a crash, a disk or a wrong file damage it.
TEST(ScanRecord, DamagedLinesAreNamedAndForeignFilesRefused) {
  recorded_rig t;
  ASSERT_TRUE(t.r.start());
  testing::use_small_raster(t.r);
  ASSERT_TRUE(t.sweep());
  QFile f(t.writer.path());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> good = f.readAll().split('\n');  // 29 lines and an empty tail
  ASSERT_EQ(good.size(), 30);
  auto joined = [](QList<QByteArray> lines) { return lines.join('\n'); };
  auto without_end = good.mid(0, 28);
  auto garbled = good;
  garbled[4] = "{\"type\":\"reading\",\"kind\":\"po";
  garbled[6].replace("\"x\":", "\"y\":");
  const QByteArray huge =
      "{\"type\":\"reading\",\"pad\":\"" + QByteArray(scan_record_line_limit + 10, 'a') + "\"}";
  auto long_line = good;
  long_line.insert(3, huge);
  auto wrong_format = good;
  wrong_format[0].replace("brevane-scan", "other-scan");

  const struct {
    const char* what;
    QByteArray text;
    const char* refusal;  // part of the refusal, or nullptr when it reads
    std::size_t readings;
    std::vector<std::string> problems;  // starts of each problem
    const char* ending;
  } cases[] = {
      {"whole", joined(good), nullptr, 26, {}, "completed"},
      {"no end line",
       joined(without_end) + '\n',
       nullptr,
       26,
       {"the record ended unexpectedly after line 28"},
       "ended unexpectedly"},
      {"torn last line",
       joined(without_end) + "\n{\"type\":\"en",
       nullptr,
       26,
       {"line 29: not a JSON object", "the record ended unexpectedly"},
       "ended unexpectedly"},
      {"garbled lines",
       joined(garbled),
       nullptr,
       24,
       {"line 5: not a JSON object", "line 7: \"x\" is not a whole number"},
       "completed"},
      {"a line over 1 MB",
       joined(long_line),
       nullptr,
       26,
       {"line 4: longer than 1 MB"},
       "completed"},
      {"another format",
       joined(wrong_format),
       "does not name the format \"brevane-scan\"",
       0,
       {},
       ""},
      {"binary",
       QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
       "first line is not a JSON object",
       0,
       {},
       ""},
      {"empty", QByteArray(), "it is empty", 0, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = QDir(t.r.folder.path()).filePath("case.jsonl");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(c.text);
    out.close();
    std::string refusal;
    const auto record = read_scan_record(path, &refusal);
    if (c.refusal) {
      EXPECT_FALSE(record);
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
      continue;
    }
    ASSERT_TRUE(record) << refusal;
    EXPECT_EQ(record->readings.size(), c.readings);
    ASSERT_EQ(record->problems.size(), c.problems.size());
    for (std::size_t i = 0; i < c.problems.size(); ++i)
      EXPECT_TRUE(record->problems[i].starts_with(c.problems[i])) << record->problems[i];
    EXPECT_EQ(scan_record_ending(*record), c.ending);
    // The good lines after the damage are kept: the last reading is the sweep's last point.
    EXPECT_EQ(record->readings.back().event.x, 140);
    EXPECT_EQ(record->readings.back().event.z, 140);
  }
}

TEST(ScanRecord, ExportsOneCsvRowPerReading) {
  recorded_rig t;
  ASSERT_TRUE(t.r.start());
  testing::use_small_raster(t.r);
  t.r.window.checks[check_box::sonic_off] = true;
  // A raster change mid-sweep reads back before its first reading.
  t.trigger.n = 12;
  t.trigger.act = [&t] { t.r.window.values[scroll_bar::xmax] = 120; };
  ASSERT_TRUE(t.sweep());
  std::string refusal;
  const auto record = read_scan_record(t.writer.path(), &refusal);
  ASSERT_TRUE(record) << refusal;
  ASSERT_EQ(record->raster_changes.size(), 1u);
  EXPECT_EQ(record->raster_changes[0].raster.xmax, 120);
  EXPECT_EQ(record->raster_changes[0].before_reading, 15u);
  EXPECT_EQ(cycle_readings(*record).size(), 13u);

  const QString table = QDir(t.r.folder.path()).filePath("out.csv");
  QLocale::setDefault(QLocale(QLocale::German));
  EXPECT_EQ(export_scan_csv(*record, table), "");
  QLocale::setDefault(QLocale::c());
  QFile f(table);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> rows = f.readAll().split('\n');
  ASSERT_EQ(rows.size(), 1 + 23 + 1);
  EXPECT_EQ(rows[0], "cycle,pass,kind,row,point,x,z,temperature_f,distance_in,ms");
  EXPECT_EQ(rows[1], "0,,baseline,0,1,0,0,70.056,,0");
  EXPECT_EQ(rows[11], "1,upward,row_start,1,0,0,140,70.056,,0");
  EXPECT_EQ(rows[23], "1,downward,point,2,2,120,140,70.056,,0");
  EXPECT_EQ(rows[24], "");

  EXPECT_NE(export_scan_csv(*record, QDir(t.r.folder.path()).filePath("no/such/folder/x.csv")), "");
}

}  // namespace
}  // namespace brevane

namespace brevane {
namespace {

// The fast path of the reader takes only what the full JSON parser would read the same way.
TEST(ScanRecord, TheFastPathAgreesWithTheJsonParser) {
  const QDateTime start = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
  const std::string good =
      R"({"cycle":1,"distance_in":null,"kind":"point","ms":40,"pass":"downward","point":3,)"
      R"("row":1,"temperature_f":70.39200000000001,"type":"reading","x":120,"z":150})";
  auto with = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    return s.replace(s.find(from), from.size(), to);
  };
  const struct {
    std::string line;
    bool quick;  // the fast path reads it
    bool reads;  // the record keeps it as a reading
  } cases[] = {
      {good, true, true},
      {" " + with(":1,", " : 1 ,") + " \r", true, true},
      {with(R"("point",)", R"("\u0070oint",)"), false, true},  // escapes: full parser
      {with(":120,", ":1.2e2,"), true, true},
      {with(":120,", ":0120,"), false, false},  // not JSON
      {with(":120,", ":120.5,"), false, false},
      {with(":null", ":\"\""), false, false},
      {with(R"("x":120,)", ""), false, false},  // missing
      // A key twice: the fast path leaves it, and the full parser names it as damaged.
      {with(R"("x":120,)", R"("x":120,"x":121,)"), false, false},
      {with(R"("ms":40,)", R"("ms":40,"note":"why",)"), false, true},
      {with(":70.39200000000001", ":1e999"), false, false},
      {good.substr(0, good.size() - 1), false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto quick = quick_reading_line(c.line, start);
    EXPECT_EQ(quick.has_value(), c.quick);
    if (quick) {
      EXPECT_EQ(quick->event.x, 120);
      EXPECT_EQ(quick->event.z, 150);
      EXPECT_EQ(quick->event.pass, pass_direction::downward);
      EXPECT_EQ(quick->event.temperature_f, 70.39200000000001);
      EXPECT_FALSE(quick->event.distance_in);
      EXPECT_EQ(quick->event.time, start.addMSecs(40));
    }
    QTemporaryDir folder;
    const QString path = folder.filePath("r.jsonl");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"format":"brevane-scan","version":1,"start":"2026-12-06T05:04:10.000+01:00",)"
            R"("settings":{"xmin":100,"xmax":255,"zmin":140,"zmax":200,"row_step":10,)"
            R"("point_step":10,"step":10,"gain":10,"echo_timeout_ms":3000},"type":"sweep"})"
            "\n");
    f.write(QByteArray::fromStdString(c.line + "\n"));
    f.close();
    std::string refusal;
    const auto record = read_scan_record(path, &refusal);
    ASSERT_TRUE(record) << refusal;
    ASSERT_EQ(record->readings.size(), c.reads ? 1u : 0u);
    if (c.reads) {
      EXPECT_EQ(record->readings[0].event.z, 150);
    }
  }
}

}  // namespace
}  // namespace brevane

namespace brevane {
namespace {

constexpr const char* test_header =
    R"({"format":"brevane-scan","version":1,"start":"2026-12-06T05:04:10.000+01:00",)"
    R"("settings":{"xmin":100,"xmax":255,"zmin":140,"zmax":200,"row_step":10,)"
    R"("point_step":10,"step":10,"gain":10,"echo_timeout_ms":3000},"type":"sweep"})";

// A record of damaged lines names the first thousand and counts the rest: their names must not
// cost what the file does. The good readings among them are all kept, streamed or not.
TEST(ScanRecord, DamagedLinesPastTheFirstThousandAreCounted) {
  const std::string reading =
      R"({"cycle":1,"distance_in":null,"kind":"point","ms":40,"pass":"upward","point":3,)"
      R"("row":1,"temperature_f":70.5,"type":"reading","x":120,"z":140})";
  std::string text = std::string(test_header) + "\n";
  for (int i = 0; i < 1500; ++i) text += (i % 100 == 0 ? reading : "{\"type\":\"rea") + "\n";
  std::string refusal;
  const auto record = parse_scan_record(text, "case.jsonl", &refusal);
  ASSERT_TRUE(record) << refusal;
  EXPECT_EQ(record->readings.size(), 15u);
  // 1485 torn lines and the missing end line.
  EXPECT_EQ(record->problems.size(), scan_record_problems_kept + 1);
  EXPECT_EQ(record->problems_left_out, 1485 - scan_record_problems_kept);
  EXPECT_EQ(record->problems.front().rfind("line 3: not a JSON object", 0), 0u);
}

// A number no integer can hold names its line as damaged, on the fast path and the full one.
TEST(ScanRecord, NumbersOutOfRangeNameTheirLine) {
  const std::string reading =
      R"({"cycle":1,"distance_in":null,"kind":"point","ms":40,"pass":"upward","point":3,)"
      R"("row":1,"temperature_f":70.5,"type":"reading","x":120,"z":140})";
  const std::string pause =
      R"({"cycle":1,"ms":40,"pass":"upward","point":3,"row":1,"type":"pause","x":120,"z":140})";
  const std::string end = R"({"how":"completed","message":"","readings":1,"type":"end"})";
  auto with = [](std::string s, const std::string& from, const std::string& to) {
    return s.replace(s.find(from), from.size(), to);
  };
  const struct {
    std::string line;
    const char* problem;  // nullptr: read
  } cases[] = {
      {reading, nullptr},
      {with(reading, ":40,", ":40.9,"), nullptr},  // a fraction of a millisecond is dropped
      {with(reading, ":40,", ":-40,"), nullptr},
      {with(reading, ":40,", ":1e300,"), "\"ms\" is not a number of milliseconds in range"},
      {with(reading, ":40,", ":-1e300,"), "\"ms\" is not a number of milliseconds in range"},
      {with(reading, ":40,", ":9.3e18,"), "\"ms\" is not a number of milliseconds in range"},
      {with(reading, ":40,", ":\"40\","), "\"ms\" is not a number of milliseconds in range"},
      {with(reading, "\"x\":120", "\"x\":1e300"), "\"x\" is not a whole number"},
      {with(reading, "\"cycle\":1", "\"cycle\":-3e9"), "\"cycle\" is not a whole number"},
      {with(reading, "\"row\":1", "\"row\":1e19"), "\"row\" is not a whole number"},
      {pause, nullptr},
      {with(pause, ":40,", ":1e300,"), "\"ms\" is not a number of milliseconds in range"},
      {with(pause, "\"cycle\":1", "\"cycle\":1e19"), "\"cycle\" is not a whole number"},
      {with(pause, "\"row\":1", "\"row\":-1e300"), "\"row\" is not a whole number"},
      {with(pause, "\"point\":3", "\"point\":3e9"), "\"point\" is not a whole number"},
      {with(pause, "\"x\":120", "\"x\":1e19"), "\"x\" is not a whole number"},
      {with(pause, "\"z\":140", "\"z\":1e300"), "\"z\" is not a whole number"},
      {end, nullptr},
      {with(end, ":1,", ":1e19,"), "\"readings\" is not a count of readings in range"},
      {with(end, ":1,", ":1e300,"), "\"readings\" is not a count of readings in range"},
      {with(end, ":1,", ":-1,"), "\"readings\" is not a count of readings in range"},
  };
  const QDateTime start = QDateTime::fromString("2026-12-06T04:04:10.000Z", Qt::ISODateWithMs);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::string refusal;
    const auto record =
        parse_scan_record(std::string(test_header) + "\n" + c.line + "\n", "case.jsonl", &refusal);
    ASSERT_TRUE(record) << refusal;
    const bool is_reading = c.line.find("\"reading\"") != std::string::npos;
    if (c.problem) {
      ASSERT_FALSE(record->problems.empty());
      EXPECT_EQ(record->problems.front(), std::string("line 2: ") + c.problem);
      EXPECT_TRUE(record->readings.empty());
      EXPECT_TRUE(record->interruptions.empty());
      EXPECT_FALSE(quick_reading_line(c.line, start)) << "the fast path leaves it to the other";
    } else {
      EXPECT_EQ(record->readings.size() + record->interruptions.size() + record->end.has_value(),
                1u);
      if (is_reading) {
        EXPECT_EQ(record->readings[0].event.time, start.addMSecs(record->readings[0].ms));
        EXPECT_EQ(std::abs(record->readings[0].ms), 40);
      }
    }
  }
}

// Positions a head cannot reach and cycles the readings do not hold are damaged lines, named,
// so that no number in a record decides how large an export grows.
TEST(ScanRecord, ReadingsNoHeadCouldTakeAreNamed) {
  const auto reading = [](const char* kind, int cycle, int x, int z) {
    return std::string(R"({"cycle":)") + std::to_string(cycle) + R"(,"distance_in":null,"kind":")" +
           kind +
           R"(","ms":40,"pass":"upward","point":3,"row":1,"temperature_f":70.5,"type":"reading","x":)" +
           std::to_string(x) + ",\"z\":" + std::to_string(z) + "}\n";
  };
  const std::string raster =
      R"({"type":"raster","xmin":20,"xmax":255,"zmin":140,"zmax":200,"row_step":10,"point_step":10})"
      "\n";
  const struct {
    std::string body;
    std::size_t kept;
    const char* problem;  // the first, or nullptr
  } cases[] = {
      {reading("baseline", 0, 0, 0) + reading("row_start", 1, 0, 140) +
           reading("point", 1, 100, 140),
       3, nullptr},
      {reading("point", 1, 300, 140), 0,
       "line 2: \"x\" 300 is outside the head's positions (0-255)"},
      {reading("baseline", 0, 0, -1), 0,
       "line 2: \"z\" -1 is outside the head's positions (0-255)"},
      {reading("point", 1, 90, 140), 0,
       "line 2: \"x\" 90 is outside the record's limits (100-255)"},
      {reading("row_start", 1, 0, 139), 0,
       "line 2: \"z\" 139 is outside the record's limits (140-200)"},
      {raster + reading("point", 1, 90, 140), 1, nullptr},  // a change widens the limits
      {reading("point", 1, 100, 140) + reading("point", 100000, 100, 140), 1,
       "line 3: \"cycle\" 100000 skips ahead of cycle 1"},
      {reading("point", 1, 100, 140) + reading("point", 2, 100, 140), 2, nullptr},
      {reading("point", 0, 100, 140), 0, "line 2: \"cycle\" 0 is no cycle a reading has"},
      {reading("baseline", 2, 0, 0), 0, "line 2: \"cycle\" 2 is no cycle a baseline has"},
      {R"({"type":"raster","xmin":-2000000000,"xmax":2000000000,"zmin":140,"zmax":200,)"
       R"("row_step":10,"point_step":10})"
       "\n",
       0, "line 2: \"xmin\" -2000000000 is not a position of the head (0-255)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    std::string refusal;
    const auto record =
        parse_scan_record(std::string(test_header) + "\n" + c.body, "case.jsonl", &refusal);
    ASSERT_TRUE(record) << refusal;
    EXPECT_EQ(record->readings.size(), c.kept);
    ASSERT_FALSE(record->problems.empty());
    EXPECT_EQ(record->problems.front(), c.problem ? c.problem : record->problems.back());
  }
  std::string header(test_header), refusal;
  header.replace(header.find("\"xmax\":255"), 10, "\"xmax\":1e9");
  EXPECT_FALSE(parse_scan_record(header, "wide.jsonl", &refusal));
  EXPECT_EQ(refusal,
            "wide.jsonl is not a scan record: its settings' limits are impossible: "
            "\"xmax\" 1000000000 is not a position of the head (0-255)");
}

// What is no regular file could block the open or never end: it is refused, not read.
TEST(ScanRecord, OnlyARegularFileIsRead) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const struct {
    QString path;
    const char* refusal;
  } cases[] = {
      {QStringLiteral("/dev/zero"), "/dev/zero is not a scan record: it is a device, not a file"},
      {QStringLiteral("/dev/null"), "/dev/null is not a scan record: it is a device, not a file"},
      {fifo, " is not a scan record: it is a FIFO, not a file"},
      {dir.path(), " is not a scan record: it is a folder, not a file"},
      {dir.filePath("missing"), " cannot be read: No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    std::string refusal;
    EXPECT_FALSE(read_scan_record(c.path, &refusal));
    EXPECT_TRUE(refusal.ends_with(c.refusal)) << refusal;
  }
}

}  // namespace
}  // namespace brevane
