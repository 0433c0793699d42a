#pragma once
// A head that answers from a recorded session instead of a scene. Every report written must
// be the next recorded out report; the in reports and plug events recorded after it follow
// later through the event loop, as the recorded head delivered them. A report that differs, or
// one past the end of the recording, is refused with a message that names it.

#include <QObject>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>

#include "device/device_constants.h"
#include "device/head_events.h"
#include "device/trace_reader.h"
#include "device/transport.h"

namespace brevane::device {

class replay_head : public QObject, public transport {
  Q_OBJECT

 public:
  // The handle of the head as first plugged in; each return gets the next one.
  static constexpr device_handle first_handle = 0xb2e7;

  explicit replay_head(recorded_session session, int latency_ms = 0, QObject* parent = nullptr);
  ~replay_head() override;

  // transport
  bool connect(notification_target& target) override;
  bool disconnect() override;
  int vendor_id(device_handle handle) const override;
  int product_id(device_handle handle) const override;
  device_handle handle(int vendor, int product) const override;
  bool set_read_notify(device_handle handle, bool enable) override;
  bool read(device_handle handle, std::span<std::uint8_t> buffer) override;
  bool write(int vendor, int product, std::span<const std::uint8_t> report) override;
  std::string last_write_error() const override { return refusal_; }
  std::string answers_ended() const override;

  bool plugged() const { return plugged_; }
  // Reports written that matched the recording.
  int reports_matched() const { return matched_; }

 private:
  using clock = head_events::clock;
  using kind = head_events::kind;

  // Queues the recorded steps up to the next out report, all due at due.
  void follow_recording(clock::time_point due);
  void deliver(const head_events::event& next);

  recorded_session session_;
  std::size_t next_ = 0;  // the next step of the recording not yet queued
  std::chrono::milliseconds latency_;
  head_events events_{[this](const head_events::event& next) { deliver(next); }};
  std::deque<input_report> pending_;
  notification_target* target_ = nullptr;

  bool connected_ = false;
  bool started_ = false;  // the steps before the first report are queued once
  bool plugged_ = true;
  bool read_notify_ = false;
  device_handle handle_ = first_handle;
  int written_ = 0;
  int matched_ = 0;
  int last_line_ = 0;  // the line of the last report matched
  std::string refusal_;
};

}  // namespace brevane::device
