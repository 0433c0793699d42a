// Plans from the command line: a sweep set by a plan is the sweep the same settings give when
// set by hand, its record is a plan again, and the dry run counts what the sweep then sends.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <map>

#include "app/instrument.h"
#include "app/plans.h"
#include "app/wiring.h"
#include "common/clock.h"
#include "device/report_trace.h"
#include "device/simulated_head.h"
#include "logging/data_log.h"
#include "logging/scan_record.h"
#include "scan/sweep_plan.h"
#include "support/rig.h"
#include "ui/main_window.h"
#include "ui/startup.h"

namespace brevane {
namespace {

struct run_result {
  int code = -1;
  QByteArray out;
  QByteArray err;
};

run_result run(const QStringList& arguments) {
  QProcess program;
  program.start(QStringLiteral(BREVANE_PROGRAM), arguments);
  run_result r;
  if (!program.waitForFinished(60000)) return r;
  r.code = program.exitCode();
  r.out = program.readAllStandardOutput();
  r.err = program.readAllStandardError();
  return r;
}

QByteArray read_all(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The reports of a trace, without its comments.
QList<QByteArray> reports(const QString& trace) {
  QList<QByteArray> lines;
  for (const QByteArray& line : read_all(trace).split('\n'))
    if (!line.isEmpty() && !line.startsWith('#')) lines << line;
  return lines;
}

// The data log without its time stamps, which differ from run to run.
QList<QByteArray> logged_values(const QString& folder) {
  QList<QByteArray> values;
  for (const QByteArray& line : read_all(QDir(folder).filePath(data_log_file_name)).split('\n'))
    values << line.mid(line.indexOf(',') + 1);
  return values;
}

// The image files by their number and picture ("3 Sonic"), the date before them left out.
std::map<QString, QByteArray> pictures(const QString& folder) {
  static const QRegularExpression tail(QStringLiteral(R"((\d+ (Thermal|Sonic|Histogram))\.BMP$)"));
  std::map<QString, QByteArray> found;
  for (const QString& name : QDir(folder).entryList({"*.BMP"}, QDir::Files))
    found[tail.match(name).captured(1)] = read_all(QDir(folder).filePath(name));
  return found;
}

QString only_record(const QString& folder) {
  const QDir scans(QDir(folder).filePath(QStringLiteral("scans")));
  const QStringList records = scans.entryList({"*.jsonl"}, QDir::Files);
  return records.size() == 1 ? scans.filePath(records.front()) : QString();
}

TEST(Plans, APlannedSweepIsTheSweepTheSameSettingsGiveByHand) {
  QTemporaryDir dir;
  const QString plan = dir.filePath("narrow.json");
  QFile file(plan);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"({"format": "brevane-plan", "version": 1, "settings": {"xmin": 120, "xmax": 200,
    "zmin": 150, "zmax": 180, "step": 5, "gain": 20, "sonic_off": true}})");
  file.close();

  const QString planned = dir.filePath("planned");
  const run_result r =
      run({"--simulate", "--sweep", "--plan", plan, "--trace", dir.filePath("planned.txt"),
           "--log-data", "--log-images", "--data-folder", planned});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();

  // The same settings set by hand in the window, the sweep started as --sweep starts it.
  const QString by_hand = dir.filePath("by hand");
  QDir().mkpath(by_hand);
  {
    main_window window;
    device::simulated_head head;
    system_clock wall_clock;
    instrument inst(head, window, wall_clock, by_hand, device::default_echo_timeout_ms);
    device::report_trace trace;
    ASSERT_EQ(trace.open(dir.filePath("by hand.txt").toStdString(), "by hand"), "");
    inst.exchange.set_trace(&trace);
    load_step(inst.state, window);
    // Not listening: the two runs are compared by their logs and pictures.
    const scan_record_writer record(window, by_hand, {}, 3000, "1.00", {});
    wire_window(window, inst, record, QString());
    window.set_log_data(true);
    window.set_log_images(true);
    inst.device.connect_link();
    ASSERT_TRUE(testing::run_events_until([&] { return inst.device.head_present(); }));
    const std::pair<const char*, int> bars[] = {
        {"xmin", 120}, {"xmax", 200}, {"zmin", 150}, {"zmax", 180}, {"gain", 20}};
    for (const auto& [name, value] : bars)
      qobject_cast<QScrollBar*>(window.control(name))->setValue(value);
    for (const char* name : {"Option1(3)", "sonicoff", "repeat"})
      qobject_cast<QAbstractButton*>(window.control(name))->click();
    ASSERT_TRUE(inst.runner.run("Sweep", [&] { inst.sweep.sweep(1); }));
    inst.device.disconnect_link();
  }

  const QList<QByteArray> sent = reports(dir.filePath("planned.txt"));
  EXPECT_GT(sent.size(), 1000);
  EXPECT_EQ(sent, reports(dir.filePath("by hand.txt")));
  EXPECT_EQ(logged_values(planned), logged_values(by_hand));
  const auto maps = pictures(planned);
  EXPECT_EQ(maps.size(), 6u) << "two paintings of three pictures";
  EXPECT_TRUE(maps == pictures(by_hand));

  // The record's settings are the plan's, and it names the plan.
  const QString record = only_record(planned);
  sweep_settings expected = start_settings();
  expected.repeat = false;  // unticked, as for every headless sweep
  std::string why;
  const auto from_plan = read_plan_file(plan, expected, &why);
  ASSERT_TRUE(from_plan) << why;
  EXPECT_EQ(read_plan_file(record, start_settings(1), &why), from_plan) << why;
  EXPECT_TRUE(read_all(record).contains(
      ("\"plan\":\"" + QDir(dir.path()).absoluteFilePath("narrow.json") + "\"").toUtf8()));

  // The record is a plan: saved as one, it reads back the same.
  const QString again = dir.filePath("again.json");
  const run_result saved = run({"--plan", record, "--save-plan", again});
  ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
  EXPECT_EQ(read_plan_file(again, start_settings(1), &why), from_plan) << why;
}

TEST(Plans, OpenPlanIsRefusedWhileASweepRuns) {
  QTemporaryDir dir;
  main_window window;
  device::simulated_head head;
  system_clock wall_clock;
  instrument inst(head, window, wall_clock, dir.path(), device::default_echo_timeout_ms);
  scan_record_writer record(window, dir.path(), {"simulated", {}, {}, {}}, 3000, "1.00", {});
  wire_plan_menu(window, inst, record, dir.path(), 3000);
  ASSERT_TRUE(inst.guard.begin("Sweep"));
  window.menu_item("open_plan")->trigger();  // no dialog opens
  EXPECT_EQ(window.status_text(),
            "The plan was not opened: the settings cannot change while Sweep runs; end it first "
            "(Escape).");
  inst.guard.end();
}

TEST(Plans, TheDryRunCountsWhatTheSweepThenSends) {
  const struct {
    QStringList settings;
    int cycles;
  } cases[] = {
      {{}, 1},
      {{"--set", "step=20"}, 2},
      {{"--set=step=3", "--set=xmin=140", "--set=xmax=180", "--set=zmin=160", "--set=zmax=170",
        "--set=sonic_off=true", "--set=z_off=true"},
       1},
      {{"--set=temp_off=true", "--set=x_off=true"}, 1},
      {{"--set=temp_off=true", "--set=sonic_off=true", "--set=step=20"}, 1},
  };
  static const QRegularExpression whole(QStringLiteral(
      R"(Whole sweep, \d+ cycle\(s\): (\d+) X, (\d+) Z, (\d+) T, (\d+) S, (\d+) L)"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings.join(' ').toStdString());
    QTemporaryDir dir;
    const QStringList sweep =
        QStringList{"--simulate", "--sweep", "--cycles", QString::number(c.cycles)} + c.settings;
    const run_result dry = run(sweep + QStringList{"--dry-run"});
    ASSERT_EQ(dry.code, 0) << dry.err.toStdString();
    const auto said = whole.match(QString::fromUtf8(dry.out));
    ASSERT_TRUE(said.hasMatch()) << dry.out.toStdString();

    const QString trace = dir.filePath("trace.txt");
    const run_result real =
        run(sweep + QStringList{"--trace", trace, "--data-folder", dir.filePath("data")});
    ASSERT_EQ(real.code, 0) << real.err.toStdString();
    std::map<QByteArray, int> sent;
    for (const QByteArray& line : reports(trace))
      if (line.startsWith("out ")) ++sent[line.mid(7, 2)];
    const char* letters[] = {"58", "5a", "54", "53", "4c"};  // X Z T S L
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(said.captured(i + 1).toInt(), sent[letters[i]]) << "letter " << letters[i];
  }
}

}  // namespace
}  // namespace brevane
