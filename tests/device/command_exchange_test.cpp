#include "device/command_exchange.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "common/numbers.h"
#include "device/device_errors.h"
#include "support/rig.h"

namespace brevane {
namespace {

using device::echo_timeout;
using device::operation_cancelled;
using testing::rig;

TEST(CommandExchange, StaleBytesOfEarlierCommandsStayInTheOutputReport) {
  rig r;
  ASSERT_TRUE(r.start());
  r->exchange.xpos(170);
  r->thermal.therm();
  ASSERT_EQ(r.head.writes.size(), 2u);
  const auto& t = r.head.writes[1];
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 'T');
  EXPECT_EQ(t[2], 170);  // left by the X move
  EXPECT_EQ(t.size(), device::output_report_size);
}

TEST(CommandExchange, ArgumentOutsideByteRangeFailsBeforeAnythingIsWritten) {
  rig r;
  ASSERT_TRUE(r.start());
  r->exchange.xpos(255);
  EXPECT_EQ(r.head.writes.back()[2], 255);
  const auto before = r.head.writes.size();
  EXPECT_THROW(r->exchange.xpos(256), overflow_error);
  EXPECT_THROW(r->exchange.zpos(-1), overflow_error);
  EXPECT_THROW(r->exchange.leds(300), overflow_error);
  EXPECT_EQ(r.head.writes.size(), before);
  EXPECT_EQ(r->exchange.output()[2], 255);  // untouched by the refused commands
}

TEST(CommandExchange, WrongEchoDoesNotEndTheWaitButTheRightOneDoes) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.silent = true;
  // While X waits, a Z echo arrives first, then the X echo.
  std::vector<std::uint8_t> z(8, 0), x(8, 0);
  z[2] = 'Z';
  x[2] = 'X';
  r.head.answer(z, 20);
  r.head.answer(x, 60);
  bool z_seen_while_waiting = false;
  QTimer::singleShot(40, [&] { z_seen_while_waiting = r->exchange.input()[3] == 'Z'; });
  r->exchange.xpos(10);
  EXPECT_TRUE(z_seen_while_waiting);
  EXPECT_EQ(r->exchange.input()[3], 'X');
}

TEST(CommandExchange, LedsDoesNotWaitAndItsLateAnswerEndsNoLaterWait) {
  rig r;
  ASSERT_TRUE(r.start());
  r->exchange.leds(4);
  EXPECT_EQ(r.head.commands().back(), "L4");
  // A report echoing T arrives before the next T goes out: the T wait clears byte 3 first.
  std::vector<std::uint8_t> t(8, 0);
  t[2] = 'T';
  r.head.answer(t);
  testing::run_events_until([&] { return r->exchange.input()[3] == 'T'; });
  r.head.silent = true;
  EXPECT_THROW(r->thermal.therm(), echo_timeout);
}

TEST(CommandExchange, SilentHeadEndsTheWaitAtTheDeadlineNamingTheCommand) {
  rig r(150);
  ASSERT_TRUE(r.start());
  r.head.silent = true;
  QElapsedTimer timer;
  timer.start();
  try {
    r->exchange.zpos(100);
    FAIL() << "the wait should have ended";
  } catch (const echo_timeout& e) {
    EXPECT_NE(std::string(e.what()).find("Z"), std::string::npos);
    EXPECT_NE(e.caption().find("Z"), std::string::npos);
  }
  EXPECT_GE(timer.elapsed(), 140);
  EXPECT_LT(timer.elapsed(), 2000);
}

TEST(CommandExchange, AnEchoAfterItsDeadlineDoesNotCompleteTheNextCommand) {
  rig r(200);
  ASSERT_TRUE(r.start());
  r.head.latency_ms = 300;  // every answer comes after the deadline
  EXPECT_THROW(r->thermal.therm(), echo_timeout);
  // The late T answer arrives while S waits; S must not take it for its own.
  r.head.silent = true;
  EXPECT_THROW(r->sonic.sonic(), echo_timeout);
  EXPECT_EQ(r->exchange.input()[3], 'T');  // the late T answer was stored
}

TEST(CommandExchange, EventsKeepRunningDuringTheWait) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.latency_ms = 100;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  r->exchange.xpos(5);
  EXPECT_GE(ticks, 3);
}

TEST(CommandExchange, CancelEndsTheWaitOfTheRunningOperation) {
  rig r(5000);
  ASSERT_TRUE(r.start());
  r.head.silent = true;
  ASSERT_TRUE(r->exchange.guard().begin("Home"));
  QTimer::singleShot(30, [&] { r->exchange.guard().cancel("Escape"); });
  QElapsedTimer timer;
  timer.start();
  try {
    r->exchange.xpos(170);
    FAIL();
  } catch (const operation_cancelled& e) {
    EXPECT_NE(std::string(e.what()).find("Escape"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("X"), std::string::npos);
  }
  EXPECT_LT(timer.elapsed(), 2000);
  // Every later command of the same operation ends as well.
  EXPECT_THROW(r->exchange.zpos(170), operation_cancelled);
  r->exchange.guard().end();
  r.head.silent = false;
  EXPECT_NO_THROW(r->exchange.zpos(170));
}

TEST(CommandExchange, GuardAllowsOneOperationAtATime) {
  rig r;
  ASSERT_TRUE(r.start());
  std::vector<bool> busy_changes;
  r->exchange.guard().on_busy_changed = [&](bool b) { busy_changes.push_back(b); };
  bool nested_started = true;
  r.head.latency_ms = 50;
  // A click that arrives while Temp waits must not start a second exchange.
  QTimer::singleShot(
      10, [&] { nested_started = r->runner.run("Distance", [&] { r->sonic.sonic(); }); });
  EXPECT_TRUE(r->runner.run("Temp", [&] { r->thermal.therm(); }));
  EXPECT_FALSE(nested_started);
  EXPECT_EQ(r.head.commands(), std::vector<std::string>{"T"});
  EXPECT_EQ(busy_changes, (std::vector<bool>{true, false}));
  // The refusal is said while Temp runs; Temp's end has the last word.
  EXPECT_EQ(r.window.statuses, (std::vector<std::string>{
                                   "Temp running (Escape ends it).",
                                   "Distance was not started: Temp is still running.",
                                   "Temp completed.",
                               }));
}

TEST(CommandExchange, RunnerShowsTheMissingAnswerInCaptionAndStatus) {
  rig r(100);
  ASSERT_TRUE(r.start());
  r.head.silent = true;
  EXPECT_FALSE(r->runner.run("Temp", [&] { r->thermal.therm(); }));
  // In words, not the head's letters.
  EXPECT_EQ(r.window.caption(), "No answer to the temperature reading");
  ASSERT_FALSE(r.window.statuses.empty());
  EXPECT_EQ(r.window.statuses.back(),
            "The head gave no answer to the temperature reading within 100 ms; Temp stopped.");
  EXPECT_FALSE(r->exchange.guard().busy());
}

TEST(CommandExchange, AbsentHeadFailsAtOnceInsteadOfWaiting) {
  rig r(5000);
  ASSERT_TRUE(r.start());
  r.head.plugged = false;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(r->runner.run("Temp", [&] { r->thermal.therm(); }));
  EXPECT_LT(timer.elapsed(), 1000);
  EXPECT_EQ(r.window.caption(), "Vexilor II not present");
}

TEST(CommandExchange, ParametersAreSetAndReadBack) {
  rig r;
  ASSERT_TRUE(r.start());
  r->exchange.set_parameters({1, 2, 3, 4, 5, 255});
  const auto& p = r.head.writes.back();
  EXPECT_EQ(p[1], 'P');
  EXPECT_EQ((std::vector<int>{p[2], p[3], p[4], p[5], p[6], p[7]}),
            (std::vector<int>{1, 2, 3, 4, 5, 255}));
  EXPECT_THROW(r->exchange.set_parameters({1, 2, 3, 4, 5, 256}), overflow_error);
}

TEST(CommandExchange, DtimerPausesWithoutFreezingAndZeroReturnsAtOnce) {
  rig r;
  QElapsedTimer timer;
  timer.start();
  r->exchange.dtimer(0);
  r->exchange.dtimer(-5);
  EXPECT_LT(timer.elapsed(), 20);
  timer.restart();
  r->exchange.dtimer(25);
  EXPECT_GE(timer.elapsed(), 24);
}

}  // namespace
}  // namespace brevane
