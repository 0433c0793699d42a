#include "device/simulated_head.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "device/device_constants.h"
#include "device/simulated_scene.h"

namespace brevane::device {
namespace {

// Records every notification and, like the program, reads each report as it is announced.
class recording_target : public notification_target {
 public:
  struct entry {
    char kind;  // 'P'lugged, 'U'nplugged, 'C'hanged, 'R'ead
    device_handle handle;
    input_report report{};
    qint64 at_ms = 0;
  };

  explicit recording_target(simulated_head& head) : head_(head) { clock_.start(); }

  void OnPlugged(device_handle h) override { log_.push_back({'P', h, {}, clock_.elapsed()}); }
  void OnUnplugged(device_handle h) override { log_.push_back({'U', h, {}, clock_.elapsed()}); }
  void OnChanged() override {
    log_.push_back({'C', 0, {}, clock_.elapsed()});
    // As the program does: find the head and ask for its reports.
    head_.set_read_notify(head_.handle(vendor_id, product_id), true);
  }
  void OnRead(device_handle h) override {
    entry e{'R', h, {}, clock_.elapsed()};
    if (head_.read(h, e.report)) log_.push_back(e);
  }

  std::string kinds() const {
    std::string s;
    for (const auto& e : log_) s += e.kind;
    return s;
  }
  std::vector<input_report> reports() const {
    std::vector<input_report> r;
    for (const auto& e : log_)
      if (e.kind == 'R') r.push_back(e.report);
    return r;
  }
  std::size_t size() const { return log_.size(); }
  const entry& back() const { return log_.back(); }
  const entry& at(std::size_t i) const { return log_.at(i); }
  void clear() { log_.clear(); }

 private:
  simulated_head& head_;
  QElapsedTimer clock_;
  std::vector<entry> log_;
};

bool wait_until(const std::function<bool()>& done, int timeout_ms = 2000) {
  QDeadlineTimer deadline(timeout_ms);
  QTimer wake;  // keeps the blocking wait below from sleeping past the deadline
  wake.start(5);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void settle(int ms) {
  wait_until([] { return false; }, ms);
}

std::vector<std::uint8_t> command(char letter, std::uint8_t arg = 0) {
  std::vector<std::uint8_t> r(output_report_size, 0);
  r[1] = static_cast<std::uint8_t>(letter);
  r[2] = arg;
  return r;
}

int reading(const input_report& r) {
  return r[reading_high_byte] * 256 + r[reading_low_byte];
}

class SimulatedHead : public ::testing::Test {
 protected:
  void start(simulated_head_options options = {}) {
    head_ = std::make_unique<simulated_head>(options);
    target_ = std::make_unique<recording_target>(*head_);
    ASSERT_TRUE(head_->connect(*target_));
    ASSERT_TRUE(wait_until([&] { return target_->kinds() == "PC"; }));
    target_->clear();
  }

  bool send(char letter, std::uint8_t arg = 0) {
    return head_->write(vendor_id, product_id, command(letter, arg));
  }

  // Sends one command and returns its answer, or nothing within a short while.
  std::optional<input_report> exchange(char letter, std::uint8_t arg = 0) {
    const std::size_t before = target_->reports().size();
    if (!send(letter, arg)) return std::nullopt;
    if (!wait_until([&] { return target_->reports().size() > before; }, 500)) return std::nullopt;
    return target_->reports().back();
  }

  std::unique_ptr<simulated_head> head_;
  std::unique_ptr<recording_target> target_;
};

TEST_F(SimulatedHead, AnnouncesItselfAfterConnectNotInsideIt) {
  simulated_head head;
  recording_target target(head);
  ASSERT_TRUE(head.connect(target));
  EXPECT_EQ(target.kinds(), "");
  ASSERT_TRUE(wait_until([&] { return target.kinds() == "PC"; }));

  const device_handle h = head.handle(vendor_id, product_id);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(head.vendor_id(h), vendor_id);
  EXPECT_EQ(head.product_id(h), product_id);
  EXPECT_EQ(head.handle(vendor_id, product_id + 1), 0u);
  EXPECT_EQ(head.vendor_id(h + 1), 0);
}

TEST_F(SimulatedHead, AnswersArriveLaterNeverInsideWrite) {
  start();
  ASSERT_TRUE(send('X', 170));
  EXPECT_EQ(target_->size(), 0u);
  ASSERT_TRUE(wait_until([&] { return target_->size() == 1; }));
  EXPECT_EQ(target_->back().report[echo_byte], 'X');
  EXPECT_EQ(target_->back().report[0], 0);
  EXPECT_EQ(head_->x_position(), 170);
}

TEST_F(SimulatedHead, EchoesMovesReadingsAndParametersAtByteThree) {
  start();
  for (char letter : {'X', 'Z', 'T', 'S', 'P'}) {
    const auto answer = exchange(letter, 7);
    ASSERT_TRUE(answer) << letter;
    EXPECT_EQ((*answer)[echo_byte], letter);
  }
  EXPECT_EQ(head_->x_position(), 7);
  EXPECT_EQ(head_->z_position(), 7);
}

TEST_F(SimulatedHead, ReadingsFollowTheSceneAtTheHeadsPosition) {
  start();
  // Start position and Home are on the wall; the object sits inside the scan limits.
  for (auto [x, z] : {std::pair{0, 0}, std::pair{210, 172}, std::pair{100, 140}}) {
    ASSERT_TRUE(exchange('X', static_cast<std::uint8_t>(x)));
    ASSERT_TRUE(exchange('Z', static_cast<std::uint8_t>(z)));
    const auto t = exchange('T');
    const auto s = exchange('S');
    ASSERT_TRUE(t && s);
    EXPECT_NEAR(reading(*t), scene::temperature_raw(x, z), 1);
    EXPECT_NEAR(reading(*s), scene::distance_raw(x, z), 1);
  }
  EXPECT_NEAR(scene::temperature_f(210, 172), 95.0, 1.0);
  EXPECT_NEAR(scene::distance_in(210, 172), 40.0, 2.0);
  // A baseline taken at Home reads the room, not the object.
  for (auto [x, z] : {std::pair{100, 140}, std::pair{170, 170}}) {
    EXPECT_NEAR(scene::temperature_f(x, z), 70.2, 0.01);
    EXPECT_NEAR(scene::distance_in(x, z), 120.0, 1.0);
  }
}

TEST_F(SimulatedHead, NoiseNeverMovesTheRoundedReading) {
  start();
  ASSERT_TRUE(exchange('X', 20));  // wall
  for (int i = 0; i < 40; ++i) {
    const auto t = exchange('T');
    const auto s = exchange('S');
    ASSERT_TRUE(t && s);
    EXPECT_EQ(std::lround(reading(*t) * 0.168), 70);
    EXPECT_EQ(std::lround(reading(*s) / 2.54), 120);
  }
  ASSERT_TRUE(exchange('X', 210));
  ASSERT_TRUE(exchange('Z', 172));
  for (int i = 0; i < 40; ++i) {
    const auto t = exchange('T');
    const auto s = exchange('S');
    ASSERT_TRUE(t && s);
    EXPECT_EQ(std::lround(reading(*t) * 0.168), 95);
    EXPECT_EQ(std::lround(reading(*s) / 2.54), std::lround(scene::distance_in(210, 172)));
  }
}

TEST_F(SimulatedHead, ReadBackReturnsTheLastParameters) {
  start();
  auto p = command('P');
  for (std::size_t i = 0; i < 6; ++i) p[2 + i] = static_cast<std::uint8_t>(10 * (i + 1));
  ASSERT_TRUE(head_->write(vendor_id, product_id, p));
  ASSERT_TRUE(wait_until([&] { return target_->reports().size() == 1; }));

  const auto e = exchange('E');
  ASSERT_TRUE(e);
  EXPECT_EQ((*e)[8], 'E');
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ((*e)[1 + i], 10 * (i + 1)) << i;
}

TEST_F(SimulatedHead, ListUploadWriteIsAnsweredOnceAndItsLineNotAtAll) {
  start();
  const auto w = exchange('W');
  ASSERT_TRUE(w);
  EXPECT_EQ((*w)[echo_byte], 'W');

  // The line "X200    " looks like a move but is data.
  std::vector<std::uint8_t> line{0, 'X', '2', '0', '0', ' ', ' ', ' ', ' '};
  ASSERT_TRUE(head_->write(vendor_id, product_id, line));
  settle(50);
  EXPECT_EQ(target_->reports().size(), 1u);
  EXPECT_EQ(head_->x_position(), 0);

  EXPECT_TRUE(exchange('T'));  // back to commands
}

TEST_F(SimulatedHead, LedsAndUnknownLettersGetNoAnswer) {
  start();
  ASSERT_TRUE(send('L', 5));
  ASSERT_TRUE(send('Q'));
  settle(50);
  EXPECT_EQ(target_->size(), 0u);
  EXPECT_EQ(head_->commands_received(), 2);
}

TEST_F(SimulatedHead, LatencyDelaysEveryAnswerAndKeepsTheirOrder) {
  simulated_head_options options;
  options.latency_ms = 100;
  start(options);

  QElapsedTimer since_write;
  since_write.start();
  ASSERT_TRUE(send('X', 9));
  ASSERT_TRUE(send('T'));
  settle(30);
  EXPECT_EQ(target_->size(), 0u);
  ASSERT_TRUE(wait_until([&] { return target_->reports().size() == 2; }, 3000));
  EXPECT_GE(since_write.elapsed(), 100);
  EXPECT_EQ(target_->reports()[0][echo_byte], 'X');
  EXPECT_EQ(target_->reports()[1][echo_byte], 'T');
}

TEST_F(SimulatedHead, SilentAfterAnswersOnlyTheFirstCommands) {
  simulated_head_options options;
  options.silent_after = 2;
  start(options);

  EXPECT_TRUE(exchange('X', 1));
  EXPECT_TRUE(exchange('Z', 2));
  EXPECT_TRUE(send('T'));  // reaches the head, which has stalled
  settle(50);
  EXPECT_EQ(target_->reports().size(), 2u);

  head_->resume_answering();
  EXPECT_TRUE(exchange('T'));
  head_->set_silent_after(1);
  EXPECT_TRUE(exchange('S'));
  EXPECT_FALSE(exchange('S'));
}

TEST_F(SimulatedHead, UnplugAfterDeliversTheLastAnswerThenUnplugs) {
  simulated_head_options options;
  options.unplug_after = 2;
  start(options);

  ASSERT_TRUE(send('X', 30));
  ASSERT_TRUE(send('T'));
  ASSERT_TRUE(wait_until([&] { return target_->kinds() == "RRUC"; }));
  EXPECT_EQ(target_->reports()[1][echo_byte], 'T');
  EXPECT_EQ(head_->handle(vendor_id, product_id), 0u);
  EXPECT_FALSE(send('T'));
  // The unplugged notification names the head, whose ids stay known for it.
  EXPECT_EQ(head_->vendor_id(target_->at(2).handle), vendor_id);

  target_->clear();
  head_->replug();
  ASSERT_TRUE(wait_until([&] { return target_->kinds() == "PC"; }));
  EXPECT_EQ(head_->commands_received(), 0);
  EXPECT_TRUE(exchange('T'));
}

TEST_F(SimulatedHead, SameSeedRepeatsDifferentSeedDiffers) {
  const auto run = [this](std::uint32_t seed, int jitter = 0) {
    simulated_head_options options;
    options.seed = seed;
    options.latency_ms = jitter > 0 ? 1 : 0;
    options.jitter_percent = jitter;
    start(options);
    std::vector<int> readings;
    for (int i = 0; i < 30; ++i) {
      if (const auto r = exchange(i % 2 ? 'S' : 'T')) readings.push_back(reading(*r));
    }
    head_->disconnect();
    return readings;
  };
  const auto first = run(5);
  EXPECT_EQ(first.size(), 30u);
  EXPECT_EQ(run(5), first);
  EXPECT_NE(run(6), first);
  EXPECT_EQ(run(5, 50), first) << "a jitter varies the delays, never the readings";
}

TEST(SimulatedHeadOptions, AcceptsEveryOptionInAnyOrder) {
  std::string error;
  const auto defaults = parse_simulated_head_options("", &error);
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->latency_ms, 0);
  EXPECT_FALSE(defaults->silent_after);
  EXPECT_FALSE(defaults->unplug_after);
  EXPECT_EQ(defaults->seed, simulated_head_options::default_seed);

  const auto all = parse_simulated_head_options(
      "seed=42,unplug-after=9,latency=15,silent-after=0,jitter=20", &error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(all->latency_ms, 15);
  EXPECT_EQ(all->jitter_percent, 20);
  EXPECT_EQ(all->silent_after, 0);
  EXPECT_EQ(all->unplug_after, 9);
  EXPECT_EQ(all->seed, 42u);
}

TEST(SimulatedHeadOptions, RejectsBadItemsNamingThem) {
  for (const std::string bad :
       {"latency=fast", "latency=-5", "speed=3", "seed", "seed=", "latency=1,,seed=2",
        "silent-after=99999999999", "latency=1,latency=2", "unplug-after=2x", "jitter=101",
        "replay=t.txt,jitter=5"}) {
    std::string error;
    EXPECT_FALSE(parse_simulated_head_options(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  std::string error;
  parse_simulated_head_options("latency=5,speed=3", &error);
  EXPECT_NE(error.find("speed=3"), std::string::npos) << error;
  parse_simulated_head_options("latency=-5", &error);
  EXPECT_NE(error.find("latency=-5"), std::string::npos) << error;
  parse_simulated_head_options("seed", &error);
  EXPECT_NE(error.find("seed"), std::string::npos) << error;
}

TEST_F(SimulatedHead, InjectedReportsOfAnyLengthArriveAsStored) {
  start();
  ASSERT_TRUE(head_->inject_raw({0x11, 0x22}));
  ASSERT_TRUE(head_->inject_raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  ASSERT_TRUE(head_->inject_raw({}));
  EXPECT_EQ(target_->size(), 0u);
  ASSERT_TRUE(wait_until([&] { return target_->reports().size() == 3; }));

  const auto r = target_->reports();
  EXPECT_EQ(r[0], (input_report{0, 0x11, 0x22, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(r[1], (input_report{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(r[2], input_report{});
}

TEST_F(SimulatedHead, DisconnectStopsEverythingAndIsHarmlessTwice) {
  start();
  ASSERT_TRUE(send('T'));
  EXPECT_TRUE(head_->disconnect());
  EXPECT_TRUE(head_->disconnect());
  settle(50);
  EXPECT_EQ(target_->size(), 0u);
  EXPECT_FALSE(send('T'));
  EXPECT_EQ(head_->handle(vendor_id, product_id), 0u);
}

TEST_F(SimulatedHead, KeepsABoundedQueueWhileNobodyReads) {
  start();
  const device_handle h = head_->handle(vendor_id, product_id);
  ASSERT_TRUE(head_->set_read_notify(h, false));
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(send('X', static_cast<std::uint8_t>(i)));
  ASSERT_TRUE(send('T'));
  settle(50);
  EXPECT_EQ(target_->size(), 0u);
  EXPECT_EQ(head_->pending_reports(), simulated_head::pending_capacity);

  input_report report{};
  EXPECT_FALSE(head_->read(h + 1, report));
  input_report newest{};
  while (head_->read(h, report)) newest = report;
  EXPECT_EQ(newest[echo_byte], 'T');
  EXPECT_FALSE(head_->read(h, report));
}

}  // namespace
}  // namespace brevane::device
