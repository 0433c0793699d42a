#include "device/udev_watch.h"

#include <cstring>

#if defined(__linux__)
#include <libudev.h>
#include <unistd.h>
#endif

namespace brevane::device {

struct udev_watch::state {
#if defined(__linux__)
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;

  ~state() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
  }
#endif
};

udev_watch::~udev_watch() = default;

std::unique_ptr<udev_watch> udev_watch::start() {
#if defined(__linux__)
  if (::access("/run/udev/control", F_OK) != 0) return nullptr;
  auto s = std::make_unique<state>();
  s->context = udev_new();
  if (!s->context) return nullptr;
  s->monitor = udev_monitor_new_from_netlink(s->context, "udev");
  if (!s->monitor) return nullptr;
  if (udev_monitor_filter_add_match_subsystem_devtype(s->monitor, "hidraw", nullptr) < 0)
    return nullptr;
  if (udev_monitor_enable_receiving(s->monitor) < 0) return nullptr;
  if (udev_monitor_get_fd(s->monitor) < 0) return nullptr;
  std::unique_ptr<udev_watch> watch(new udev_watch);
  watch->state_ = std::move(s);
  return watch;
#else
  return nullptr;
#endif
}

int udev_watch::fd() const {
#if defined(__linux__)
  return udev_monitor_get_fd(state_->monitor);
#else
  return -1;
#endif
}

udev_watch::changes udev_watch::receive() {
  changes result;
#if defined(__linux__)
  while (udev_device* dev = udev_monitor_receive_device(state_->monitor)) {
    const char* action = udev_device_get_action(dev);
    if (action && std::strcmp(action, "add") == 0) {
      result.any = true;
    } else if (action && std::strcmp(action, "remove") == 0) {
      result.any = true;
      if (const char* node = udev_device_get_devnode(dev)) result.removed_nodes.emplace_back(node);
    }
    udev_device_unref(dev);
  }
#endif
  return result;
}

}  // namespace brevane::device
