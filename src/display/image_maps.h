#pragma once
// rawdraw: paints the thermal map into its picture and the sonic map into its own, empties both
// grids and runs the image log.

namespace brevane {

class image_log;
class panel;
struct main_window_state;

class image_maps {
 public:
  image_maps(main_window_state& state, panel& window, image_log& log);
  void rawdraw();

 private:
  main_window_state& state_;
  panel& window_;
  image_log& log_;
};

}  // namespace brevane
