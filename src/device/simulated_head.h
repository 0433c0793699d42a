#pragma once
// An in-process scanning head, so the program's main job runs on any machine. It keeps the
// real head's asynchronous contract: every answer and every plug event arrives later through
// the event loop, never inside the call that caused it.

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "device/device_constants.h"
#include "device/head_events.h"
#include "device/simulated_head_options.h"
#include "device/transport.h"

namespace brevane::device {

class simulated_head : public QObject, public transport {
  Q_OBJECT

 public:
  // The head's first handle; fixed so that traces and tests repeat. A head that restarts
  // (replug-after) comes back with the next one.
  static constexpr device_handle head_handle = 0xb2e7;
  // Input reports held for reading; beyond this the oldest is dropped.
  static constexpr std::size_t pending_capacity = 64;

  explicit simulated_head(const simulated_head_options& options = {}, QObject* parent = nullptr);
  ~simulated_head() override;

  // transport
  bool connect(notification_target& target) override;
  bool disconnect() override;
  int vendor_id(device_handle handle) const override;
  int product_id(device_handle handle) const override;
  device_handle handle(int vendor, int product) const override;
  bool set_read_notify(device_handle handle, bool enable) override;
  bool read(device_handle handle, std::span<std::uint8_t> buffer) override;
  bool write(int vendor, int product, std::span<const std::uint8_t> report) override;

  // Test hooks.
  // Answers the next n commands, then nothing; nullopt answers everything again.
  void set_silent_after(std::optional<int> n);
  void resume_answering() { set_silent_after(std::nullopt); }
  // Unplugged after the next n commands; nullopt stays plugged.
  void set_unplug_after(std::optional<int> n);
  // Plugs the head in again (or re-announces it): the plugged and changed notifications follow,
  // the command count starts again from 0 and the silent-after and unplug-after options apply
  // afresh. A pending unplug is cancelled.
  void replug();
  // Delivers data as an input report of the head, after the usual latency; data of any length
  // is stored the way a real read's data is. False when the head is not reachable.
  bool inject_raw(std::vector<std::uint8_t> data);
  // Writes that reached the head since it was last plugged in.
  int commands_received() const { return commands_received_; }
  int x_position() const { return x_; }
  int z_position() const { return z_; }
  bool plugged() const { return plugged_; }
  std::size_t pending_reports() const { return pending_.size(); }

 private:
  using clock = head_events::clock;
  using report_data = std::array<std::uint8_t, input_report_size - 1>;

  using kind = head_events::kind;

  bool reachable() const { return connected_ && plugged_; }
  // Every handle the head had keeps its ids: the unplugged notification asks for them.
  bool known(device_handle handle) const { return handle >= head_handle && handle <= handle_; }
  void schedule_return();
  void restart();
  std::optional<report_data> carry_out(std::span<const std::uint8_t> report);
  int noisy(int raw);
  // When the answer to a command written now is due.
  clock::time_point answer_due();
  void announce_plugged();
  void deliver(const head_events::event& next);
  void unplug_now();

  simulated_head_options options_;
  std::mt19937 noise_;
  // Its own generator, so that a jitter leaves the readings as they are without it.
  std::mt19937 jitter_;
  QTimer return_timer_;
  device_handle handle_ = head_handle;
  head_events events_{[this](const head_events::event& next) { deliver(next); }};
  std::deque<input_report> pending_;
  notification_target* target_ = nullptr;

  bool connected_ = false;
  bool plugged_ = true;
  bool read_notify_ = false;
  bool unplug_due_ = false;      // the last accepted command pulled the cable
  bool list_data_next_ = false;  // the write after a W carries a list line, not a command
  int commands_received_ = 0;
  std::optional<int> silent_limit_;
  std::optional<int> unplug_limit_;
  int x_ = 0;
  int z_ = 0;
  std::array<std::uint8_t, 6> parameters_{};
};

}  // namespace brevane::device
