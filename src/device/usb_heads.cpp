#include "device/usb_heads.h"

#include <hidapi/hidapi.h>

#include <QString>
#include <cstdio>

#include "device/device_constants.h"

namespace brevane::device {

namespace {

std::string text_of(const wchar_t* text) {
  return text ? QString::fromWCharArray(text).toStdString() : std::string();
}

// The release is binary-coded decimal: 0x0102 is version 1.02.
std::string release_text(unsigned short bcd) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%x.%02x", bcd >> 8, bcd & 0xff);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::vector<attached_head> attached_heads() {
  std::vector<attached_head> heads;
  // hid_init is reference-free and safe to repeat; enumeration needs nothing opened.
  if (hid_init() != 0) return heads;
  hid_device_info* list = hid_enumerate(static_cast<unsigned short>(vendor_id),
                                        static_cast<unsigned short>(product_id));
  for (const hid_device_info* info = list; info; info = info->next) {
    if (!info->path) continue;
    heads.push_back({info->path, text_of(info->serial_number), text_of(info->product_string),
                     release_text(info->release_number)});
  }
  hid_free_enumeration(list);
  return heads;
}

std::string attached_heads_text(const std::vector<attached_head>& heads) {
  if (heads.empty()) return "no heads attached\n";
  std::string text;
  for (const attached_head& h : heads) {
    text += h.path + "  serial " + (h.serial.empty() ? "(none)" : h.serial) + "  " +
            (h.product.empty() ? "(no product string)" : h.product) + "  release " + h.release +
            "\n";
  }
  return text;
}

bool head_matches(const attached_head& head, const std::string& choice) {
  return !choice.empty() &&
         (head.path == choice || (!head.serial.empty() && head.serial == choice));
}

std::string hidapi_version() {
  return hid_version_str();
}

}  // namespace brevane::device
