#include "app/wiring.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "app/instrument.h"
#include "logging/scan_record.h"
#include "scan/sweep_resume.h"
#include "ui/main_window.h"
#include "ui/maps_alarms.h"

namespace brevane {

namespace {

sweep_record_note record_note(const scan_record_writer& record) {
  sweep_record_note note;
  if (record.path().isEmpty()) return note;
  note.path = QDir::toNativeSeparators(record.path()).toStdString();
  note.written = record.readings_written();
  note.lost = record.kept().count();
  note.gone = !QFileInfo::exists(record.path());
  return note;
}

}  // namespace

std::optional<double> take_temperature(instrument& inst) {
  double reading = 0;
  if (!inst.runner.run("Temp", [&] { reading = inst.thermal.therm(); })) return std::nullopt;
  return reading;
}

std::optional<double> take_distance(instrument& inst) {
  double reading = 0;
  if (!inst.runner.run("Distance", [&] { reading = inst.sonic.sonic(); })) return std::nullopt;
  return reading;
}

bool go_home(instrument& inst) {
  return inst.runner.run("Home", [&] { inst.positioning.home(); });
}

bool move_head(instrument& inst, int x, int z) {
  return inst.runner.run("Move", [&] { inst.positioning.move_to(x, z); });
}

std::optional<std::string> sweep_refusal(const instrument& inst) {
  const std::string refused = "Sweep was not started: ";
  // A sweep without a head would only wait for it, and leave a record of nothing.
  if (!inst.settings.head_present())
    return refused +
           "no head is connected. Plug it in; the caption reads \"Up and Running\" "
           "once it is there.";
  // The box that ended the last sweep would end this one at its first reading.
  if (inst.settings.checked(check_box::stop))
    return refused +
           "the Stop box is ticked and would end it at its first reading. Untick "
           "Stop to sweep.";
  return std::nullopt;
}

bool run_window_sweep(panel& window, instrument& inst, const scan_record_writer& record,
                      bool reserved, std::optional<int> cycles, const resume_plan* resume) {
  if (!reserved && !inst.guard.busy()) {
    if (const auto why = sweep_refusal(inst)) {
      window.show_status(*why);
      return false;
    }
  }
  const bool free = reserved || !inst.guard.busy();
  const auto body = [&] {
    if (resume)
      inst.sweep.sweep(resume->cycles, &resume->from);
    else
      inst.sweep.sweep(cycles);
  };
  const std::string keys = "F8 pauses, Escape ends it";
  const bool completed = reserved ? inst.runner.run_reserved(sweep_operation_name, body, keys)
                                  : inst.runner.run(sweep_operation_name, body, keys);
  // How it ended, its readings and its record; a sweep that could not start says so itself.
  if (free) window.show_status(sweep_end_text(inst.sweep.end_sentence(), record_note(record)));
  return completed;
}

void toggle_pause(panel& window, instrument& inst) {
  const bool pause = !inst.guard.paused();
  inst.guard.set_paused(pause);
  inst.settings.set_pause_asked(inst.guard.paused());
  // The pause itself is said once the exchange in progress has finished.
  if (pause) window.show_status("Pausing after the exchange in progress...");
}

void wire_alarms(instrument& inst, maps_alarms* controls) {
  if (!controls) return;
  controls->restore_and_remember();
  inst.sweep.alarms().set(controls->settings());
  inst.sweep.alarms().on_change = [controls](const alarm_settings& s) {
    controls->show_settings(s);
  };
  QObject::connect(controls, &maps_alarms::changed,
                   [&inst](const alarm_settings& s) { inst.sweep.alarms().set(s); });
}

void wire_window(main_window& window, instrument& inst, const scan_record_writer& record,
                 const QString& default_list_file) {
  auto& runner = inst.runner;
  inst.guard.on_busy_changed = [&window](bool busy) {
    window.set_device_controls_enabled(!busy);
  };
  QObject::connect(&window, &main_window::temp_clicked, [&] { take_temperature(inst); });
  QObject::connect(&window, &main_window::distance_clicked, [&] { take_distance(inst); });
  QObject::connect(&window, &main_window::static_read_clicked,
                   [&] { runner.run("Static Read", [&] { inst.sonic.static_read(); }); });
  QObject::connect(&window, &main_window::sweep_clicked,
                   [&] { run_window_sweep(window, inst, record); });
  QObject::connect(&window, &main_window::pause_clicked, [&] {
    inst.settings.ask_pause("the operator (F8)");
    toggle_pause(window, inst);
  });
  QObject::connect(&window, &main_window::home_clicked, [&] { go_home(inst); });
  QObject::connect(&window, &main_window::arrow_clicked, [&](int index) {
    runner.run("Jog", [&inst, index] { inst.positioning.jog(index); });
  });
  QObject::connect(&window, &main_window::step_chosen,
                   [&](int index) { inst.positioning.choose_step(index); });
  QObject::connect(&window, &main_window::limit_changed,
                   [&](scroll_bar bar, int value) { inst.positioning.limit_changed(bar, value); });
  QObject::connect(&window, &main_window::gain_changed,
                   [&](int value) { inst.positioning.gain_changed(value); });
  QObject::connect(&window, &main_window::reset_temperature_clicked,
                   [&] { inst.positioning.reset_temperature(); });
  QObject::connect(&window, &main_window::reset_distance_clicked,
                   [&] { inst.positioning.reset_distance(); });
  QObject::connect(&window, &main_window::upload_list_chosen, [&, default_list_file] {
    runner.run("Upload List", [&] { inst.upload.load_list(default_list_file); });
  });
  QObject::connect(&window, &main_window::escape_pressed, [&] { inst.guard.cancel("Escape"); });
  // Closing ends the operation in progress; its wait returns and the handler unwinds before
  // the program leaves its event loop.
  QObject::connect(&window, &main_window::close_requested, [&] {
    inst.guard.cancel("window closed");
    inst.device.disconnect_link();
  });
  QObject::connect(&window, &main_window::exit_chosen, [&] {
    inst.guard.cancel("Exit");
    inst.device.disconnect_link();
    QApplication::quit();
  });
}

}  // namespace brevane
