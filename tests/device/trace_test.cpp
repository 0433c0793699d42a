// The trace as written: its comments, and a failing disk.
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

std::vector<std::string> file_lines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  std::vector<std::string> lines;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.isEmpty()) lines.push_back(line.toStdString());
  return lines;
}

TEST(TraceComments, HeaderAndTheHeadGoingAndComingBack) {
  QTemporaryDir dir;
  const QString path = dir.filePath("t.txt");
  testing::basic_rig<simulated_head> r;
  report_trace trace;
  ASSERT_EQ(trace.open(path.toStdString(), "Brevane 1.00, simulated head (latency=0)"), "");
  r->exchange.set_trace(&trace);
  ASSERT_TRUE(r.start());
  r->exchange.xpos(100);
  r.head.set_unplug_after(0);
  ASSERT_TRUE(testing::run_events_until([&] { return r.window.caption() == caption_absent; }));
  r.head.replug();
  ASSERT_TRUE(testing::run_events_until([&] { return r.window.caption() == caption_running; }));

  const std::vector<std::string> expected = {
      "# Brevane 1.00, simulated head (latency=0)",
      "# plugged",
      "out 00 58 64 00 00 00 00 00 00 00 00",
      "in 00 00 00 58 00 00 00 00 00",
      "# unplugged",
      "# plugged",
  };
  EXPECT_EQ(file_lines(path), expected);
}

TEST(TraceComments, AFullDiskIsToldOnceAndEndsTheTrace) {
  if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full here";
  report_trace trace;
  const std::string refused = trace.open("/dev/full", "Brevane 1.00, USB");
  EXPECT_NE(refused.find("cannot write the trace file /dev/full"), std::string::npos) << refused;
  EXPECT_FALSE(trace.is_open());

  ASSERT_EQ(trace.open("/dev/full"), "");
  std::vector<std::string> told;
  trace.on_failure = [&](const std::string& message) { told.push_back(message); };
  const output_report out{0, 'X', 100};
  const input_report in{0, 0, 0, 'X'};
  trace.out(out);
  trace.in(in);
  trace.comment("unplugged");
  trace.out(out);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("/dev/full could not be written"), std::string::npos) << told[0];
  EXPECT_NE(told[0].find("after 0 whole lines"), std::string::npos) << told[0];
  EXPECT_TRUE(trace.failed());
}

}  // namespace
}  // namespace brevane::device
