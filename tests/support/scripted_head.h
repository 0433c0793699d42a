#pragma once
// A head for tests: records every report written and answers like the real one, later and
// through the read notification, with readings the test chooses.

#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

#include "device/device_constants.h"
#include "device/input_report.h"
#include "device/transport.h"

namespace brevane::testing {

class scripted_head : public device::transport {
 public:
  static constexpr device::device_handle head = 7;

  bool connect(device::notification_target& target) override {
    target_ = &target;
    if (plugged) {
      QTimer::singleShot(0, [this] {
        if (target_) target_->OnPlugged(head);
        if (target_) target_->OnChanged();
      });
    }
    return true;
  }
  bool disconnect() override {
    target_ = nullptr;
    ++disconnects;
    return true;
  }
  int vendor_id(device::device_handle h) const override { return h == head ? device::vendor_id : 0; }
  int product_id(device::device_handle h) const override {
    return h == head ? device::product_id : 0;
  }
  device::device_handle handle(int v, int p) const override {
    return plugged && v == device::vendor_id && p == device::product_id ? head : 0;
  }
  bool set_read_notify(device::device_handle h, bool enable) override {
    notify = h == head && enable;
    return notify;
  }
  bool read(device::device_handle h, std::span<std::uint8_t> buffer) override {
    if (h != head || pending_.empty()) return false;
    device::store_report_data(pending_.front(), buffer);
    pending_.pop_front();
    return true;
  }
  bool write(int v, int p, std::span<const std::uint8_t> report) override {
    if (!plugged || v != device::vendor_id || p != device::product_id) return false;
    writes.emplace_back(report.begin(), report.end());
    if (silent) return true;
    const std::uint8_t letter = report[1];
    if (after_w) {  // the data report of a list entry gets no answer
      after_w = false;
      return true;
    }
    std::vector<std::uint8_t> data(8, 0);
    data[2] = letter;
    switch (letter) {
      case 'T':
      case 'S': {
        int raw = 0;
        auto& q = letter == 'T' ? temperatures : distances;
        if (!q.empty()) {
          raw = q.front();
          if (q.size() > 1 || !repeat_last) q.pop_front();
        }
        data[3] = static_cast<std::uint8_t>(raw & 0xff);
        data[4] = static_cast<std::uint8_t>((raw >> 8) & 0xff);
        break;
      }
      case 'X':
      case 'Z':
      case 'P':
        break;
      case 'W':
        after_w = true;
        break;
      default:
        return true;  // L and unknown letters: no answer
    }
    answer(data, latency_ms);
    return true;
  }

  // Delivers a report as the device would, after ms.
  void answer(std::vector<std::uint8_t> data, int ms = 0) {
    QTimer::singleShot(ms, [this, data] {
      pending_.push_back(data);
      if (notify && target_) target_->OnRead(head);
    });
  }

  // Letters of the reports written, with the first argument byte where it matters.
  std::vector<std::string> commands() const {
    std::vector<std::string> out;
    for (const auto& w : writes) {
      const char l = static_cast<char>(w[1]);
      if (l == 'X' || l == 'Z' || l == 'L')
        out.push_back(std::string(1, l) + std::to_string(w[2]));
      else
        out.push_back(std::string(1, l));
    }
    return out;
  }

  bool plugged = true;
  bool silent = false;
  bool notify = false;
  bool after_w = false;
  bool repeat_last = true;  // the last queued reading repeats forever
  int latency_ms = 0;
  int disconnects = 0;
  std::deque<int> temperatures{417};  // about 70 F
  std::deque<int> distances{254};     // 100 inches
  std::vector<std::vector<std::uint8_t>> writes;

 private:
  device::notification_target* target_ = nullptr;
  std::deque<std::vector<std::uint8_t>> pending_;
};

}  // namespace brevane::testing
