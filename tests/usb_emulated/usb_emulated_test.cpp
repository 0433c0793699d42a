// The USB transport over the real hidapi and libudev, against a head emulated below them: the
// enumeration, the plug and unplug, a write as the node receives it and an answer as the
// input buffer stores it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "device/device_errors.h"
#include "device/device_link.h"
#include "device/usb_device_io.h"
#include "device/usb_transport.h"
#include "support/memory_panel.h"
#include "usb_emulated/emulated_head.h"
#include "usb_emulated/run_mode.h"

namespace brevane::testing {
namespace {

using namespace std::chrono_literals;
using device::device_handle;

struct recording_target : device::notification_target {
  struct event {
    std::string what;
    device_handle handle;
  };
  std::vector<event> events;

  void OnPlugged(device_handle h) override { events.push_back({"plugged", h}); }
  void OnUnplugged(device_handle h) override { events.push_back({"unplugged", h}); }
  void OnChanged() override { events.push_back({"changed", 0}); }
  void OnRead(device_handle h) override { events.push_back({"read", h}); }

  std::string names() const {
    std::string text;
    for (const event& e : events) text += (text.empty() ? "" : " ") + e.what;
    return text;
  }
  std::size_t count(const std::string& what) const {
    std::size_t n = 0;
    for (const event& e : events) n += e.what == what;
    return n;
  }
};

// Runs events until done() or the limit; a ticking timer keeps the wait from blocking.
bool run_until(const std::function<bool()>& done, std::chrono::milliseconds limit = 3s) {
  QTimer tick;
  tick.start(10);
  QDeadlineTimer deadline(limit);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return done();
}

void run_for(std::chrono::milliseconds time) {
  run_until([] { return false; }, time);
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

class UsbEmulatedHead : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!head.emulating()) {
      GTEST_SKIP() << "the umockdev preload is not active; run under umockdev-wrapper";
    }
    if (udev_requested && !udev_unavailable.empty()) {
      GTEST_SKIP() << udev_unavailable;
    }
    transport.set_status_callback([this](const std::string& text) { statuses += text + "\n"; });
  }

  void TearDown() override { transport.disconnect(); }

  bool connect() {
    if (!transport.connect(target)) return false;
    if (udev_requested) {
      EXPECT_TRUE(transport.watching_udev());
    }
    static bool told = false;
    if (!told) {
      told = true;
      std::cout << "[   MODE   ] plug events from "
                << (transport.watching_udev() ? "the udev monitor" : "the periodic scan") << "\n";
    }
    return true;
  }

  // Plugs the head into a connected transport and returns its handle, or 0.
  device_handle connect_with_head() {
    if (!head.plug() || !connect()) return 0;
    if (!run_until([this] { return target.count("changed") == 1; })) return 0;
    return transport.handle(device::vendor_id, device::product_id);
  }

  emulated_head head;  // first: the testbed outlives the transport's udev socket in it
  device::usb_transport transport;
  recording_target target;
  std::string statuses;
};

TEST_F(UsbEmulatedHead, EnumerationFindsTheHeadThatIsAlreadyThere) {
  ASSERT_TRUE(head.plug());
  ASSERT_TRUE(connect());
  ASSERT_TRUE(run_until([this] { return target.events.size() >= 2; })) << statuses;
  run_for(50ms);

  EXPECT_EQ(target.names(), "plugged changed");
  const device_handle h = target.events.front().handle;
  EXPECT_NE(h, 0u);
  EXPECT_EQ(transport.vendor_id(h), 1240);
  EXPECT_EQ(transport.product_id(h), 65267);
  EXPECT_EQ(transport.handle(1240, 65267), h);
  EXPECT_TRUE(statuses.empty()) << statuses;
}

TEST_F(UsbEmulatedHead, AddEventOpensTheHeadAndRemoveEventReportsTheUnplug) {
  ASSERT_TRUE(connect());
  run_for(100ms);
  EXPECT_EQ(target.names(), "") << "nothing is plugged in yet";

  ASSERT_TRUE(head.plug());
  ASSERT_TRUE(run_until([this] { return target.count("changed") == 1; })) << statuses;
  ASSERT_EQ(target.names(), "plugged changed");
  const device_handle h = target.events.front().handle;
  EXPECT_EQ(transport.handle(1240, 65267), h);

  head.unplug();
  ASSERT_TRUE(run_until([this] { return target.count("changed") == 2; })) << target.names();
  run_for(50ms);
  EXPECT_EQ(target.names(), "plugged changed unplugged changed");
  EXPECT_EQ(target.events[2].handle, h);
  EXPECT_EQ(transport.handle(1240, 65267), 0u);
  // The unplugged notification asks for the ids of the head that went.
  EXPECT_EQ(transport.vendor_id(h), 1240);
  const device::output_report out{0, 'X', 1};
  EXPECT_FALSE(transport.write(1240, 65267, out));
}

TEST_F(UsbEmulatedHead, FailingReadReportsTheUnplugWithoutARemoveEvent) {
  const device_handle h = connect_with_head();
  ASSERT_NE(h, 0u) << statuses;

  // With the udev monitor only the worker's failed read can notice this; with the scan,
  // whichever comes first reports it, and only once.
  head.vanish();
  ASSERT_TRUE(run_until([this] { return target.count("unplugged") == 1; }, 2s)) << target.names();
  run_for(600ms);  // past the next scan
  EXPECT_EQ(target.names(), "plugged changed unplugged changed");
  EXPECT_EQ(target.events[2].handle, h);
  EXPECT_EQ(transport.handle(1240, 65267), 0u);
}

TEST_F(UsbEmulatedHead, HeadThatReturnsGetsANewHandleAndTakesWritesAgain) {
  const device_handle first = connect_with_head();
  ASSERT_NE(first, 0u) << statuses;
  head.unplug();
  ASSERT_TRUE(run_until([this] { return target.count("unplugged") == 1; }));

  ASSERT_TRUE(head.plug());
  ASSERT_TRUE(run_until([this] { return target.count("plugged") == 2; })) << statuses;
  const device_handle second = transport.handle(1240, 65267);
  EXPECT_NE(second, 0u);
  EXPECT_NE(second, first);

  const device::output_report out{0, 'L', 4};
  ASSERT_TRUE(transport.write(1240, 65267, out));
  EXPECT_EQ(head.written(2s), bytes({0, 'L', 4, 0, 0, 0, 0, 0, 0}));
}

TEST_F(UsbEmulatedHead, WriteReachesTheNodeWithReportIdZeroInByteZero) {
  ASSERT_NE(connect_with_head(), 0u) << statuses;

  device::output_report out{};
  out[1] = 'X';
  out[2] = 170;
  out[8] = 0x55;
  out[9] = 0xaa;  // bytes 9 and 10 are never sent
  out[10] = 0xbb;
  ASSERT_TRUE(transport.write(1240, 65267, out));

  // One hidraw write of 9 bytes: the report id, then the report's 8 data bytes.
  EXPECT_EQ(head.written(2s), bytes({0, 'X', 170, 0, 0, 0, 0, 0, 0x55}));
}

TEST_F(UsbEmulatedHead, AnswerLandsInTheInputBufferWithTheEchoAtByteThree) {
  const device_handle h = connect_with_head();
  ASSERT_NE(h, 0u) << statuses;
  ASSERT_TRUE(transport.set_read_notify(h, true));

  // A hidraw read of an unnumbered report gives its 8 data bytes, without a report id.
  ASSERT_TRUE(head.answer(bytes({0x12, 0x34, 'T', 0xc8, 0x01, 0x00, 0x00, 0x7e})));
  ASSERT_TRUE(run_until([this] { return target.count("read") == 1; }));

  device::input_report in;
  in.fill(0xee);
  ASSERT_TRUE(transport.read(h, in));
  EXPECT_EQ(in, (device::input_report{0, 0x12, 0x34, 'T', 0xc8, 0x01, 0x00, 0x00, 0x7e}));
  EXPECT_EQ(in[device::echo_byte], 'T');
  EXPECT_FALSE(transport.read(h, in)) << "one answer, one report";
}

// Plays the head on its end of the node: every command is answered with its letter in the
// answer's third data byte, which lands at byte 3 of the input buffer.
class echoing_head {
 public:
  explicit echoing_head(emulated_head& head)
      : head_(head), notifier_(head.head_fd(), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { on_request(); });
  }
  bool silent = false;
  std::vector<std::vector<std::uint8_t>> requests;

 private:
  void on_request() {
    std::array<std::uint8_t, 64> chunk{};
    const ssize_t n = ::read(head_.head_fd(), chunk.data(), chunk.size());
    if (n <= 0) {
      notifier_.setEnabled(false);
      return;
    }
    pending_.insert(pending_.end(), chunk.begin(), chunk.begin() + n);
    while (pending_.size() >= device::output_wire_size) {
      requests.emplace_back(pending_.begin(), pending_.begin() + device::output_wire_size);
      pending_.erase(pending_.begin(), pending_.begin() + device::output_wire_size);
      if (!silent) head_.answer(bytes({0, 0, requests.back()[1], 0, 0, 0, 0, 0}));
    }
  }

  emulated_head& head_;
  QSocketNotifier notifier_;
  std::vector<std::uint8_t> pending_;
};

TEST_F(UsbEmulatedHead, PositioningCommandGetsItsEchoThroughTheDeviceLink) {
  device::command_exchange exchange(transport, 2000);
  memory_panel window;
  device::device_link link(transport, exchange, window);

  ASSERT_TRUE(head.plug());
  echoing_head responder(head);
  ASSERT_TRUE(link.connect_link());
  ASSERT_TRUE(run_until([&] { return window.caption() == device::caption_running; })) << statuses;
  ASSERT_TRUE(run_until([&] { return link.head_present(); }));

  ASSERT_TRUE(exchange.guard().begin("Home"));
  EXPECT_NO_THROW(exchange.xpos(170));
  EXPECT_NO_THROW(exchange.zpos(140));
  exchange.guard().end();

  ASSERT_EQ(responder.requests.size(), 2u);
  EXPECT_EQ(responder.requests[0], bytes({0, 'X', 170, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(responder.requests[1], bytes({0, 'Z', 140, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(exchange.input()[device::echo_byte], 'Z');
  EXPECT_EQ(exchange.input()[0], 0);
}

TEST_F(UsbEmulatedHead, UnplugDuringAnEchoWaitEndsItBeforeTheTimeout) {
  device::command_exchange exchange(transport, 5000);
  memory_panel window;
  device::device_link link(transport, exchange, window);

  ASSERT_TRUE(head.plug());
  echoing_head responder(head);
  responder.silent = true;
  ASSERT_TRUE(link.connect_link());
  ASSERT_TRUE(run_until([&] { return link.head_present(); })) << statuses;

  QTimer unplug;  // ends with the test, so it never fires into a later one
  unplug.setSingleShot(true);
  QObject::connect(&unplug, &QTimer::timeout, [this] { head.unplug(); });
  unplug.start(100ms);
  QElapsedTimer waited;
  waited.start();
  ASSERT_TRUE(exchange.guard().begin("Sweep"));
  EXPECT_THROW(exchange.xpos(170), device::device_error);
  exchange.guard().end();

  EXPECT_LT(waited.elapsed(), 3000) << "the unplug, not the 5 s echo timeout, ends the wait";
  EXPECT_EQ(window.caption(), device::caption_absent);
  EXPECT_FALSE(link.head_present());
}

// A sweep rides out a bumped cable: the head is lost while an answer is awaited, comes back
// as a new node, gets its position again and then the interrupted command.
TEST_F(UsbEmulatedHead, AHeadThatReturnsDuringAWaitGetsItsPositionAndTheCommandAgain) {
  device::command_exchange exchange(transport, 5000);
  memory_panel window;
  device::device_link link(transport, exchange, window);

  ASSERT_TRUE(head.plug());
  auto responder = std::make_unique<echoing_head>(head);
  responder->silent = true;
  ASSERT_TRUE(link.connect_link());
  ASSERT_TRUE(run_until([&] { return link.head_present(); })) << statuses;

  exchange.set_head_return_wait(10s);
  std::vector<std::string> said;
  exchange.set_interruption_hooks({{},
                                   [&](bool lost) {
                                     said.push_back(lost ? "lost" : "back");
                                     // The head's end of its new node, once it is open.
                                     if (!lost) responder = std::make_unique<echoing_head>(head);
                                   },
                                   [&] { exchange.xpos(150); }});
  QTimer unplug, replug;  // end with the test, so they never fire into a later one
  unplug.setSingleShot(true);
  replug.setSingleShot(true);
  QObject::connect(&unplug, &QTimer::timeout, [&] {
    head.unplug();
    replug.start(1500ms);  // after the transport has seen it go
  });
  QObject::connect(&replug, &QTimer::timeout, [&] { ASSERT_TRUE(head.plug()); });
  unplug.start(100ms);
  ASSERT_TRUE(exchange.guard().begin("Sweep"));
  try {
    exchange.zpos(170);
  } catch (const device::device_error& e) {
    ADD_FAILURE() << e.what();
  }
  exchange.guard().end();

  EXPECT_EQ(said, (std::vector<std::string>{"lost", "back"}));
  EXPECT_EQ(responder->requests,
            (std::vector<std::vector<std::uint8_t>>{bytes({0, 'X', 150, 0, 0, 0, 0, 0, 0}),
                                                    bytes({0, 'Z', 170, 0, 0, 0, 0, 0, 0})}))
      << "the position first, then the interrupted Z";
}

// A lab's two heads on one machine. A head chosen by serial number or by path is the only one
// opened and heard; with no choice the first is used and the status bar says which.
TEST_F(UsbEmulatedHead, AChosenHeadIsTheOnlyOneOpenedAndHeard) {
  const struct {
    const char* choice;  // "path" stands for the first head's node
    int chosen;          // 0 or 1; -1: whichever the transport uses
  } cases[] = {{"EMU2", 1}, {"path", 0}, {"", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    std::array<emulated_head, 2> heads{emulated_head("EMU1", 1), emulated_head("EMU2", 2)};
    ASSERT_TRUE(heads[0].plug() && heads[1].plug());
    device::usb_transport lab;
    std::string said;
    lab.set_status_callback([&said](const std::string& text) { said += text + "\n"; });
    const std::string choice = c.choice == std::string("path") ? heads[0].node() : c.choice;
    if (!choice.empty()) lab.choose_head(choice);
    recording_target heard;
    ASSERT_TRUE(lab.connect(heard));
    // Without a choice both are opened; the first is the one written to.
    const std::size_t opened = c.chosen >= 0 ? 1 : 2;
    ASSERT_TRUE(run_until([&] { return heard.count("plugged") == opened; })) << said;
    run_for(100ms);

    const device::output_report out{0, 'X', 9};
    ASSERT_TRUE(lab.write(1240, 65267, out));
    std::array<bool, 2> got{};
    for (std::size_t i = 0; i < heads.size(); ++i) got[i] = !heads[i].written(300ms).empty();
    ASSERT_NE(got[0], got[1]) << "one head, and only one, gets the write";
    const std::size_t used = got[0] ? 0 : 1;
    if (c.chosen >= 0) {
      EXPECT_EQ(used, static_cast<std::size_t>(c.chosen));
      EXPECT_EQ(heard.names(), "plugged changed");
      EXPECT_EQ(said, "");
      // The other head going is nothing to this run; the chosen one going is.
      heads[1 - used].unplug();
      run_for(700ms);  // past the next scan
      EXPECT_EQ(heard.names(), "plugged changed");
      heads[used].unplug();
      ASSERT_TRUE(run_until([&] { return heard.count("unplugged") == 1; })) << heard.names();
    } else {
      EXPECT_NE(said.find("2 heads are attached; this run uses " + heads[used].node() + "."),
                std::string::npos)
          << said;
    }
    lab.disconnect();
  }
}

// A head that stops taking reports holds the writer in its write: the node is full, or the
// kernel waits up to 5 s for a USB transfer, whatever the node's flags. Closing, on exit or
// unplug, must not wait for it; the report is dropped, as the head is going away.
TEST_F(UsbEmulatedHead, ClosingReturnsWhileAWriteIsHeld) {
  for (const bool kernel_holds : {false, true}) {
    SCOPED_TRACE(kernel_holds ? "the kernel holds the write" : "the node is full");
    emulated_head stalled("EMU2", 2);
    ASSERT_TRUE(stalled.plug());
    stalled.hold_writes(kernel_holds);
    auto opened = device::open_hidraw_io(stalled.node(), {[](std::vector<std::uint8_t>) {}, [] {}});
    ASSERT_TRUE(opened.io) << opened.reason;
    // The head reads nothing; once no report has left the queue for half a second, the
    // writer is held in a write.
    const device::wire_report report{0, 'X', 1};
    for (int refused = 0; refused < 50;) {
      if (opened.io->queue(report)) {
        refused = 0;
      } else {
        ++refused;
        std::this_thread::sleep_for(10ms);
      }
    }
    auto closed = std::async(std::launch::async, [&opened] { opened.io.reset(); });
    EXPECT_EQ(closed.wait_for(5s), std::future_status::ready) << "closing waited for the write";
    // Let a held writer go, so that a failure here does not hang the run.
    stalled.hold_writes(false);
    while (closed.wait_for(0s) != std::future_status::ready) stalled.written(100ms);
  }
}

// The same wire behaviour from each I/O the transport can open a head with: the hidraw node
// itself (Linux) and hidapi (elsewhere; also built here so it cannot rot).
struct io_case {
  const char* name;
  device::io_opener opener;
};

class UsbEmulatedIo : public UsbEmulatedHead, public ::testing::WithParamInterface<io_case> {
 protected:
  void SetUp() override {
    UsbEmulatedHead::SetUp();
    transport.set_io_opener(GetParam().opener);
  }
};

TEST_P(UsbEmulatedIo, BackToBackWritesGoOutWholeAndInOrder) {
  ASSERT_NE(connect_with_head(), 0u) << statuses;
  std::vector<std::uint8_t> expected;
  for (int letter : {'X', 'Z', 'T'}) {
    const device::output_report out{0, static_cast<std::uint8_t>(letter), 7};
    ASSERT_TRUE(transport.write(1240, 65267, out));
    const auto wire = bytes({0, letter, 7, 0, 0, 0, 0, 0, 0});
    expected.insert(expected.end(), wire.begin(), wire.end());
  }
  EXPECT_EQ(head.written(2s), expected);
}

TEST_P(UsbEmulatedIo, EachAnswerIsOneReportWithTheEchoAtByteThree) {
  const device_handle h = connect_with_head();
  ASSERT_NE(h, 0u) << statuses;
  ASSERT_TRUE(transport.set_read_notify(h, true));

  std::string echoes;
  for (int letter : {'X', 'Z'}) {
    ASSERT_TRUE(head.answer(bytes({1, 2, letter, 4, 5, 6, 7, 8})));
    ASSERT_TRUE(run_until([&] { return target.count("read") == echoes.size() + 1; }));
    device::input_report in;
    in.fill(0xee);
    ASSERT_TRUE(transport.read(h, in));
    EXPECT_EQ(in,
              (device::input_report{0, 1, 2, static_cast<std::uint8_t>(letter), 4, 5, 6, 7, 8}));
    echoes += static_cast<char>(in[device::echo_byte]);
  }
  EXPECT_EQ(echoes, "XZ");
}

TEST_P(UsbEmulatedIo, FailingReadIsOneUnplugAndLaterWritesAreRefused) {
  const device_handle h = connect_with_head();
  ASSERT_NE(h, 0u) << statuses;
  ASSERT_TRUE(transport.set_read_notify(h, true));

  head.vanish();
  ASSERT_TRUE(run_until([this] { return target.count("unplugged") == 1; })) << target.names();
  run_for(100ms);
  EXPECT_EQ(target.names(), "plugged changed unplugged changed");
  EXPECT_EQ(target.count("read"), 0u) << "the wake-up byte of a failing node is no report";
  const device::output_report out{0, 'X', 1};
  EXPECT_FALSE(transport.write(1240, 65267, out));
}

TEST_P(UsbEmulatedIo, DisconnectWithTrafficInFlightDeliversNothingAfterwards) {
  const device_handle h = connect_with_head();
  ASSERT_NE(h, 0u) << statuses;
  ASSERT_TRUE(transport.set_read_notify(h, true));
  for (int i = 0; i < 20; ++i) {
    const device::output_report out{0, 'X', static_cast<std::uint8_t>(i)};
    ASSERT_TRUE(transport.write(1240, 65267, out));
    ASSERT_TRUE(head.answer(bytes({0, 0, 'X', i, 0, 0, 0, 0})));
  }
  transport.disconnect();
  const std::size_t before = target.events.size();
  run_for(100ms);
  EXPECT_EQ(target.events.size(), before);
  EXPECT_FALSE(transport.read(h, std::span<std::uint8_t>{}));
}

INSTANTIATE_TEST_SUITE_P(Io, UsbEmulatedIo,
                         ::testing::Values(io_case{"hidraw", device::open_hidraw_io},
                                           io_case{"hidapi", device::open_hidapi_io}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevane::testing
