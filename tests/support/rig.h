#pragma once
// A whole program without widgets: the procedures over a scripted head and an in-memory
// window, with a pinned clock and a temporary data folder.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/instrument.h"
#include "common/clock.h"
#include "support/memory_panel.h"
#include "support/scripted_head.h"
#include "ui/startup.h"

namespace brevane::testing {

class pinned_clock : public clock {
 public:
  QDateTime now() const override { return when; }
  // 6 December 2026, 5:04:10 in the morning.
  QDateTime when{QDate(2026, 12, 6), QTime(5, 4, 10)};
};

// Lets events run until done() or the time is up; true when done.
inline bool run_events_until(const std::function<bool()>& done, int ms = 2000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  return done();
}

template <typename Transport = scripted_head>
struct basic_rig {
  explicit basic_rig(int echo_timeout_ms = 500) : app(*this, echo_timeout_ms) {
    // Wired as the window's controls are.
    window.on_value_changed = [this](scroll_bar bar, int v) {
      app.inst.positioning.limit_changed(bar, v);
    };
    window.on_step_chosen = [this](int index) { app.inst.positioning.choose_step(index); };
  }

  struct parts {
    parts(basic_rig& r, int echo_timeout_ms)
        : inst(r.head, r.window, r.clock_, r.folder.path(), echo_timeout_ms,
               QLocale(QLocale::English, QLocale::UnitedStates)) {}
    instrument inst;
  };

  // Connects and waits for the head's plugged and changed notifications.
  bool start() {
    load_step(app.inst.state, window);
    app.inst.device.connect_link();
    const bool up = run_events_until([this] { return window.caption() == "Up and Running"; });
    QCoreApplication::processEvents();
    return up;
  }

  instrument& operator*() { return app.inst; }
  instrument* operator->() { return &app.inst; }

  QTemporaryDir folder;
  Transport head;
  memory_panel window;
  pinned_clock clock_;
  parts app;
};

using rig = basic_rig<>;

// Z 140 and 160, X 100, 120 and 140 at step 20, "Repeat" unticked: 10 baseline readings, then
// per cycle 2 passes of 2 rows of 1 row start and 3 points.
template <typename Rig>
void use_small_raster(Rig& r) {
  r.window.values[scroll_bar::xmin] = 100;
  r.window.values[scroll_bar::xmax] = 140;
  r.window.values[scroll_bar::zmin] = 140;
  r.window.values[scroll_bar::zmax] = 160;
  r->state.step_d = 20;
  r.window.checks[check_box::repeat] = false;
}

}  // namespace brevane::testing
