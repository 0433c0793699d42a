#pragma once
// An in-memory window for the procedures: boxes, bars, caption and pictures without widgets.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/canvas.h"
#include "model/control_ranges.h"
#include "model/instrument_state.h"
#include "model/panel.h"

namespace brevane::testing {

class memory_panel : public panel {
 public:
  // Over the instrument's settings, or settings of its own.
  explicit memory_panel(instrument_state* settings = nullptr)
      : panel(settings),
        checks{&this->settings()},
        values{&this->settings()},
        scope_(325, 269, QColor(0, 192, 0), 15.05 / 15.0, 12.609375 / 15.0),
        thermal_picture_(149, 69, QColor(192, 192, 192)),
        sonic_picture_(149, 69, QColor(192, 192, 192)) {}

  void set_checked(check_box box, bool ticked) override { settings().set_checked(box, ticked); }
  // As a scroll bar does: a change is announced, the same value is not.
  void set_value(scroll_bar bar, int value) override {
    if (this->value(bar) == value) return;
    settings().set_value(bar, value);
    if (on_value_changed) on_value_changed(bar, value);
  }
  void choose_step(int index) override {
    step_index = index;
    settings().set_step_index(index);
    if (on_step_chosen) on_step_chosen(index);
  }
  void set_text(text_box box, const std::string& text) override { texts[box] = text; }
  std::string text(text_box box) const override {
    auto it = texts.find(box);
    return it == texts.end() ? std::string() : it->second;
  }
  void set_caption(const std::string& c) override {
    caption_ = c;
    captions.push_back(c);
    if (on_caption) on_caption(c);
  }
  std::string caption() const override { return caption_; }
  void set_bar_top(int index, float twips) override { bar_tops[index] = twips; }
  canvas& pictures(picture which) override {
    switch (which) {
      case picture::scope:
        return scope_;
      case picture::thermal_map:
        return thermal_picture_;
      case picture::sonic_map:
        return sonic_picture_;
    }
    return scope_;
  }
  void show_status(const std::string& message) override { statuses.push_back(message); }
  std::string status() const override { return statuses.empty() ? std::string() : statuses.back(); }
  void show_progress(const std::string& p) override { progress = p; }

  // The settings written directly, as a test sets up a window without handlers.
  struct check_storage {
    instrument_state* s;
    bool& operator[](check_box box) { return s->box_storage(box); }
  } checks;
  struct value_storage {
    instrument_state* s;
    int& operator[](scroll_bar bar) { return s->bar_storage(bar); }
    int at(scroll_bar bar) const { return s->value(bar); }
  } values;
  std::map<text_box, std::string> texts;
  std::map<int, float> bar_tops;
  std::vector<std::string> captions;
  std::vector<std::string> statuses;
  std::string progress;
  std::function<void(const std::string&)> on_caption;
  // The window's wiring: what a scroll bar change and a step click reach.
  std::function<void(scroll_bar, int)> on_value_changed;
  std::function<void(int)> on_step_chosen;
  int step_index = start_step_index;
  void set_log_data(bool on) { settings().set_log_data(on); }
  void set_log_images(bool on) { settings().set_log_images(on); }

 private:
  std::string caption_ = "Brevane version 1.00";
  canvas scope_;
  canvas thermal_picture_;
  canvas sonic_picture_;
};

}  // namespace brevane::testing
