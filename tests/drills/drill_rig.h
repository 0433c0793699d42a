#pragma once
// The whole program on the simulated head with an in-memory window, for the fault drills: the
// drill picks the head's options and the data folder, and runs each operation the way the
// window's handlers do, so the caption and the status bar show what the operator would see.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/instrument.h"
#include "device/simulated_head.h"
#include "support/memory_panel.h"
#include "support/rig.h"
#include "ui/startup.h"

namespace brevane::testing {

inline QByteArray file_bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The CRLF-ended lines of a data log.
inline std::vector<std::string> log_lines(const QString& path) {
  std::vector<std::string> lines;
  const QByteArray text = file_bytes(path);
  qsizetype from = 0;
  for (qsizetype end; (end = text.indexOf("\r\n", from)) >= 0; from = end + 2)
    lines.push_back(text.mid(from, end - from).toStdString());
  return lines;
}

struct drill_rig {
  explicit drill_rig(int echo_timeout_ms, device::simulated_head_options options = {},
                     const QString& data_folder = QString())
      : head(options),
        inst(head, window, clock_, data_folder.isNull() ? folder.path() : data_folder,
             echo_timeout_ms, QLocale(QLocale::English, QLocale::UnitedStates)) {}

  // Connects and waits until the head has announced itself.
  bool start() {
    load_step(inst.state, window);
    inst.device.connect_link();
    return wait_for_caption("Up and Running");
  }

  bool wait_for_caption(const std::string& caption, int ms = 2000) {
    const bool seen = run_events_until([&] { return window.caption() == caption; }, ms);
    // The changed notification that follows enables the reads.
    QCoreApplication::processEvents();
    return seen;
  }

  // Runs a device operation under the guard, as a click does. A watchdog cancels it after
  // watchdog_ms, so a drill whose protection is gone fails instead of hanging.
  bool run(const std::string& name, const std::function<void()>& body, int watchdog_ms = 5000) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      watchdog_fired = true;
      inst.guard.cancel("watchdog");
    });
    watchdog.start(watchdog_ms);
    QElapsedTimer timer;
    timer.start();
    const bool ok = inst.runner.run(name, body);
    elapsed_ms = timer.elapsed();
    return ok;
  }

  bool sweep(sweep_procedure::outcome* outcome = nullptr, int watchdog_ms = 5000) {
    return run(
        "Sweep",
        [&] {
          const auto o = inst.sweep.sweep();
          if (outcome) *outcome = o;
        },
        watchdog_ms);
  }

  std::string status() const {
    return window.statuses.empty() ? std::string() : window.statuses.back();
  }
  // The first message that held part; empty when none did.
  std::string status_containing(const std::string& part) const {
    for (const auto& s : window.statuses)
      if (s.find(part) != std::string::npos) return s;
    return {};
  }
  long statuses_containing(const std::string& part) const {
    long n = 0;
    for (const auto& s : window.statuses) n += s.find(part) != std::string::npos ? 1 : 0;
    return n;
  }

  QTemporaryDir folder;
  device::simulated_head head;
  memory_panel window;
  pinned_clock clock_;
  instrument inst;
  qint64 elapsed_ms = 0;
  bool watchdog_fired = false;
};

}  // namespace brevane::testing
