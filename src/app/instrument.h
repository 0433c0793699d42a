#pragma once
// The program's procedures over one transport and one window, built in dependency order.
// main() wires these to the window's controls; tests build the same set over fakes.

#include <QLocale>
#include <QString>

#include "app/disk_guard.h"
#include "device/command_exchange.h"
#include "device/device_link.h"
#include "display/image_maps.h"
#include "display/scope_trace.h"
#include "logging/data_log.h"
#include "logging/image_log.h"
#include "logging/list_upload.h"
#include "model/instrument_state.h"
#include "model/main_window_state.h"
#include "model/reading_stream.h"
#include "scan/manual_positioning.h"
#include "scan/operation_runner.h"
#include "scan/sweep.h"
#include "sensors/sonic_reading.h"
#include "sensors/thermal_reading.h"

namespace brevane {

class clock;
class panel;

struct instrument {
  instrument(device::transport& link, panel& window, const clock& time_source,
             const QString& data_folder, int echo_timeout_ms,
             const QLocale& locale = QLocale::system())
      : settings(window.settings()),
        exchange(link, echo_timeout_ms),
        guard(exchange.guard()),
        device(link, exchange, window),
        datalog(state, window, time_source, data_folder, locale),
        scope(state, window),
        thermal(exchange, state, window, scope, datalog),
        sonic(exchange, state, window, thermal),
        imagelog(state, window, time_source, data_folder, locale),
        maps(state, window, imagelog),
        positioning(exchange, state, window, thermal),
        sweep(exchange, state, window, thermal, sonic, maps, readings, time_source),
        upload(exchange, window),
        runner(exchange, window),
        disk([data_folder] { return data_folder; },
             [this](const std::string& why) { guard.cancel(why); }) {
    exchange.set_state(&settings);
    // Every sweep, from the window, a job or a client, is kept from filling its disk.
    sweep_watch = settings.listen([this] {
      if (settings.sweeping() == disk_watched) return;
      disk_watched = settings.sweeping();
      if (disk_watched)
        disk.sweep_began();
      else
        disk.sweep_ended();
    });
  }
  ~instrument() { settings.unlisten(sweep_watch); }
  instrument(const instrument&) = delete;
  instrument& operator=(const instrument&) = delete;

  // The instrument's state: its settings, head, position, operation and how it ended.
  instrument_state& settings;
  main_window_state state;
  reading_stream readings;
  device::command_exchange exchange;
  // Which operation runs, and the cancel, stop and pause that end or hold it.
  device::operation_guard& guard;
  device::device_link device;
  data_log datalog;
  scope_trace scope;
  thermal_reading thermal;
  sonic_reading sonic;
  image_log imagelog;
  image_maps maps;
  manual_positioning positioning;
  sweep_procedure sweep;
  list_upload upload;
  operation_runner runner;
  disk_guard disk;

 private:
  int sweep_watch = 0;
  bool disk_watched = false;
};

}  // namespace brevane
