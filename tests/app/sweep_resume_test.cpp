// A sweep cut short goes on from its record exactly as it would have gone on, and a record that
// cannot be continued is refused; the record and the data log reach the disk every second.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>

#include "app/app_instrument.h"
#include "app/resume_jobs.h"
#include "common/file_output.h"
#include "display/maps_data.h"
#include "logging/data_folder.h"
#include "logging/scan_record.h"
#include "logging/scan_record_reader.h"
#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;
using strings = std::vector<std::string>;

// The reports sent up to the end of each reading.
struct report_marks : reading_observer {
  explicit report_marks(const testing::scripted_head& h) : head(h) {}
  void reading_taken(const reading_event&) override { ends.push_back(head.commands().size()); }
  const testing::scripted_head& head;
  std::vector<std::size_t> ends;
};

struct recorded : rig {
  explicit recorded(std::string serial = "H1")
      : writer(window, folder.path(), head_description{"usb", {}, std::move(serial), {}}, 500,
               "1.00", nullptr) {
    app.inst.readings.add(writer);
  }
  // Inside the controls' ranges, so that the record can be taken up: Z 150 and 170, X 140,
  // 160 and 180 at step 20, Repeat unticked. Per cycle 2 passes of 2 rows of a row start and 3
  // points.
  bool start_small() {
    if (!start()) return false;
    window.values[scroll_bar::xmin] = 140;
    window.values[scroll_bar::xmax] = 180;
    window.values[scroll_bar::zmin] = 150;
    window.values[scroll_bar::zmax] = 170;
    app.inst.state.step_d = 20;
    window.checks[check_box::repeat] = false;
    return true;
  }
  scan_record_writer writer;
};

strings places(const scan_record& r) {
  strings out;
  for (const recorded_reading& x : r.readings) {
    const reading_event& e = x.event;
    out.push_back(std::to_string(static_cast<int>(e.kind)) + " c" + std::to_string(e.cycle) + " " +
                  std::to_string(static_cast<int>(e.pass)) + " r" + std::to_string(e.row) + " p" +
                  std::to_string(e.point) + " x" + std::to_string(e.x) + " z" + std::to_string(e.z));
  }
  return out;
}

// The record's lines up to its n-th reading, and half of the line after it, as a kill leaves it.
QByteArray cut_after_reading(const QByteArray& whole, int n) {
  const QList<QByteArray> lines = whole.split('\n');
  QByteArray out;
  int readings = 0;
  for (const QByteArray& line : lines) {
    if (readings == n) return out + line.left(line.size() / 2);
    out += line + '\n';
    if (line.contains("\"type\":\"reading\"")) ++readings;
  }
  return out;
}

QString put_record(const QString& folder, const QByteArray& bytes) {
  QDir(folder).mkpath(QStringLiteral("scans"));
  const QString path = QDir(folder).filePath(QStringLiteral("scans/scan 2026-12-06 05-04-10.jsonl"));
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return path;
}

TEST(SweepResume, GoesOnWithExactlyTheReportsAndReadingsOfTheSweepThatWasNotStopped) {
  recorded full;
  report_marks marks(full.head);
  full->readings.add(marks);
  maps_data full_maps;
  maps_listener full_view(full_maps);
  full->readings.add(full_view);
  ASSERT_TRUE(full.start_small());
  full.window.set_log_data(true);
  ASSERT_TRUE(full->runner.run("Sweep", [&] { full->sweep.sweep(2); }));
  std::string why;
  const auto whole = read_scan_record(full.writer.path(), &why);
  ASSERT_TRUE(whole) << why;
  EXPECT_EQ(whole->header.log_data, true);
  EXPECT_EQ(whole->header.log_images, false);
  ASSERT_EQ(whole->readings.size(), 42u);  // 10 baseline readings, 2 cycles of 16
  const strings all = full.head.commands();
  QFile file(full.writer.path());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();

  // In the baseline, at its end, at a row start, inside a run, at the end of a pass, of a
  // cycle, and after the very last reading.
  for (const int held : {4, 10, 11, 13, 18, 26, 27, 41, 42}) {
    SCOPED_TRACE(held);
    recorded again;
    maps_data maps;
    maps_listener view(maps);
    again->readings.add(view);
    ASSERT_TRUE(again.start_small());
    const QString path = put_record(again.folder.path(), cut_after_reading(bytes, held));
    const auto plan = take_up_record(path, {"usb", "H1", false}, std::nullopt,
                                     again.folder.path(), *again, again.window, again.writer, &why);
    ASSERT_TRUE(plan) << why;
    EXPECT_TRUE(again.window.log_data_checked()) << "the data log goes on as the sweep kept it";
    EXPECT_FALSE(again.window.log_images_checked());
    EXPECT_EQ(plan->held, held);
    EXPECT_EQ(plan->to_go, 42 - held);
    ASSERT_TRUE(again->runner.run("Sweep", [&] { again->sweep.sweep(plan->cycles, &plan->from); }));

    // The head goes back to the last reading's place, then hears what it would have heard.
    const reading_event& last = whole->readings[static_cast<std::size_t>(held - 1)].event;
    const strings sent = again.head.commands();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "X" + std::to_string(last.x));
    EXPECT_EQ(sent[1], "Z" + std::to_string(last.z));
    EXPECT_EQ(strings(sent.begin() + 2, sent.end()),
              strings(all.begin() + static_cast<long>(marks.ends[static_cast<std::size_t>(held - 1)]),
                      all.end()));

    // The Maps window shows the cycle it went on in whole, also what came before the restart.
    const int cycle = std::max(1, last.cycle);
    EXPECT_EQ(maps.cells(cycle).size(), full_maps.cells(cycle).size());
    // The progress counts what the record holds as done: the percent is of the whole sweep.
    EXPECT_EQ(again->sweep.status().exchanges_done, full->sweep.status().exchanges_done);

    const auto resumed = read_scan_record(path, &why);
    ASSERT_TRUE(resumed) << why;
    EXPECT_EQ(places(*resumed), places(*whole));
    ASSERT_TRUE(resumed->end);
    EXPECT_EQ(resumed->end->readings, 42);
    EXPECT_EQ(resumed->avgt, whole->avgt);
    EXPECT_TRUE(resumed->problems.empty()) << resumed->problems.front();
    ASSERT_FALSE(resumed->interruptions.empty());
    EXPECT_EQ(resumed->interruptions.back().what, interruption::resumed);
    EXPECT_EQ(resumed->interruptions.back().before_reading, static_cast<std::size_t>(held));
  }
}

TEST(SweepResume, RefusesWhatCannotBeContinuedAndChangesNothing) {
  recorded full;
  ASSERT_TRUE(full.start_small());
  ASSERT_TRUE(full->runner.run("Sweep", [&] { full->sweep.sweep(1); }));
  QFile file(full.writer.path());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray ended = file.readAll();
  const QByteArray cut = cut_after_reading(ended, 15);

  const struct {
    const char* name;
    QByteArray record;
    head_identity head;
    bool locked;  // another program holds the record's data folder
    std::string refusal;  // empty: taken up
  } cases[] = {
      {"cut short", cut, {"usb", "H1", false}, false, ""},
      {"ended", ended, {"usb", "H1", false}, false, "its sweep has ended (completed)"},
      {"another head", cut, {"usb", "H2", false}, false, "taken by the head H1, not H2"},
      {"another kind of head", cut, {"simulated", "", false}, false, "not the head in use"},
      {"any head", cut, {"usb", "H2", true}, false, ""},
      {"a bad setting", QByteArray(cut).replace("\"xmin\":140", "\"xmin\":50"),
       {"usb", "H1", false}, false, "xmin"},
      {"the Stop box", QByteArray(cut).replace("\"stop\":false", "\"stop\":true"),
       {"usb", "H1", false}, false, "Stop box is ticked"},
      {"no reading", cut.left(cut.indexOf('\n') + 1), {"usb", "H1", false}, false, "no reading"},
      {"resumed already", cut, {"usb", "H1", false}, true, "another Brevane may hold it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    recorded again;
    const QString path = put_record(again.folder.path(), c.record);
    // The first program holds the folder; this one gets the next.
    const data_folder_claim first = claim_data_folder(again.folder.path());
    const data_folder_claim second = claim_data_folder(again.folder.path());
    const QString mine = c.locked ? second.path : first.path;
    std::string why;
    const auto plan = take_up_record(path, c.head, 1, mine, *again, again.window, again.writer, &why);
    if (c.refusal.empty()) {
      EXPECT_TRUE(plan) << why;
      continue;
    }
    EXPECT_FALSE(plan);
    EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
    EXPECT_NE(why.find("cannot be resumed"), std::string::npos) << why;
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), c.record);
  }
}

// SWEep:RESume:RECord runs what File > Resume Sweep runs, and says why when it cannot.
TEST(SweepResume, ARemoteClientResumesARecordOrHearsWhyNot) {
  recorded full;
  ASSERT_TRUE(full.start_small());
  ASSERT_TRUE(full->runner.run("Sweep", [&] { full->sweep.sweep(2); }));
  QFile file(full.writer.path());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray ended = file.readAll();

  recorded again;
  ASSERT_TRUE(again.start_small());
  app_instrument remote(again.window, *again, again.writer, {"Brevane", "SIM", "1"}, 500);
  remote.set_resume_place(again.folder.path(), {"usb", "H1", false});
  const QString path = put_record(again.folder.path(), ended);
  const remote::outcome refused = remote.resume_record(path.toStdString());
  EXPECT_EQ(refused.result, remote::outcome::kind::refused);
  EXPECT_NE(refused.reason.find("has ended"), std::string::npos) << refused.reason;

  put_record(again.folder.path(), cut_after_reading(ended, 20));
  ASSERT_EQ(remote.resume_record(path.toStdString()).result, remote::outcome::kind::done);
  ASSERT_TRUE(testing::run_events_until([&] { return !again->guard.busy(); }, 5000));
  std::string why;
  const auto resumed = read_scan_record(path, &why);
  ASSERT_TRUE(resumed) << why;
  ASSERT_TRUE(resumed->end);
  EXPECT_EQ(resumed->end->how, sweep_end::completed);
  EXPECT_EQ(resumed->readings.size(), 42u);
}

// Ten seconds of sweep by the clock the logs read: each reading takes 42 ms.
TEST(RecordSync, ATenSecondSweepSyncsTheRecordAndTheDataLogAtLeastNineTimes) {
  struct ticking : reading_observer {
    explicit ticking(testing::pinned_clock& c) : clock(c) {}
    void reading_taken(const reading_event&) override { clock.when = clock.when.addMSecs(42); }
    testing::pinned_clock& clock;
  };
  rig r;
  scan_record_writer writer(r.window, r.folder.path(), head_description{"usb", {}, {}, {}}, 500,
                            "1.00", nullptr);
  ticking tick(r.clock_);
  r->readings.add(tick);
  r->readings.add(writer);
  std::map<QString, int> syncs;
  files::set_sync_listener([&](const QString& path) { ++syncs[QFileInfo(path).fileName()]; });
  r.window.checks[check_box::repeat] = false;
  r.window.set_log_data(true);
  ASSERT_TRUE(r.start());
  const QDateTime began = r.clock_.when;
  ASSERT_TRUE(r->runner.run("Sweep", [&] { r->sweep.sweep(1); }));
  files::set_sync_listener(nullptr);
  ASSERT_GE(began.msecsTo(r.clock_.when), 10000);
  EXPECT_GE(syncs[QFileInfo(writer.path()).fileName()], 9);
  EXPECT_GE(syncs[QString::fromLatin1(data_log_file_name)], 9);
}

}  // namespace
}  // namespace brevane
