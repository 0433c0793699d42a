#include "device/replay_head.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "device/report_trace.h"
#include "device/simulated_head.h"
#include "support/rig.h"

namespace brevane::device {
namespace {

// The recording the next replay rig answers from.
recorded_session next_recording;

struct canned_replay_head : replay_head {
  canned_replay_head() : replay_head(next_recording) {}
};

recorded_session parsed(const std::string& text) {
  std::string error;
  auto session = parse_trace(text, &error);
  EXPECT_TRUE(session) << error;
  return session ? *session : recorded_session{};
}

// The trace's report lines, without its comments.
std::vector<std::string> report_lines(const QString& path) {
  QFile f(path);
  std::vector<std::string> lines;
  if (!f.open(QIODevice::ReadOnly)) return lines;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.isEmpty() && !line.startsWith('#')) lines.push_back(line.toStdString());
  return lines;
}

TEST(ReplayHead, ASweepReplaysAsRecordedAndEndsWhereTheRecordingEnds) {
  QTemporaryDir dir;
  const QString recorded = dir.filePath("rec.txt"), replayed = dir.filePath("rep.txt");
  {
    testing::basic_rig<simulated_head> r;
    report_trace trace;
    ASSERT_EQ(trace.open(recorded.toStdString(), "Brevane 1.00, simulated head"), "");
    r->exchange.set_trace(&trace);
    ASSERT_TRUE(r.start());
    r.window.checks[check_box::repeat] = false;
    ASSERT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);
  }
  std::string error;
  const auto session = read_trace(recorded.toStdString(), &error);
  ASSERT_TRUE(session) << error;
  next_recording = *session;

  testing::basic_rig<canned_replay_head> r;
  report_trace trace;
  ASSERT_EQ(trace.open(replayed.toStdString()), "");
  r->exchange.set_trace(&trace);
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  EXPECT_TRUE(r->runner.run("Sweep", [&] { r->sweep.sweep(); })) << r->runner.last_error();
  EXPECT_EQ(report_lines(replayed), report_lines(recorded));

  // A second cycle was never recorded.
  EXPECT_FALSE(r->runner.run("Sweep", [&] { r->sweep.sweep(); }));
  EXPECT_EQ(r->runner.last_error(), "report " + std::to_string(session->reports + 1) +
                                        " is past the end of the recording: the recorded "
                                        "session ends at report " +
                                        std::to_string(session->reports) +
                                        " (written 00 54 00 00 00 00 00 00 00 00 00)");
  EXPECT_EQ(r.window.caption(), "Report refused");
}

// A trace cut right after an out line holds no answer to it: the replay says the recording
// ends there, instead of waiting out the echo timeout and blaming the head.
TEST(ReplayHead, ARecordingCutAfterAReportSaysItEndsThere) {
  QTemporaryDir dir;
  const QString recorded = dir.filePath("rec.txt");
  {
    testing::basic_rig<simulated_head> r;
    report_trace trace;
    ASSERT_EQ(trace.open(recorded.toStdString(), "Brevane 1.00, simulated head"), "");
    r->exchange.set_trace(&trace);
    ASSERT_TRUE(r.start());
    r.window.checks[check_box::repeat] = false;
    ASSERT_EQ(r->sweep.sweep(), sweep_procedure::outcome::completed);
  }
  std::string error;
  auto session = read_trace(recorded.toStdString(), &error);
  ASSERT_TRUE(session) << error;
  // Cut after the fifth out report.
  int outs = 0;
  std::size_t cut = 0;
  while (cut < session->steps.size() && outs < 5)
    if (session->steps[cut++].what == trace_step::kind::out) ++outs;
  ASSERT_EQ(outs, 5);
  const int line = session->steps[cut - 1].line;
  session->steps.resize(cut);
  session->reports = 5;
  next_recording = *session;

  testing::basic_rig<canned_replay_head> r;
  ASSERT_TRUE(r.start());
  r.window.checks[check_box::repeat] = false;
  EXPECT_FALSE(r->runner.run("Sweep", [&] { r->sweep.sweep(); }));
  EXPECT_NE(r->runner.last_error().find("can come: the recording ends at report 5 (line " +
                                        std::to_string(line) + ")"),
            std::string::npos)
      << r->runner.last_error();
  EXPECT_EQ(r.window.caption(), "Recording ended");
}

TEST(ReplayHead, AReportThatDiffersEndsTheOperationNamingBoth) {
  const std::string trace =
      "# Brevane 1.00, simulated head (latency=0,seed=1729)\n"
      "# plugged\n"
      "out 00 58 64 00 00 00 00 00 00 00 00\n"
      "in 00 00 00 58 00 00 00 00 00\n"
      "out 00 5a 8c 00 00 00 00 00 00 00 00\n"
      "in 00 00 00 5a 00 00 00 00 00\n";
  const struct {
    std::vector<std::pair<char, int>> moves;
    int matched;
    std::string error;  // empty: the replay answers every move
  } cases[] = {
      {{{'X', 100}, {'Z', 140}}, 2, ""},
      {{{'X', 101}, {'Z', 140}},
       0,
       "report 1 differs from the recorded session (line 3): expected 00 58 64 00 00 00 00 00 00 "
       "00 00, written 00 58 65 00 00 00 00 00 00 00 00"},
      {{{'X', 100}, {'Z', 141}},
       1,
       "report 2 differs from the recorded session (line 5): expected 00 5a 8c 00 00 00 00 00 00 "
       "00 00, written 00 5a 8d 00 00 00 00 00 00 00 00"},
      {{{'X', 100}, {'Z', 140}, {'X', 100}},
       2,
       "report 3 is past the end of the recording: the recorded session ends at report 2 "
       "(written 00 58 64 00 00 00 00 00 00 00 00)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    next_recording = parsed(trace);
    testing::basic_rig<canned_replay_head> r;
    ASSERT_TRUE(r.start());
    const bool ran = r->runner.run("Move", [&] {
      for (const auto& [axis, to] : c.moves)
        axis == 'X' ? r->exchange.xpos(to) : r->exchange.zpos(to);
    });
    EXPECT_EQ(ran, c.error.empty());
    EXPECT_EQ(r->runner.last_error(), c.error);
    EXPECT_EQ(r.head.reports_matched(), c.matched);
    if (c.error.empty()) continue;
    // It answers nothing more, not even the report it expected.
    EXPECT_FALSE(r->runner.run("Move", [&] { r->exchange.xpos(100); }));
    EXPECT_EQ(r->runner.last_error(), c.error);
  }
}

// Records the notifications and reads each report as it is announced, as the program does.
struct logging_target : notification_target {
  explicit logging_target(replay_head& h) : head(h) {}
  void OnPlugged(device_handle h) override { log += 'P', handles.push_back(h); }
  void OnUnplugged(device_handle h) override { log += 'U', handles.push_back(h); }
  void OnChanged() override {
    log += 'C';
    head.set_read_notify(head.handle(vendor_id, product_id), true);
  }
  void OnRead(device_handle h) override {
    input_report r{};
    if (head.read(h, r)) log += static_cast<char>(r[echo_byte]);
  }
  replay_head& head;
  std::string log;
  std::vector<device_handle> handles;
};

TEST(ReplayHead, FollowsTheHeadGoingAndComingBackAfterTheReportBeforeIt) {
  replay_head head(
      parsed("# Brevane 1.00, USB\n"
             "# plugged\n"
             "out 00 58 64 00 00 00 00 00 00 00 00\n"
             "in 00 00 00 58 00 00 00 00 00\n"
             "# unplugged\n"
             "# plugged\n"
             "out 00 58 64 00 00 00 00 00 00 00 00\n"
             "in 00 00 00 58 00 00 00 00 00\n"));
  logging_target target(head);
  ASSERT_TRUE(head.connect(target));
  EXPECT_EQ(target.log, "");
  ASSERT_TRUE(testing::run_events_until([&] { return target.log == "PC"; }));

  const output_report x{0, 'X', 100};
  ASSERT_TRUE(head.write(vendor_id, product_id, x));
  EXPECT_EQ(target.log, "PC") << "nothing arrives inside write()";
  ASSERT_TRUE(testing::run_events_until([&] { return target.log == "PCXUCPC"; })) << target.log;
  ASSERT_EQ(target.handles.size(), 3u);
  EXPECT_EQ(target.handles[1], target.handles[0]) << "unplugged names the handle it had";
  EXPECT_NE(target.handles[2], target.handles[0]) << "it comes back with a new handle";
  EXPECT_EQ(head.vendor_id(target.handles[0]), vendor_id);

  ASSERT_TRUE(head.write(vendor_id, product_id, x));
  ASSERT_TRUE(testing::run_events_until([&] { return target.log == "PCXUCPCX"; })) << target.log;
  EXPECT_FALSE(head.write(vendor_id, product_id, x));
  EXPECT_EQ(head.last_write_error().substr(0, 45), "report 3 is past the end of the recording: th");
}

}  // namespace
}  // namespace brevane::device
