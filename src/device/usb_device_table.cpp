#include "device/usb_device_table.h"

#include <algorithm>
#include <utility>

#include "device/input_report.h"

namespace brevane::device {

pending_reports::pending_reports(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)) {}

void pending_reports::push(std::span<const std::uint8_t> data) {
  if (reports_.size() >= capacity_) {
    reports_.pop_front();
    ++dropped_;
  }
  reports_.emplace_back(data.begin(), data.end());
}

bool pending_reports::pop_into(std::span<std::uint8_t> buffer) {
  if (reports_.empty() || buffer.empty()) return false;
  store_report_data(reports_.front(), buffer);
  reports_.pop_front();
  return true;
}

// ---------------------------------------------------------------------------------------------

device_handle device_table::add(int vendor, int product, std::string path) {
  const device_handle handle = next_handle_++;
  entry& e = entries_[handle];
  e.vendor = vendor;
  e.product = product;
  e.path = std::move(path);
  return handle;
}

bool device_table::detach(device_handle handle) {
  auto it = entries_.find(handle);
  if (it == entries_.end() || !it->second.attached) return false;
  it->second.attached = false;
  it->second.read_notify = false;
  it->second.pending.clear();
  return true;
}

const device_table::entry* device_table::find(device_handle handle) const {
  auto it = entries_.find(handle);
  return it == entries_.end() ? nullptr : &it->second;
}

device_table::entry* device_table::find(device_handle handle) {
  auto it = entries_.find(handle);
  return it == entries_.end() ? nullptr : &it->second;
}

device_handle device_table::attached_handle(int vendor, int product) const {
  for (const auto& [handle, e] : entries_) {
    if (e.attached && e.vendor == vendor && e.product == product) return handle;
  }
  return 0;
}

device_handle device_table::attached_handle(std::string_view path) const {
  for (const auto& [handle, e] : entries_) {
    if (e.attached && e.path == path) return handle;
  }
  return 0;
}

std::vector<device_handle> device_table::attached_handles() const {
  std::vector<device_handle> handles;
  for (const auto& [handle, e] : entries_) {
    if (e.attached) handles.push_back(handle);
  }
  return handles;
}

// ---------------------------------------------------------------------------------------------

wire_report make_wire_report(std::span<const std::uint8_t> report) {
  wire_report wire{};
  std::copy_n(report.begin(), std::min(report.size(), wire.size()), wire.begin());
  return wire;
}

std::string open_failure_message(bool permission_denied, std::string_view reason) {
  std::string text = "The scanning head is present but cannot be opened (";
  if (permission_denied) {
    text += "permission denied). Install the udev rule ";
    text += udev_rule_name;
    text += " (see README).";
  } else {
    text += reason.empty() ? std::string_view{"unknown error"} : reason;
    text += ").";
  }
  return text;
}

}  // namespace brevane::device
