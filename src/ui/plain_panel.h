#pragma once
// The panel of a job or a service, which open no window: the instrument's settings, and the
// texts, caption, status and pictures kept in memory. The pictures are laid out as the main
// window's are, so the image log saves the same files; a control set here runs the handler its
// change runs in the window.

#include <array>
#include <functional>
#include <string>

#include "model/canvas.h"
#include "model/panel.h"
#include "ui/layout_canvas.h"

namespace brevane {

class plain_panel final : public panel {
 public:
  explicit plain_panel(instrument_state& settings);

  void set_checked(check_box box, bool ticked) override;
  void set_value(scroll_bar bar, int value) override;
  void choose_step(int index) override;
  void set_text(text_box box, const std::string& text) override;
  std::string text(text_box box) const override;
  void set_caption(const std::string& caption) override { caption_ = caption; }
  std::string caption() const override { return caption_; }
  void set_bar_top(int, float) override {}
  canvas& pictures(picture which) override;
  void show_status(const std::string& message) override;
  std::string status() const override { return status_; }
  void show_progress(const std::string& progress) override { progress_ = progress; }
  const std::string& progress() const { return progress_; }

  // What a control's change reaches, as the window's wiring connects it.
  std::function<void(scroll_bar, int)> on_value_changed;
  std::function<void(int)> on_step_chosen;
  // Hears every status message; nobody sees a status bar here.
  std::function<void(const std::string&)> on_status;

 private:
  std::array<std::string, 11> texts_;
  std::string caption_ = "Brevane version 1.00";
  std::string status_;
  std::string progress_;
  layout_pictures pictures_;
};

}  // namespace brevane
