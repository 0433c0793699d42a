#pragma once
// The program as main() builds it, on the simulated head with some latency, its windows shown
// offscreen and wired as main() wires them: for drills that use the real window.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/instrument.h"
#include "app/wiring.h"
#include "device/simulated_head.h"
#include "logging/scan_record.h"
#include "support/rig.h"
#include "ui/main_window.h"
#include "ui/startup.h"

namespace brevane::testing {

inline device::simulated_head_options slow_head() {
  device::simulated_head_options o;
  o.latency_ms = 50;
  return o;
}

struct windowed_program {
  windowed_program()
      : head(slow_head()),
        inst(head, window, clock_, folder.path(), 3000,
             QLocale(QLocale::English, QLocale::UnitedStates)) {
    // Closing the only window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    load_step(inst.state, window);
    inst.readings.add(record);
    wire_window(window, inst, record, folder.filePath("list.txt"));
    inst.device.connect_link();
    window.show();
  }
  ~windowed_program() {
    inst.readings.remove(record);
    QApplication::setQuitOnLastWindowClosed(quit_on_close);
  }

  bool start() {
    return run_events_until([&] { return window.caption() == "Up and Running"; });
  }

  struct closing {
    bool busy_at_close = false;
    qint64 closed_at = -1;
    qint64 returned_at = -1;
    bool watchdog_fired = false;
  };

  // Starts an operation the way the operator does and closes the window after close_ms;
  // start() returns when the operation's handler does.
  closing close_during(const std::function<void()>& start, int close_ms) {
    closing c;
    QElapsedTimer clock;
    QTimer close_timer;
    close_timer.setSingleShot(true);
    QObject::connect(&close_timer, &QTimer::timeout, [&] {
      c.busy_at_close = inst.guard.busy();
      c.closed_at = clock.elapsed();
      window.close();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      c.watchdog_fired = true;
      inst.guard.cancel("watchdog");
    });
    clock.start();
    close_timer.start(close_ms);
    watchdog.start(6000);
    start();
    c.returned_at = clock.elapsed();
    return c;
  }

  void expect_closed_cleanly(const closing& c) {
    EXPECT_TRUE(c.busy_at_close) << "the window closed while the operation ran";
    EXPECT_FALSE(c.watchdog_fired);
    ASSERT_GE(c.closed_at, 0);
    EXPECT_LT(c.returned_at - c.closed_at, 500) << "the handler returns promptly";
    EXPECT_FALSE(inst.guard.busy());
    EXPECT_FALSE(inst.device.connected());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.status_text().contains("(window closed)"))
        << window.status_text().toStdString();
    EXPECT_TRUE(window.windowTitle().startsWith("Cancelled waiting for"))
        << window.windowTitle().toStdString();
    // Nothing goes to the head after the close.
    const int sent = head.commands_received();
    run_events_until([] { return false; }, 200);
    EXPECT_EQ(head.commands_received(), sent);
  }

  void click(const char* name) {
    auto* button = qobject_cast<QPushButton*>(window.control(QString::fromLatin1(name)));
    ASSERT_NE(button, nullptr) << name;
    ASSERT_TRUE(button->isEnabled()) << name;
    button->click();
  }

  const bool quit_on_close = QApplication::quitOnLastWindowClosed();
  QTemporaryDir folder;
  device::simulated_head head;
  main_window window;
  pinned_clock clock_;
  instrument inst;
  scan_record_writer record{window, folder.path(), {"simulated", {}, {}, {}}, 3000, "1.00", {}};
};

}  // namespace brevane::testing
