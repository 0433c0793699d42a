// The sweep held and ended early: the operator's pause, a head that went away, the alarms
// that pause or end it at a reading, and a sweep taken up again after the program stopped.
#include "common/numbers.h"
#include "device/command_exchange.h"
#include "model/instrument_state.h"
#include "model/main_window_state.h"
#include "model/panel.h"
#include "scan/sweep.h"

namespace brevane {

void sweep_procedure::tell(const reading_event& e) {
  // A pause an alarm asked for takes effect before the next report, so before the next reading;
  // a cause still pending here belongs to a pause the operator took back.
  if (!alarm_ends_sweep_) alarm_.clear();
  if (stream_.listened_to()) stream_.notify([&](reading_observer& o) { o.reading_taken(e); });
  if (!alarms_.settings().any()) return;
  std::optional<std::string> why = alarms_.check(e);
  if (!why || !alarm_.empty()) return;
  alarm_ = std::move(*why);
  if (!alarm_ends_sweep_) {
    exchange_.guard().set_paused(true);
    // Its pause shows on the Pause buttons as F8's does.
    settings_.set_pause_asked(true);
  }
  if (on_alarm) on_alarm(alarm_);
}

std::string sweep_procedure::place() const {
  std::string text =
      "X " + std::to_string(state_.posx) + " Z " + std::to_string(state_.posz) + " (";
  if (pass_ == pass_direction::none) return text + "taking the baseline)";
  text += "cycle " + std::to_string(cycle_) + ", " +
          (pass_ == pass_direction::upward ? "upward" : "downward") + " pass, row " +
          std::to_string(row_) + " of " + std::to_string(rows_);
  if (point_ == 0) return text + ", its start)";
  return text + ", point " + std::to_string(point_) + " of " + std::to_string(points_in_run_) + ")";
}

void sweep_procedure::interrupted(interruption what) {
  progress_.hold(what == interruption::paused || what == interruption::head_lost);
  const std::string alarm = what == interruption::paused ? alarm_ : std::string();
  if (what == interruption::resumed) alarm_.clear();
  if (what == interruption::paused)
    settings_.set_paused(true, alarm.empty() ? settings_.pause_asked_by() : "alarm: " + alarm);
  else if (what == interruption::resumed)
    settings_.set_paused(false);
  // The progress shown says where the sweep holds, not where it stood a second ago.
  window_.show_progress(status_text(status()));
  switch (what) {
    case interruption::paused:
      window_.show_status(
          (alarm.empty() ? "Paused at " + place() : "Paused by an alarm: " + alarm) +
          ". F8 or Resume goes on with the next report; Escape ends the sweep.");
      break;
    case interruption::resumed:
      window_.show_status("Resumed at " + place() + ".");
      break;
    case interruption::head_lost:
      window_.show_status("The head was lost at " + place() +
                          ". Plug it in again to go on; Escape ends the sweep.");
      break;
    case interruption::head_back:
      window_.show_status("The head is back; the sweep goes on from " + place() + ".");
      break;
  }
  if (!stream_.listened_to()) return;
  reading_event where = event(point_ == 0 ? reading_kind::row_start : reading_kind::point);
  if (pass_ == pass_direction::none) where = event(reading_kind::baseline);
  stream_.notify([&](reading_observer& o) { o.sweep_interrupted(what, where, alarm); });
}

bool sweep_procedure::passing_over(reading_kind kind) {
  const reading_event& last = resume_->last;
  if (kind == last.kind && cycle_ == last.cycle && pass_ == last.pass && row_ == last.row &&
      point_ == last.point) {
    skipping_ = false;
    sweep_place at;
    at.cycle = cycle_;
    at.pass = pass_;
    at.baseline_readings = 10;
    at.row = row_;
    at.rows = rows_;
    at.point = point_;
    at.points_in_run = points_in_run_;
    progress_.resumed_at(at, rows_, points_in_run_, boxes());
    settings_.set_standing(standing_of(status()));
  }
  return true;
}

void sweep_procedure::refill_maps() {
  const double avgt = resume_->avgt.value_or(state_.avgt);
  const int gain = settings_.value(scroll_bar::gain);
  for (const reading_event& e : resume_->cycle_readings) {
    if (e.pass != resume_->last.pass) continue;
    const auto i = try_to_integer(e.x - 100);
    const auto j = try_to_integer(e.z - 140);
    if (!i || !j || !map_grid::in_range(*i, *j)) continue;
    if (e.temperature_f)
      if (const auto v = try_to_integer(baseline_value(*e.temperature_f, avgt, gain)))
        state_.thermal_map.at(*i, *j) = *v;
    if (e.distance_in)
      if (const auto d = try_to_integer(*e.distance_in)) state_.sonic_map.at(*i, *j) = *d;
  }
}

void sweep_procedure::restore_position() {
  // The head may have restarted and lost its place: X to the last commanded posx, then Z.
  if (!settings_.checked(check_box::x_off)) exchange_.xpos(state_.posx);
  if (!settings_.checked(check_box::z_off)) exchange_.zpos(state_.posz);
}

}  // namespace brevane
