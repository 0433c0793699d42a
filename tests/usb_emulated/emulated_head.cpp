#include "usb_emulated/emulated_head.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace brevane::testing {

namespace {

// Vendor-defined page, one application collection, 8 input and 8 output bytes, no report id:
// the shape of the head's reports.
constexpr std::array<unsigned char, 34> report_descriptor{
    0x06, 0x00, 0xff,        // usage page (vendor 0xff00)
    0x09, 0x01,              // usage 1
    0xa1, 0x01,              // collection (application)
    0x09, 0x01, 0x15, 0x00,  // usage 1, logical minimum 0
    0x26, 0xff, 0x00,        // logical maximum 255
    0x75, 0x08, 0x95, 0x08,  // 8 fields of 8 bits
    0x81, 0x02,              // input
    0x09, 0x01, 0x15, 0x00,  // usage 1, logical minimum 0
    0x26, 0xff, 0x00,        // logical maximum 255
    0x75, 0x08, 0x95, 0x08,  // 8 fields of 8 bits
    0x91, 0x02,              // output
    0xc0,                    // end collection
};

std::string hex(std::span<const unsigned char> bytes) {
  std::string text;
  char two[3];
  for (unsigned char b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    text += two;
  }
  return text;
}

// Where the kernel puts a head plugged into a port of the first root hub.
std::string usb_path(int port) {
  return "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(port);
}

std::string interface_path(int port) {
  return usb_path(port) + "/1-" + std::to_string(port) + ":1.0";
}

// The same tree the kernel builds for the head; hidapi reads the ids from the HID device's
// uevent and the descriptor from its report_descriptor, both through hidrawN/device.
std::string device_tree(const std::string& hid_path, const std::string& hidraw_path, int index,
                        const std::string& serial, int port) {
  const std::string hid_name = hid_path.substr(hid_path.rfind('/') + 1);
  const std::string n = std::to_string(index);
  std::string t;
  t += "P: " + usb_path(port) + "\n";
  t += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
  t += "A: idVendor=04d8\nA: idProduct=fef3\nA: bcdDevice=0100\n";
  t += "A: manufacturer=Brevane test bench\nA: product=Scanning head\nA: serial=" + serial + "\n\n";
  t += "P: " + interface_path(port) + "\n";
  t += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceNumber=00\n\n";
  t += "P: " + hid_path + "\n";
  t += "E: SUBSYSTEM=hid\nE: HID_ID=0003:000004D8:0000FEF3\nE: HID_NAME=Scanning head\n";
  t += "E: HID_UNIQ=" + serial + "\n";
  t += "A: uevent=DRIVER=hid-generic\\nHID_ID=0003:000004D8:0000FEF3\\nHID_NAME=Scanning head";
  t += "\\nHID_UNIQ=" + serial + "\\n\n";
  t += "H: report_descriptor=" + hex(report_descriptor) + "\n\n";
  t += "P: " + hidraw_path + "\n";
  t += "N: hidraw" + n + "\nL: device=../../../" + hid_name + "\n";
  t += "E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw" + n + "\nA: dev=243:" + n + "\n";
  return t;
}

// hidapi asks the node for its descriptor size when it opens it; a pty would say ENOTTY.
// Reads and writes are left to the pty (FALSE), where poll sees them.
gboolean on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (request == HIDIOCGRDESCSIZE) {
    if (UMockdevIoctlData* size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr)) {
      const int n = static_cast<int>(report_descriptor.size());
      std::memcpy(size->data, &n, sizeof n);
      g_object_unref(size);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
  } else if (request == HIDIOCGRDESC) {
    if (UMockdevIoctlData* desc =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr)) {
      auto* d = reinterpret_cast<hidraw_report_descriptor*>(desc->data);
      std::memcpy(d->value, report_descriptor.data(), report_descriptor.size());
      g_object_unref(desc);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
  }
  umockdev_ioctl_client_complete(client, -1, ENOTTY);
  return TRUE;
}

struct held_writes {
  std::mutex mutex;
  bool hold = false;
  std::vector<UMockdevIoctlClient*> clients;

  // Fails every held write as a USB transfer that timed out.
  void release() {
    std::lock_guard lock(mutex);
    hold = false;
    for (UMockdevIoctlClient* client : clients) {
      umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
      g_object_unref(client);
    }
    clients.clear();
  }
};

// Runs on umockdev's worker thread. A write not held is left to the pty.
gboolean write_or_hold(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer held) {
  auto* writes = static_cast<held_writes*>(held);
  std::lock_guard lock(writes->mutex);
  if (!writes->hold) return FALSE;
  writes->clients.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
  return TRUE;
}

// Runs on umockdev's worker thread.
gboolean read_or_fail(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer failing) {
  if (!static_cast<std::atomic<bool>*>(failing)->load()) return FALSE;
  umockdev_ioctl_client_complete(client, -1, EIO);
  return TRUE;
}

}  // namespace

std::string enter_namespace_with_udev_control() {
  if (::access("/run/udev/control", F_OK) == 0) return {};  // udevd runs here
  const auto failed = [](const char* step) {
    return std::string("cannot show udev/control (") + step + ": " + std::strerror(errno) + ")";
  };
  if (::unshare(CLONE_NEWNS) != 0) return failed("unshare");
  // Private before anything is mounted, or the mount would propagate to the host.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return failed("private");
  if (::mount("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755") != 0)
    return failed("mount /run");
  if (::mkdir("/run/udev", 0755) != 0) return failed("mkdir");
  const int fd = ::open("/run/udev/control", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return failed("create");
  ::close(fd);
  return {};
}

struct emulated_head::testbed {
  UMockdevTestbed* bed = nullptr;
  int plugs = 0;  // every plug a new node, whichever head
  bool emulating = false;

  testbed() {
    bed = umockdev_testbed_new();
    // Only the preload makes /sys show the testbed; a file put there proves it is active.
    gchar* sys_dir = umockdev_testbed_get_sys_dir(bed);
    const std::string probe = std::string(sys_dir) + "/brevane-probe";
    g_free(sys_dir);
    if (FILE* f = std::fopen(probe.c_str(), "w")) {
      std::fclose(f);
      emulating = ::access("/sys/brevane-probe", F_OK) == 0;
    }
  }
  ~testbed() { g_object_unref(bed); }  // removes the temporary sysfs
  testbed(const testbed&) = delete;
  testbed& operator=(const testbed&) = delete;

  // The one in use while any head lives.
  static std::shared_ptr<testbed> shared() {
    static std::weak_ptr<testbed> current;
    std::shared_ptr<testbed> t = current.lock();
    if (!t) {
      t = std::make_shared<testbed>();
      current = t;
    }
    return t;
  }
};

struct emulated_head::bed {
  UMockdevIoctlBase* handler = nullptr;
  std::atomic<bool> reads_fail{false};
  held_writes writes;
  std::string serial;
  int port = 1;
  std::string node;
  std::vector<std::string> paths;  // children first

  ~bed() {
    writes.release();
    if (handler) g_object_unref(handler);
  }
};

emulated_head::emulated_head(std::string serial, int port)
    : testbed_(testbed::shared()), bed_(std::make_unique<bed>()) {
  bed_->serial = std::move(serial);
  bed_->port = port;
  bed_->handler = umockdev_ioctl_base_new();
  g_signal_connect(bed_->handler, "handle-ioctl", G_CALLBACK(on_ioctl), nullptr);
  g_signal_connect(bed_->handler, "handle-read", G_CALLBACK(read_or_fail), &bed_->reads_fail);
  g_signal_connect(bed_->handler, "handle-write", G_CALLBACK(write_or_hold), &bed_->writes);
  emulating_ = testbed_->emulating;
}

emulated_head::~emulated_head() {
  if (plugged_) unplug();
}

bool emulated_head::plug() {
  if (!emulating_ || plugged_) return false;
  // Every plug is a new HID device and node, as in the kernel; umockdev also keeps the node
  // of a removed device.
  const int index = testbed_->plugs++;
  char hid_name[32];
  std::snprintf(hid_name, sizeof hid_name, "0003:04D8:FEF3.%04X", index + 1);
  const std::string hid_path = interface_path(bed_->port) + "/" + hid_name;
  const std::string hidraw_path = hid_path + "/hidraw/hidraw" + std::to_string(index);
  bed_->node = "/dev/hidraw" + std::to_string(index);
  bed_->paths = {hidraw_path, hid_path, interface_path(bed_->port), usb_path(bed_->port)};
  bed_->reads_fail = false;

  const std::string tree = device_tree(hid_path, hidraw_path, index, bed_->serial, bed_->port);
  if (!umockdev_testbed_add_from_string(testbed_->bed, tree.c_str(), nullptr)) return false;
  const char* node = bed_->node.c_str();
  if (!umockdev_testbed_attach_ioctl(testbed_->bed, node, bed_->handler, nullptr)) return false;
  head_fd_ = umockdev_testbed_get_dev_fd(testbed_->bed, node);
  if (head_fd_ < 0) return false;
  // Reports are bytes, not lines: no echo, no line editing, no newline mapping.
  termios mode{};
  if (tcgetattr(head_fd_, &mode) != 0) return false;
  cfmakeraw(&mode);
  if (tcsetattr(head_fd_, TCSANOW, &mode) != 0) return false;
  plugged_ = true;
  return true;
}

void emulated_head::unplug() {
  if (!plugged_) return;
  // Children first, as the kernel reports them; the events go out before sysfs is emptied,
  // and the transport handles them later, when sysfs no longer shows the head.
  for (const std::string& path : bed_->paths)
    umockdev_testbed_uevent(testbed_->bed, ("/sys" + path).c_str(), "remove");
  remove();
}

void emulated_head::vanish() {
  if (!plugged_) return;
  bed_->reads_fail = true;
  // A byte makes the node readable, so the transport's read runs into the failure now.
  const std::uint8_t wake = 0;
  if (::write(head_fd_, &wake, 1) != 1) return;
  remove();
}

void emulated_head::remove() {
  plugged_ = false;
  // One by one: removing only the USB device would leave the children's bus links behind.
  // The ioctl handler stays attached, as the transport may read the node until it has
  // handled the removal.
  for (const std::string& path : bed_->paths)
    umockdev_testbed_remove_device(testbed_->bed, ("/sys" + path).c_str());
  head_fd_ = -1;  // umockdev keeps it
}

void emulated_head::hold_writes(bool hold) {
  if (hold) {
    std::lock_guard lock(bed_->writes.mutex);
    bed_->writes.hold = true;
  } else {
    bed_->writes.release();
  }
}

std::string emulated_head::node() const {
  return plugged_ ? bed_->node : std::string();
}

std::vector<std::uint8_t> emulated_head::written(std::chrono::milliseconds timeout) {
  std::vector<std::uint8_t> bytes;
  if (head_fd_ < 0) return bytes;
  int wait_ms = static_cast<int>(timeout.count());
  std::array<std::uint8_t, 256> chunk{};
  pollfd p{head_fd_, POLLIN, 0};
  while (::poll(&p, 1, wait_ms) > 0 && (p.revents & POLLIN)) {
    const ssize_t n = ::read(head_fd_, chunk.data(), chunk.size());
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    wait_ms = 100;  // quiet time that ends one burst
  }
  return bytes;
}

bool emulated_head::answer(std::span<const std::uint8_t> data) {
  if (head_fd_ < 0) return false;
  return ::write(head_fd_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

}  // namespace brevane::testing
