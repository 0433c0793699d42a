#pragma once
// The narrow view of the window that the procedures (readings, sweep, positioning, logs) use.
// The main window implements it over its widgets; tests use an in-memory panel.

#include <string>

namespace brevane {

class canvas;

// The sweep options, in the order of the layout's option panel.
enum class check_box { repeat, stop, sonic_off, temp_off, x_off, z_off };
enum class scroll_bar { xmin, xmax, zmin, zmax, gain };
// The boxes that show a value: the four limits and the gain, then the temperature and the
// distance with their extremes.
enum class text_box {
  x_min_text,
  x_max_text,
  z_min_text,
  z_max_text,
  gain_text,
  min_temperature_text,
  max_temperature_text,
  temperature_text,
  min_distance_text,
  max_distance_text,
  distance_text,
};
enum class picture { scope, thermal_map, sonic_map };

class panel {
 public:
  virtual ~panel() = default;

  virtual bool checked(check_box box) const = 0;
  virtual int value(scroll_bar bar) const = 0;
  // Setting a control as the operator would: a scroll bar's change handler runs and fills its
  // box; choosing a step is a click on its option button (index into step_choices).
  virtual void set_checked(check_box box, bool ticked) = 0;
  virtual void set_value(scroll_bar bar, int value) = 0;
  virtual void choose_step(int index) = 0;
  virtual void set_text(text_box box, const std::string& text) = 0;
  virtual std::string text(text_box box) const = 0;

  // The caption doubles as the status line of the device.
  virtual void set_caption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;

  // Top edge of distance bar 0..2, in twips within its column.
  virtual void set_bar_top(int index, float twips) = 0;

  virtual bool log_data_checked() const = 0;
  virtual bool log_images_checked() const = 0;

  virtual canvas& pictures(picture which) = 0;

  // A message for the operator in the status bar (failures, fallbacks).
  virtual void show_status(const std::string& message) = 0;
  // The message the status bar shows now.
  virtual std::string status() const = 0;
  // Progress of long work (sweep, upload); empty clears it.
  virtual void show_progress(const std::string& progress) = 0;
};

}  // namespace brevane
