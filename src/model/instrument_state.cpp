#include "model/instrument_state.h"

#include <algorithm>
#include <cstddef>

namespace brevane {

namespace {

// Sets field to value; true when that changed it.
template <typename T>
bool changed(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

const char* ending_word(operation_ending how) {
  // In the order of the enumeration.
  static constexpr const char* words[] = {"NONE",    "COMPLETED", "CANCELLED", "STOPPED",
                                          "ALARM",   "HEADLOST",  "FAILED"};
  return words[static_cast<std::size_t>(how)];
}

operation_ending ending_of(sweep_end how, bool by_alarm) {
  switch (how) {
    case sweep_end::completed:
      return operation_ending::completed;
    case sweep_end::stopped:
      return by_alarm ? operation_ending::alarm : operation_ending::stopped;
    case sweep_end::cancelled:
    case sweep_end::stopped_by_signal:
      return operation_ending::cancelled;
    case sweep_end::head_unplugged:
      return operation_ending::head_lost;
    case sweep_end::echo_timeout:
    case sweep_end::error:
      return operation_ending::failed;
  }
  return operation_ending::failed;
}

instrument_state::instrument_state() {
  // The window's start values: Repeat ticked, the bars at their start, "Step 10".
  boxes_[index(check_box::repeat)] = true;
  bars_[index(scroll_bar::xmin)] = xmin_range.start;
  bars_[index(scroll_bar::xmax)] = xmax_range.start;
  bars_[index(scroll_bar::zmin)] = zmin_range.start;
  bars_[index(scroll_bar::zmax)] = zmax_range.start;
  bars_[index(scroll_bar::gain)] = gain_range.start;
}

void instrument_state::set_checked(check_box box, bool ticked) {
  if (changed(boxes_[index(box)], ticked)) announce();
}

void instrument_state::set_value(scroll_bar bar, int value) {
  if (changed(bars_[index(bar)], value)) announce();
}

void instrument_state::set_step_index(int index) {
  if (index < 0 || index >= static_cast<int>(step_choices.size()) || index == step_index_) return;
  step_index_ = index;
  announce();
}

void instrument_state::set_log_data(bool on) {
  if (changed(log_data_, on)) announce();
}

void instrument_state::set_log_images(bool on) {
  if (changed(log_images_, on)) announce();
}

void instrument_state::set_head_present(bool present) {
  if (changed(head_present_, present)) announce();
}

void instrument_state::set_x(int x) {
  move(x_, x);
}

void instrument_state::set_z(int z) {
  move(z_, z);
}

void instrument_state::move(int& axis, int to) {
  if (!changed(axis, to) && position_known_) return;
  position_known_ = true;
  announce();
}

std::string instrument_state::position_text() const {
  if (!position_known_) return {};
  return "X " + std::to_string(x_) + " Z " + std::to_string(z_);
}

void instrument_state::operation_began(const std::string& name, bool sweep) {
  operation_ = name;
  sweeping_ = sweep;
  waiting_for_.clear();
  paused_ = false;
  pause_asked_ = false;
  pause_reason_.clear();
  noted_ending_.reset();
  if (sweep) standing_ = {};
  announce();
}

void instrument_state::operation_ended(operation_ending how, const std::string& sentence) {
  last_operation_ = operation_;
  last_was_sweep_ = sweeping_;
  last_ending_ = noted_ending_.value_or(how);
  noted_ending_.reset();
  if (sweeping_) last_sweep_ending_ = last_ending_;
  last_sentence_ = sentence;
  operation_.clear();
  sweeping_ = false;
  waiting_for_.clear();
  paused_ = false;
  pause_asked_ = false;
  pause_reason_.clear();
  announce();
}

void instrument_state::set_standing(const sweep_standing& now) {
  if (standing_ == now) return;
  standing_ = now;
  announce();
}

void instrument_state::set_pause_asked(bool asked) {
  if (changed(pause_asked_, asked)) announce();
}

void instrument_state::set_paused(bool paused, const std::string& reason) {
  if (paused_ == paused && pause_reason_ == reason) return;
  paused_ = paused;
  pause_reason_ = paused ? reason : std::string();
  announce();
}

int instrument_state::listen(std::function<void()> heard) {
  listeners_.push_back({next_id_, std::move(heard)});
  return next_id_++;
}

void instrument_state::unlisten(int id) {
  std::erase_if(listeners_, [id](const listener& l) { return l.id == id; });
}

void instrument_state::announce() {
  // A listener may unlisten while hearing; it hears from a copy.
  const auto now = listeners_;
  for (const auto& l : now) l.heard();
}

}  // namespace brevane
