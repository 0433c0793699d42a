#pragma once
// The narrow view of the window that the procedures (readings, sweep, positioning, logs) use.
// The main window implements it over its widgets; tests use an in-memory panel.

#include <memory>
#include <string>

namespace brevane {

class canvas;
class instrument_state;

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
  // A panel over the instrument's settings; one given none keeps settings of its own.
  explicit panel(instrument_state* settings = nullptr);
  virtual ~panel();
  panel(const panel&) = delete;
  panel& operator=(const panel&) = delete;

  // The settings the controls show. They are the instrument's, never read back from a widget.
  instrument_state& settings() const { return *settings_; }
  bool checked(check_box box) const;
  int value(scroll_bar bar) const;
  bool log_data_checked() const;
  bool log_images_checked() const;

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

  virtual canvas& pictures(picture which) = 0;

  // A message for the operator in the status bar (failures, fallbacks).
  virtual void show_status(const std::string& message) = 0;
  // The message the status bar shows now.
  virtual std::string status() const = 0;
  // Progress of long work (sweep, upload); empty clears it.
  virtual void show_progress(const std::string& progress) = 0;

 private:
  std::unique_ptr<instrument_state> own_;
  instrument_state* settings_;
};

}  // namespace brevane
