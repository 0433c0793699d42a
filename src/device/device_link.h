#pragma once
// Binds a transport to the window: plug, unplug, change and read notifications keep the
// caption up to date as the head's status line and store every input report.

#include <functional>
#include <string>

#include "device/transport.h"

namespace brevane {
class panel;
}

namespace brevane::device {

class command_exchange;

class device_link final : public notification_target {
 public:
  device_link(transport& link, command_exchange& exchange, panel& window);
  ~device_link() override;

  bool connect_link();
  // Harmless when not connected or called twice.
  bool disconnect_link();
  bool connected() const { return connected_; }
  // True while the head with the program's ids is attached.
  bool head_present() const;

  void OnPlugged(device_handle handle) override;
  void OnUnplugged(device_handle handle) override;
  void OnChanged() override;
  void OnRead(device_handle handle) override;

  // Called after each of the four notifications, e.g. to wake a start-up wait.
  std::function<void()> on_notification;

 private:
  // The instrument's state hears whether the head is there.
  void tell_presence();

  transport& link_;
  command_exchange& exchange_;
  panel& window_;
  bool connected_ = false;
};

inline constexpr const char* caption_running = "Up and Running";
inline constexpr const char* caption_absent = "Vexilor II not present";

}  // namespace brevane::device
