#pragma once
// The scanning head emulated below hidapi by umockdev: a USB device, its HID interface and a
// /dev/hidrawN node in a private sysfs, with add and remove events. The node is a pty, so the
// transport's poll, read and write work unchanged; the test holds the other end and plays the
// head. Only the report-descriptor ioctls are answered here. No glib or umockdev type shows in
// this header, so Qt and glib headers never meet.

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace brevane::testing {

// Moves this process, while it is still single-threaded, into a private mount namespace whose
// /run holds udev/control, so the transport watches a udev monitor (fed by umockdev's events)
// as it does where udevd runs. Nothing reaches the host. Returns why it failed, or "".
std::string enter_namespace_with_udev_control();

class emulated_head {
 public:
  // Several heads may live at once, each on its own USB port with its own serial number; they
  // share one testbed, as umockdev's preload shows only the newest.
  explicit emulated_head(std::string serial = "EMU1", int port = 1);
  ~emulated_head();
  emulated_head(const emulated_head&) = delete;
  emulated_head& operator=(const emulated_head&) = delete;

  // False when this process runs without the umockdev preload: then nothing is emulated and
  // hidapi would see the real machine.
  bool emulating() const { return emulating_; }

  // Adds the head and a new node for it; umockdev announces it with an add event.
  bool plug();
  // Announces the removal, then takes the head out of sysfs.
  void unplug();
  // The head goes without a word: reads of its node fail, and it leaves sysfs with no remove
  // event, so only the failing read can tell.
  void vanish();

  // The node the program opens, e.g. /dev/hidraw0; empty while unplugged.
  std::string node() const;
  // The head's end of the node, for a QSocketNotifier.
  int head_fd() const { return head_fd_; }
  // Everything the program wrote to the node: waits up to timeout for the first byte, then
  // takes what follows within a short quiet time.
  std::vector<std::uint8_t> written(std::chrono::milliseconds timeout);
  // While holding, a write to the node does not return, whatever its flags, as when the kernel
  // waits for a USB transfer the head does not take; releasing fails the held writes.
  void hold_writes(bool hold);
  // Sends one input report as the head does: data only, no report id.
  bool answer(std::span<const std::uint8_t> data);

 private:
  void remove();

  struct testbed;
  struct bed;
  std::shared_ptr<testbed> testbed_;
  std::unique_ptr<bed> bed_;
  bool emulating_ = false;
  bool plugged_ = false;
  int head_fd_ = -1;
};

}  // namespace brevane::testing
