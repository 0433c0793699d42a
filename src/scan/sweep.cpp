#include "scan/sweep.h"

#include <algorithm>

#include "common/clock.h"
#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "device/device_errors.h"
#include "display/image_maps.h"
#include "model/instrument_state.h"
#include "model/main_window_state.h"
#include "model/panel.h"
#include "model/reading_stream.h"
#include "scan/manual_positioning.h"
#include "sensors/sonic_reading.h"
#include "sensors/thermal_reading.h"

namespace brevane {

using namespace device;

namespace {

sweep_end how_it_ended(const device_error& e) {
  // Besides these, a device operation ends only when a report cannot be sent, because the
  // head is gone.
  if (dynamic_cast<const echo_timeout*>(&e)) return sweep_end::echo_timeout;
  if (dynamic_cast<const head_lost*>(&e)) return sweep_end::head_unplugged;
  if (dynamic_cast<const operation_stopped*>(&e)) return sweep_end::stopped_by_signal;
  if (dynamic_cast<const operation_cancelled*>(&e)) return sweep_end::cancelled;
  if (dynamic_cast<const report_refused*>(&e)) return sweep_end::error;
  return sweep_end::head_unplugged;
}

}  // namespace

sweep_procedure::sweep_procedure(command_exchange& exchange, main_window_state& state,
                                 panel& window, thermal_reading& thermal, sonic_reading& sonic,
                                 image_maps& maps, reading_stream& stream, const clock& time_source)
    : exchange_(exchange),
      state_(state),
      window_(window),
      thermal_(thermal),
      sonic_(sonic),
      maps_(maps),
      stream_(stream),
      clock_(time_source),
      settings_(window.settings()) {}

bool sweep_procedure::stop_requested() const {
  return ended_by_alarm() || settings_.checked(check_box::stop);
}

sweep_boxes sweep_procedure::boxes() const {
  return {settings_.checked(check_box::sonic_off), settings_.checked(check_box::temp_off),
          settings_.checked(check_box::x_off), settings_.checked(check_box::z_off)};
}

sweep_standing standing_of(const sweep_status& s) {
  return {s.cycle, s.cycles, s.pass, s.row, s.point, s.percent, s.seconds_left};
}

sweep_status sweep_procedure::status() const {
  const int step = std::max<int>(1, state_.step_d);
  return progress_.status(
      raster_count(settings_.value(scroll_bar::zmin), settings_.value(scroll_bar::zmax), step),
      raster_count(settings_.value(scroll_bar::xmin), settings_.value(scroll_bar::xmax), step), boxes(),
      settings_.checked(check_box::repeat));
}

void sweep_procedure::step_done(const exchange_tally& sent) {
  sweep_place at;
  at.cycle = cycle_;
  at.pass = pass_;
  at.baseline_readings = baseline_readings_;
  at.row = row_;
  at.rows = rows_;
  at.point = point_;
  at.points_in_run = points_in_run_;
  const bool due = progress_.add(sent, at);
  // Every view reads the standing from the state, so it follows every step.
  settings_.set_standing(standing_of(status()));
  if (due) announce();
}

void sweep_procedure::announce() {
  const sweep_status now = status();
  window_.show_progress(status_text(now));
  if (on_progress) on_progress(now);
}

sweep_procedure::outcome sweep_procedure::sweep(std::optional<int> cycles,
                                                const sweep_resumption* from) {
  resume_.reset();
  if (from) resume_ = *from;
  skipping_ = from && from->last.kind != reading_kind::baseline;
  points_ = 0;
  cycles_done_ = 0;
  cycle_ = 0;
  row_ = rows_ = point_ = points_in_run_ = baseline_readings_ = 0;
  pass_ = pass_direction::none;
  end_sentence_.clear();
  alarm_.clear();
  ending_alarm_.clear();
  alarms_.arm();
  progress_.begin(cycles);
  const bool repeat_at_start = settings_.checked(check_box::repeat);
  in_use_ = raster_in_use{settings_.value(scroll_bar::xmin), settings_.value(scroll_bar::xmax),
                          settings_.value(scroll_bar::zmin), settings_.value(scroll_bar::zmax),
                          std::max<int>(1, state_.step_d), std::max<int>(1, state_.step_d)};
  announced_ = in_use_;
  if (stream_.listened_to()) {
    const QDateTime now = clock_.now();
    stream_.notify([&](reading_observer& o) {
      o.cycles_asked(cycles);
      o.sweep_started(in_use_, now);
      if (from) o.readings_held(from->cycle_readings);
    });
  }
  // A pause holds the sweep between two exchanges; a lost head suspends it until the head is
  // back, its position restored and the interrupted command sent again.
  exchange_.set_interruption_hooks(
      {[this](bool paused) { interrupted(paused ? interruption::paused : interruption::resumed); },
       [this](bool lost) { interrupted(lost ? interruption::head_lost : interruption::head_back); },
       [this] { restore_position(); }});
  struct hooks_off {
    command_exchange& exchange;
    ~hooks_off() { exchange.set_interruption_hooks({}); }
  } off{exchange_};
  try {
    const outcome how = run_cycles(cycles);
    if (how == outcome::stopped && ended_by_alarm()) {
      ending_alarm_ = alarm_;
      end_sentence_ = "Sweep stopped by an alarm: " + alarm_;
      ended(sweep_end::stopped, alarm_, true);
    } else if (how == outcome::stopped) {
      end_sentence_ = "Sweep stopped by the Stop box";
      ended(sweep_end::stopped, "the Stop box ended the sweep");
    } else if (!cycles && repeat_at_start) {
      end_sentence_ = "Sweep completed its cycle after Repeat was unticked";
      ended(sweep_end::stopped, "Repeat was unticked; the cycle in progress was completed");
    } else {
      end_sentence_ = "Sweep completed";
      ended(sweep_end::completed, "");
    }
    return how;
  } catch (const device_error& e) {
    end_sentence_ = e.what();
    ended(how_it_ended(e), e.what());
    throw;
  } catch (const std::exception& e) {
    end_sentence_ = std::string("Sweep stopped: ") + e.what();
    ended(sweep_end::error, e.what());
    throw;
  }
}

void sweep_procedure::ended(sweep_end how, const std::string& message, bool by_alarm) {
  progress_.finish(how);
  settings_.note_ending(ending_of(how, by_alarm));
  settings_.set_standing(standing_of(status()));
  window_.show_progress("");
  if (on_progress) on_progress(status());
  if (!stream_.listened_to()) return;
  const QDateTime now = clock_.now();
  stream_.notify([&](reading_observer& o) { o.sweep_ended(how, message, now, by_alarm); });
}

void sweep_procedure::take_sweep_baseline() {
  const int held = resume_ ? resume_->baseline_held : 0;
  // The baseline is taken where the head stands, without a stop check.
  state_.avgt = take_baseline(
      thermal_, state_, true,
      [this](int k, double temperature) {
        baseline_readings_ = k;
        step_done({.t = 1});
        if (!stream_.listened_to() && !alarms_.settings().any()) return true;
        reading_event e = event(reading_kind::baseline);
        e.point = k;
        e.temperature_f = temperature;
        tell(e);
        return !ended_by_alarm();
      },
      held, resume_ ? resume_->baseline_sum : 0.0);
}

sweep_procedure::outcome sweep_procedure::run_cycles(std::optional<int> cycles) {
  if (resume_) {
    state_.posx = resume_->last.x;
    state_.posz = resume_->last.z;
    restore_position();
    refill_maps();
    // Baseline readings the record holds count as done, as the rest of the sweep does.
    if (resume_->last.kind == reading_kind::baseline) {
      sweep_place at;
      at.baseline_readings = resume_->baseline_held;
      progress_.add({.t = resume_->baseline_held}, at);
    }
  }
  if (resume_ && resume_->avgt) {
    // Taken again it would differ, and so would every map after it.
    state_.avgt = *resume_->avgt;
  } else {
    take_sweep_baseline();
    if (ended_by_alarm()) return outcome::stopped;
    if (stream_.listened_to()) {
      const double avgt = state_.avgt;
      stream_.notify([&](reading_observer& o) { o.baseline_taken(avgt); });
    }
  }

  cycle_ = resume_ ? std::max(1, resume_->last.cycle) : 1;
  cycles_done_ = cycle_ - 1;
  for (;; ++cycle_) {
    direction_ = 0;
    if (!run_pass(true)) return outcome::stopped;
    direction_ = 1;
    if (!run_pass(false)) return outcome::stopped;
    exchange_.leds(led_cycle_done);
    step_done({.l = 1});
    ++cycles_done_;

    if (cycles ? cycles_done_ >= *cycles : !settings_.checked(check_box::repeat)) break;
  }
  return outcome::completed;
}

bool sweep_procedure::run_pass(bool upward) {
  pass_ = upward ? pass_direction::upward : pass_direction::downward;
  if (skipping_ && upward && resume_->last.pass == pass_direction::downward) return true;
  // The limits and the step are read at the start of each pass, as the original reads them.
  const int zmin = settings_.value(scroll_bar::zmin);
  const int zmax = settings_.value(scroll_bar::zmax);
  const int step = std::max<int>(1, state_.step_d);
  pass_begins(zmin, zmax, step);
  rows_ = raster_count(zmin, zmax, step);
  row_ = 0;
  // Upward from zmin, downward from zmax: the rows differ when the step does not divide.
  for (int z = upward ? zmin : zmax; upward ? z <= zmax : z >= zmin; z += upward ? step : -step) {
    ++row_;
    if (!row_start(z, upward)) return false;
    if (!x_run(upward)) return false;
    // Only the downward pass looks at the Stop box again after a row, as the original does.
    if (!upward && stop_requested()) return false;
  }
  maps_.rawdraw();
  pass_ended();
  return true;
}

reading_event sweep_procedure::event(reading_kind kind) const {
  reading_event e;
  e.kind = kind;
  if (kind != reading_kind::baseline) {
    e.cycle = cycle_;
    e.pass = pass_;
    e.row = row_;
    e.point = kind == reading_kind::point ? point_ : 0;
  }
  e.x = state_.posx;
  e.z = state_.posz;
  e.time = clock_.now();
  return e;
}

void sweep_procedure::reading_taken(reading_kind kind, std::optional<double> temperature,
                                    std::optional<double> distance) {
  if (!stream_.listened_to() && !alarms_.settings().any()) return;
  reading_event e = event(kind);
  e.temperature_f = temperature;
  e.distance_in = distance;
  tell(e);
}

void sweep_procedure::pass_begins(int zmin, int zmax, int step) {
  in_use_.zmin = zmin;
  in_use_.zmax = zmax;
  in_use_.row_step = step;
  announce_raster();
}

void sweep_procedure::announce_raster() {
  if (in_use_ == announced_) return;
  announced_ = in_use_;
  if (stream_.listened_to())
    stream_.notify([this](reading_observer& o) { o.raster_changed(in_use_); });
}

void sweep_procedure::pass_ended() {
  if (!stream_.listened_to()) return;
  const int cycle = cycle_;
  const pass_direction pass = pass_;
  stream_.notify([&](reading_observer& o) { o.pass_ended(cycle, pass); });
}

bool sweep_procedure::row_start(int z, bool upward) {
  state_.posz = z;
  state_.pos = static_cast<std::int16_t>(z);
  point_ = 0;
  // The run that follows, so that a row start reads "its start" of a known number of points.
  points_in_run_ = raster_count(settings_.value(scroll_bar::xmin), settings_.value(scroll_bar::xmax),
                                std::max<int>(1, state_.step_d));
  if (skipping_) return passing_over(reading_kind::row_start);
  exchange_tally sent;
  if (!settings_.checked(check_box::z_off)) {
    exchange_.zpos(state_.pos);
    sent.z = 1;
  }
  exchange_.leds(led_row_start);
  sent.l = 1;
  if (upward) command_exchange::pump_once();
  std::optional<double> distance, temperature;
  if (!settings_.checked(check_box::sonic_off)) {
    distance = sonic_.sonic();
    exchange_.leds(led_after_sonic);
    sent.s = 1;
    ++sent.l;
  }
  if (!settings_.checked(check_box::temp_off)) {
    temperature = thermal_.therm();
    exchange_.leds(led_after_thermal);
    sent.t = 1;
    ++sent.l;
  }
  reading_taken(reading_kind::row_start, temperature, distance);
  step_done(sent);
  return !stop_requested();
}

bool sweep_procedure::x_run(bool upward) {
  const int xmin = settings_.value(scroll_bar::xmin);
  const int xmax = settings_.value(scroll_bar::xmax);
  const int step = std::max<int>(1, state_.step_d);
  in_use_.xmin = xmin;
  in_use_.xmax = xmax;
  in_use_.point_step = step;
  announce_raster();
  points_in_run_ = raster_count(xmin, xmax, step);
  point_ = 0;
  if (direction_ == 0) {
    for (int x = xmin; x <= xmax; x += step)
      if (!x_point(x, upward, true)) return false;
    direction_ = 1;
  } else {
    for (int x = xmax; x >= xmin; x -= step)
      if (!x_point(x, upward, false)) return false;
    direction_ = 0;
  }
  return true;
}

bool sweep_procedure::x_point(int x, bool upward, bool increasing) {
  state_.posx = x;
  state_.pos = static_cast<std::int16_t>(x);
  ++point_;
  if (skipping_) return passing_over(reading_kind::point);
  ++points_;
  const bool move = !settings_.checked(check_box::x_off);
  exchange_tally sent;
  sent.x = move ? 1 : 0;
  const std::string caption = "X " + str_format(state_.posx) + " Z " + str_format(state_.posz);
  if (upward && !increasing) {
    if (move) exchange_.xpos(state_.pos);
    window_.set_caption(caption);
  } else {
    window_.set_caption(caption);
    if (move) exchange_.xpos(state_.pos);
  }
  std::optional<double> temperature, distance;
  if (!settings_.checked(check_box::temp_off)) {
    temperature = thermal_.therm();
    exchange_.leds(led_after_thermal);
    sent.t = 1;
    ++sent.l;
  }
  if (!(upward && increasing)) command_exchange::pump_once();
  if (!settings_.checked(check_box::sonic_off)) {
    distance = sonic_.sonic();
    exchange_.leds(led_after_sonic);
    sent.s = 1;
    ++sent.l;
  }
  reading_taken(reading_kind::point, temperature, distance);
  step_done(sent);
  return !stop_requested();
}

}  // namespace brevane
