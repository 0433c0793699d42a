#include "scan/sweep.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <map>

#include "device/report_trace.h"
#include "device/simulated_head.h"
#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;
using strings = std::vector<std::string>;

strings slice(const strings& all, std::size_t from, std::size_t n) {
  return strings(all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(from + n));
}

long count_of(const strings& all, const std::string& what) {
  return std::count(all.begin(), all.end(), what);
}

// X moves in order.
strings x_moves(const strings& all) {
  strings out;
  for (const auto& c : all)
    if (c[0] == 'X') out.push_back(c);
  return out;
}

TEST(Sweep, StartValuesGiveTheBaselineThenFourteenRowsOf16Points) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  EXPECT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);
  const strings c = r.head.commands();

  EXPECT_EQ(slice(c, 0, 10), strings(10, "T"));
  EXPECT_EQ(slice(c, 10, 6), (strings{"Z140", "L4", "S", "L5", "T", "L6"}));
  EXPECT_EQ(slice(c, 16, 5), (strings{"X100", "T", "L6", "S", "L5"}));
  EXPECT_EQ(count_of(c, "L4"), 14);
  EXPECT_EQ(x_moves(c).size(), 224u);
  EXPECT_EQ(count_of(c, "T"), 10 + 14 + 224);
  EXPECT_EQ(count_of(c, "S"), 14 + 224);
  EXPECT_EQ(c.back(), "L0");
  EXPECT_EQ(count_of(c, "L0"), 1);
  EXPECT_EQ(r->sweep.points_swept(), 224);

  // Rows up and back down; the first downward run starts at 255.
  strings z;
  for (const auto& s : c)
    if (s[0] == 'Z') z.push_back(s);
  EXPECT_EQ(z, (strings{"Z140", "Z150", "Z160", "Z170", "Z180", "Z190", "Z200", "Z200", "Z190",
                        "Z180", "Z170", "Z160", "Z150", "Z140"}));
  const strings x = x_moves(c);
  EXPECT_EQ(x[15], "X250");
  EXPECT_EQ(x[16], "X255");
  EXPECT_EQ(x[31], "X105");
  EXPECT_EQ(x[7 * 16], "X255") << "the downward pass begins with a decreasing run";
  // The first position caption of the sweep is that of its first X point.
  const auto first_position =
      std::find_if(r.window.captions.begin(), r.window.captions.end(),
                   [](const std::string& s) { return s.starts_with("X "); });
  ASSERT_NE(first_position, r.window.captions.end());
  EXPECT_EQ(*first_position, "X  100 Z  140");
  EXPECT_EQ(r->state.cnt, 2) << "two paintings a cycle";
}

TEST(Sweep, UpwardDecreasingRunsMoveBeforeTheCaptionAllOtherRunsAfter) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  std::map<std::string, std::vector<std::string>> last_write_at_caption;
  r.window.on_caption = [&](const std::string& c) {
    last_write_at_caption[c].push_back(r.head.commands().back());
  };
  r->sweep.sweep();
  // Row Z 150 of the upward pass runs downwards: X 255 is sent before its caption.
  EXPECT_EQ(last_write_at_caption["X  255 Z  150"].front(), "X255");
  // Increasing runs and the downward pass show the caption first.
  EXPECT_EQ(last_write_at_caption["X  100 Z  140"].front(), "L6");
  EXPECT_EQ(last_write_at_caption["X  255 Z  200"].back(), "L6");
}

TEST(Sweep, StepTwentyVisitsEveryTwentiethColumnAndRow) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r->state.step_d = 20;
  r->sweep.sweep();
  const strings x = x_moves(r.head.commands());
  EXPECT_EQ(slice(x, 0, 8),
            (strings{"X100", "X120", "X140", "X160", "X180", "X200", "X220", "X240"}));
  EXPECT_EQ(slice(x, 8, 8),
            (strings{"X255", "X235", "X215", "X195", "X175", "X155", "X135", "X115"}));
  strings z;
  for (const auto& s : r.head.commands())
    if (s[0] == 'Z') z.push_back(s);
  EXPECT_EQ(z, (strings{"Z140", "Z160", "Z180", "Z200", "Z200", "Z180", "Z160", "Z140"}));
}

TEST(Sweep, ZOffSendsNoZButStillLedFourAndStoresUnderTheNominalZ) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r.window.checks[check_box::z_off] = true;
  r.head.distances = {254};
  r->sweep.sweep();
  const strings c = r.head.commands();
  EXPECT_EQ(std::count_if(c.begin(), c.end(), [](auto& s) { return s[0] == 'Z'; }), 0);
  EXPECT_EQ(count_of(c, "L4"), 14);
  EXPECT_EQ(slice(c, 10, 5), (strings{"L4", "S", "L5", "T", "L6"}));
}

TEST(Sweep, TempOffAndSonicOffLeaveOnlyMovesAndLedFourAfterTheBaseline) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r.window.checks[check_box::temp_off] = true;
  r.window.checks[check_box::sonic_off] = true;
  r->sweep.sweep();
  const strings c = r.head.commands();
  EXPECT_EQ(slice(c, 0, 10), strings(10, "T"));
  for (std::size_t k = 10; k < c.size(); ++k)
    EXPECT_TRUE(c[k][0] == 'X' || c[k][0] == 'Z' || c[k] == "L4" || c[k] == "L0") << c[k];
  EXPECT_EQ(r->scope.column(), 10) << "only the baseline readings were plotted";
}

TEST(Sweep, StopTickedBeforehandEndsAfterTheFirstRowStartWithoutPainting) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::stop] = true;
  EXPECT_EQ(r->sweep.sweep(), sweep_procedure::outcome::stopped);
  strings expected(10, "T");
  for (auto s : {"Z140", "L4", "S", "L5", "T", "L6"}) expected.push_back(s);
  EXPECT_EQ(r.head.commands(), expected);
  EXPECT_EQ(r->state.cnt, 0);
}

TEST(Sweep, RepeatUntickedDuringTheDownwardPassFinishesThatCycle) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = true;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (r->state.cnt == 1) r.window.checks[check_box::repeat] = false;  // downward pass
  });
  watch.start(0);
  EXPECT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);
  EXPECT_EQ(r->sweep.cycles_completed(), 1);
  EXPECT_EQ(r->state.cnt, 2);
  EXPECT_EQ(r.head.commands().back(), "L0");
}

TEST(Sweep, StepChangeTakesEffectAtTheNextRunAndTheNextPass) {
  rig r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::stop] = false;
  r.window.checks[check_box::repeat] = false;
  // Change the step to 5 in the middle of the first run.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (r->exchange.output()[1] == 'X' && r->exchange.output()[2] == 150) r->state.step_d = 5;
  });
  watch.start(0);
  r.head.latency_ms = 1;
  r->sweep.sweep();
  watch.stop();
  const strings x = x_moves(r.head.commands());
  EXPECT_EQ(x[15], "X250") << "the current run keeps step 10";
  EXPECT_EQ(x[16], "X255");
  EXPECT_EQ(x[17], "X250") << "the next run takes step 5";
  strings z;
  for (const auto& s : r.head.commands())
    if (s[0] == 'Z') z.push_back(s);
  EXPECT_EQ(z[1], "Z150") << "the pass keeps its Z step";
  EXPECT_EQ(z[7], "Z200");
  EXPECT_EQ(z[8], "Z195") << "the downward pass takes the new step";
}

TEST(Sweep, TraceOfTheSimulatedHeadCarriesTheStaleBytes) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("t.txt").toStdString();
  testing::basic_rig<device::simulated_head> r;
  device::report_trace trace;
  ASSERT_TRUE(trace.open(path).empty());
  r->exchange.set_trace(&trace);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  EXPECT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);

  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  std::vector<std::string> out;
  for (const auto& line : f.readAll().split('\n'))
    if (line.startsWith("out")) out.push_back(line.toStdString());
  ASSERT_GT(out.size(), 20u);
  EXPECT_EQ(out[0], "out 00 54 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(out[10], "out 00 5a 8c 00 00 00 00 00 00 00 00");  // Z 140
  EXPECT_EQ(out[11], "out 00 4c 04 00 00 00 00 00 00 00 00");  // L 4
  EXPECT_EQ(out[12], "out 00 53 04 00 00 00 00 00 00 00 00");  // S keeps the 4
  EXPECT_EQ(out[13], "out 00 4c 05 00 00 00 00 00 00 00 00");  // L 5
  EXPECT_EQ(out[14], "out 00 54 05 00 00 00 00 00 00 00 00");  // T keeps the 5
  EXPECT_EQ(out[15], "out 00 4c 06 00 00 00 00 00 00 00 00");
  EXPECT_EQ(out[16], "out 00 58 64 00 00 00 00 00 00 00 00");  // X 100
  EXPECT_EQ(out.back(), "out 00 4c 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(out.size(), 10u + 14 * 6 + 224 * 5 + 1);
}

TEST(Sweep, MapsOfTheSimulatedSceneShowTheWarmObject) {
  testing::basic_rig<device::simulated_head> r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  r->sweep.sweep();
  const QImage& thermal = r.window.pictures(picture::thermal_map).image();
  const QImage& sonic = r.window.pictures(picture::sonic_map).image();
  // Object centre X 210, Z 172 -> cell (110, 32); wall at X 110, Z 150 -> cell (10, 10).
  EXPECT_GT(qGray(thermal.pixel(113, 33)), qGray(thermal.pixel(15, 12)) + 100);
  EXPECT_LT(qGray(sonic.pixel(113, 33)), qGray(sonic.pixel(15, 12)) - 40);
}

}  // namespace
}  // namespace brevane
