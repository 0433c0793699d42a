#include "ui/plain_panel.h"

#include <algorithm>

#include "model/instrument_state.h"
#include "ui/layout_canvas.h"

namespace brevane {

plain_panel::plain_panel(instrument_state& settings)
    : panel(&settings) {}

void plain_panel::set_checked(check_box box, bool ticked) {
  settings().set_checked(box, ticked);
}

void plain_panel::set_value(scroll_bar bar, int value) {
  // As a scroll bar does: kept within its range, a change announced, the same value not.
  const control_range& range = bar == scroll_bar::xmin   ? xmin_range
                               : bar == scroll_bar::xmax ? xmax_range
                               : bar == scroll_bar::zmin ? zmin_range
                               : bar == scroll_bar::zmax ? zmax_range
                                                         : gain_range;
  value = std::clamp(value, range.low, range.high);
  if (this->value(bar) == value) return;
  settings().set_value(bar, value);
  if (on_value_changed) on_value_changed(bar, value);
}

void plain_panel::choose_step(int index) {
  if (index < 0 || index >= static_cast<int>(step_choices.size())) return;
  settings().set_step_index(index);
  if (on_step_chosen) on_step_chosen(index);
}

void plain_panel::set_text(text_box box, const std::string& text) {
  const auto index = static_cast<std::size_t>(box);
  if (index < texts_.size()) texts_[index] = text;
}

std::string plain_panel::text(text_box box) const {
  const auto index = static_cast<std::size_t>(box);
  return index < texts_.size() ? texts_[index] : std::string();
}

canvas& plain_panel::pictures(picture which) {
  return pictures_.at(which);
}

void plain_panel::show_status(const std::string& message) {
  status_ = message;
  if (on_status) on_status(message);
}

}  // namespace brevane
