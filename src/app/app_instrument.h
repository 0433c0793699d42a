#pragma once
// The instrument the remote interface drives: the program's own procedures, panel and
// one-operation guard, run the way the window's buttons run them. A remote MEASure is the Temp
// button's operation, a remote sweep the Sweep button's, so the window shows either exactly
// as if clicked, and the operator's Escape ends a remote operation as it ends a click's.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/resume_jobs.h"
#include "logging/scan_record_rows.h"
#include "remote/remote_instrument.h"
#include "scan/sweep_plan.h"

namespace brevane {

struct instrument;
class panel;
class scan_record_writer;

// The reset state (*RST, and a service without a window at start): the window's start values
// but Repeat off, the Stop box clear and the sensors on.
sweep_settings reset_settings(int echo_timeout_ms);

class app_instrument final : public remote::remote_instrument {
 public:
  // start_echo_timeout_ms: the echo timeout of the start values, as --echo-timeout gives it.
  app_instrument(panel& window, instrument& inst, scan_record_writer& record,
                 remote::identity identity, int start_echo_timeout_ms);
  ~app_instrument() override;
  app_instrument(const app_instrument&) = delete;
  app_instrument& operator=(const app_instrument&) = delete;

  remote::identity identify() const override { return identity_; }
  remote::answer<double> measure_temperature() override;
  remote::answer<double> measure_distance() override;
  remote::position commanded_position() const override;
  remote::outcome move_to(int x, int z) override;
  remote::outcome home() override;
  int integer_setting(std::string_view key) const override;
  remote::outcome set_integer_setting(std::string_view key, int value) override;
  bool flag_setting(std::string_view key) const override;
  remote::outcome set_flag_setting(std::string_view key, bool value) override;
  std::optional<double> alarm(std::string_view reading) const override;
  remote::outcome set_alarm(std::string_view reading, std::optional<double> threshold) override;
  std::string plan_json() const override;
  remote::outcome set_plan_json(std::string_view json) override;
  remote::outcome start_sweep() override;
  remote::outcome pause_sweep() override;
  remote::outcome resume_sweep() override;
  remote::outcome resume_record(const std::string& path) override;
  // The data folder this program holds and its head, which a record to resume must match.
  void set_resume_place(QString data_folder, head_identity head) {
    data_folder_ = std::move(data_folder);
    head_ = std::move(head);
  }
  void abort() override;
  remote::sweep_status sweep_state() const override;
  long long reading_count() const override;
  remote::answer<std::string> read_readings(long long start, int count) const override;
  std::string record_path() const override;
  void operation_complete(std::function<void()> then) override;
  std::optional<int> sweep_cycles() const override { return cycles_; }
  remote::outcome set_sweep_cycles(std::optional<int> cycles) override;
  remote::status_conditions conditions() const override;
  int self_test() override;
  remote::outcome reset() override;

 private:
  // Why a command that needs the head cannot run now; none when the guard is free.
  std::optional<remote::outcome> busy_refusal() const;
  remote::answer<double> measured(const std::function<std::optional<double>()>& take);
  remote::outcome ran(bool completed) const;
  sweep_settings settings_now() const;
  remote::outcome set_setting(std::string_view key, const std::string& value);
  // Applies settings to the window's controls as the operator would set them; plan_file says
  // whether they replace the plan a file gave.
  remote::outcome apply(const sweep_settings& settings, bool whole_plan);
  bool sweep_in_progress() const;
  // Why a remote sweep cannot start with the count and Repeat as they are; none when it can.
  std::optional<std::string> cycles_refusal() const;
  void busy_changed(bool busy);

  panel& window_;
  instrument& inst_;
  scan_record_writer& record_;
  remote::identity identity_;
  int start_echo_timeout_ms_;
  // The remote sweep from the moment it took the guard until its body starts, in the next
  // turn of the event loop.
  bool sweep_queued_ = false;
  // A queued sweep's start is dropped with this instrument.
  QObject context_;
  std::function<void(bool)> previous_busy_changed_;
  std::vector<std::function<void()>> when_complete_;
  // How many cycles a remote sweep runs; none: for as long as Repeat is on.
  std::optional<int> cycles_ = 1;
  mutable scan_record_rows rows_;
  QString data_folder_;
  head_identity head_;
  std::optional<resume_plan> resumed_;
};

}  // namespace brevane
