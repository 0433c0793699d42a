#pragma once
// An in-memory window for the procedures: boxes, bars, caption and pictures without widgets.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/canvas.h"
#include "model/control_ranges.h"
#include "model/panel.h"

namespace brevane::testing {

class memory_panel : public panel {
 public:
  memory_panel()
      : scope_(325, 269, QColor(0, 192, 0), 15.05 / 15.0, 12.609375 / 15.0),
        thermal_picture_(149, 69, QColor(192, 192, 192)),
        sonic_picture_(149, 69, QColor(192, 192, 192)) {
    checks[check_box::repeat] = true;
    values[scroll_bar::xmin] = xmin_range.start;
    values[scroll_bar::xmax] = xmax_range.start;
    values[scroll_bar::zmin] = zmin_range.start;
    values[scroll_bar::zmax] = zmax_range.start;
    values[scroll_bar::gain] = gain_range.start;
  }

  bool checked(check_box box) const override {
    auto it = checks.find(box);
    return it != checks.end() && it->second;
  }
  int value(scroll_bar bar) const override { return values.at(bar); }
  void set_checked(check_box box, bool ticked) override { checks[box] = ticked; }
  // As a scroll bar does: a change is announced, the same value is not.
  void set_value(scroll_bar bar, int value) override {
    if (values[bar] == value) return;
    values[bar] = value;
    if (on_value_changed) on_value_changed(bar, value);
  }
  void choose_step(int index) override {
    step_index = index;
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
  bool log_data_checked() const override { return log_data; }
  bool log_images_checked() const override { return log_images; }
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

  std::map<check_box, bool> checks;
  std::map<scroll_bar, int> values;
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
  bool log_data = false;
  bool log_images = false;

 private:
  std::string caption_ = "Brevane version 1.00";
  canvas scope_;
  canvas thermal_picture_;
  canvas sonic_picture_;
};

}  // namespace brevane::testing
