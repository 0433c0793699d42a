// The trace as written (comments, a failing disk) and as read back for a replay.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "device/report_trace.h"
#include "device/simulated_head.h"
#include "device/trace_reader.h"
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

TEST(TraceReader, KeepsReportsAndPlugEventsAndSkipsOtherComments) {
  using k = trace_step::kind;
  const std::string text =
      "# Brevane 1.00, USB\n"
      "# plugged\n"
      "# Brevane 1.00, USB\n"  // an earlier run that sent nothing gives way
      "# plugged\n"
      "# a remark\n"
      "out 00 58 64 00 00 00 00 00 00 00 00\n"
      "in 00 00 00 58 00 00 00 00 00\r\n"
      "#unplugged\n"
      "# plugged\n"
      "out 00 5A 8C 00 00 00 00 00 00 00 00";
  std::string error;
  const auto session = parse_trace(text, &error);
  ASSERT_TRUE(session) << error;
  std::vector<std::pair<k, int>> steps;
  for (const trace_step& s : session->steps) steps.emplace_back(s.what, s.line);
  const std::vector<std::pair<k, int>> expected = {
      {k::plugged, 4}, {k::out, 6}, {k::in, 7}, {k::unplugged, 8}, {k::plugged, 9}, {k::out, 10}};
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(session->reports, 2);
  EXPECT_EQ(session->steps[2].bytes[3], 'X');
  EXPECT_EQ(session->steps[5].bytes[2], 0x8c);
}

TEST(TraceReader, RefusesWhatIsNoTraceWithItsLine) {
  const std::string out = "out 00 58 64 00 00 00 00 00 00 00 00\n";
  const std::string in = "in 00 00 00 58 00 00 00 00 00\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"out 00 01\n", "line 1: an out line holds 11 bytes, this one 2"},
      {out + "in 00 00 00 58 00 00 00 00\n", "line 2: an in line holds 9 bytes, this one 8"},
      {out + in + out + "in 00 00 00 58 00 00 00 00 00 00\n",
       "line 4: an in line holds 9 bytes, this one 10"},
      {"out 00 58 64 00 00 00 00 00 00 00 0g\n", "line 1: \"0g\" is not a byte in two hex digits"},
      {"out 00 58 64 00 00 00 00 00 00 00 000\n", "line 1: \"000\" is not a byte"},
      {"# fine\nOUT 00 58\n", "line 2: \"OUT 00 58\" is neither an out line, an in line nor"},
      {out + "\n", "line 2: \"\" is neither"},
      {"x\x01\x7f\n", "line 1: \"x??\" is neither"},
      {"outs 00\n", "line 1: \"outs 00\" is neither"},
      {out + in + "# Brevane 1.00, USB\n" + out, "line 3: a second recorded session starts here"},
      {std::string(300, 'a'), "line 1: longer than 200 characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::string error;
    EXPECT_FALSE(parse_trace(c.text, &error));
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
  }
}

TEST(TraceReader, AFileNamesItselfAndTheLine) {
  QTemporaryDir dir;
  const struct {
    const char* name;
    QByteArray bytes;
    const char* error;
  } cases[] = {
      {"bad.txt", "out 00 58 64 00 00 00 00 00 00 00 00\nin 00\n",
       "bad.txt cannot be replayed: line 2: "},
      {"empty.txt", "# Brevane 1.00, USB\n# plugged\n",
       "empty.txt cannot be replayed: it holds no out report"},
      {"zeros.txt", QByteArray(100000, '\0'), "zeros.txt cannot be replayed: line 1: longer than"},
      {"missing.txt", {}, "missing.txt cannot be replayed: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    if (!c.bytes.isNull()) {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(c.bytes);
    }
    std::string error;
    EXPECT_FALSE(read_trace(path.toStdString(), &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace brevane::device
