#include "model/panel.h"

#include "model/instrument_state.h"

namespace brevane {

panel::panel(instrument_state* settings)
    : own_(settings ? nullptr : std::make_unique<instrument_state>()),
      settings_(settings ? settings : own_.get()) {}

panel::~panel() = default;

bool panel::checked(check_box box) const {
  return settings_->checked(box);
}

int panel::value(scroll_bar bar) const {
  return settings_->value(bar);
}

bool panel::log_data_checked() const {
  return settings_->log_data();
}

bool panel::log_images_checked() const {
  return settings_->log_images();
}

}  // namespace brevane
