#include "app/app_instrument.h"

#include <QDir>
#include <QMetaObject>
#include <charconv>
#include <cmath>
#include <utility>

#include "app/instrument.h"
#include "app/wiring.h"
#include "logging/scan_record.h"
#include "model/panel.h"

namespace brevane {

using remote::outcome;

app_instrument::app_instrument(panel& window, instrument& inst, scan_record_writer& record,
                               remote::identity identity, int start_echo_timeout_ms)
    : window_(window),
      inst_(inst),
      record_(record),
      identity_(std::move(identity)),
      start_echo_timeout_ms_(start_echo_timeout_ms),
      previous_busy_changed_(inst.guard.on_busy_changed) {
  inst_.guard.on_busy_changed = [this](bool busy) { busy_changed(busy); };
}

sweep_settings reset_settings(int echo_timeout_ms) {
  // The window's start values with every box clear: only Repeat starts ticked there.
  sweep_settings s = start_settings(echo_timeout_ms);
  s.repeat = false;
  return s;
}

app_instrument::~app_instrument() {
  inst_.guard.on_busy_changed = previous_busy_changed_;
}

void app_instrument::busy_changed(bool busy) {
  if (previous_busy_changed_) previous_busy_changed_(busy);
  if (busy) return;
  // Each waiting client only takes note here: this runs inside the operation's last step.
  const auto told = std::exchange(when_complete_, {});
  for (const auto& then : told) then();
}

void app_instrument::operation_complete(std::function<void()> then) {
  if (!inst_.guard.busy()) return then();
  when_complete_.push_back(std::move(then));
}

std::optional<outcome> app_instrument::busy_refusal() const {
  if (!inst_.guard.busy()) return std::nullopt;
  return outcome::refused(inst_.guard.operation() +
                          " is still running; *OPC? waits for its end, ABORt ends it");
}

outcome app_instrument::ran(bool completed) const {
  // The window says the same in its caption and status bar.
  return completed ? outcome::done() : outcome::refused(inst_.runner.last_error());
}

remote::answer<double> app_instrument::measured(
    const std::function<std::optional<double>()>& take) {
  // Refused here, not by the guard: a client's retry must not fill the operator's status bar.
  if (auto refused = busy_refusal()) return {*refused, 0.0};
  const std::optional<double> reading = take();
  if (!reading) return {ran(false), 0.0};
  return {outcome::done(), *reading};
}

remote::answer<double> app_instrument::measure_temperature() {
  return measured([this] { return take_temperature(inst_); });
}

remote::answer<double> app_instrument::measure_distance() {
  return measured([this] { return take_distance(inst_); });
}

remote::position app_instrument::commanded_position() const {
  return {inst_.settings.x(), inst_.settings.z()};
}

outcome app_instrument::move_to(int x, int z) {
  if (x < 0 || x > 255 || z < 0 || z > 255)
    return outcome::out_of_range("X " + std::to_string(x) + ", Z " + std::to_string(z) +
                                 ": each is 0 to 255");
  if (auto refused = busy_refusal()) return *refused;
  return ran(move_head(inst_, x, z));
}

outcome app_instrument::home() {
  if (auto refused = busy_refusal()) return *refused;
  return ran(go_home(inst_));
}

sweep_settings app_instrument::settings_now() const {
  return settings_in_window(window_, inst_.state, inst_.exchange);
}

int app_instrument::integer_setting(std::string_view key) const {
  const std::string text = sweep_setting_text(settings_now(), key);
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool app_instrument::flag_setting(std::string_view key) const {
  return sweep_setting_text(settings_now(), key) == "true";
}

outcome app_instrument::set_integer_setting(std::string_view key, int value) {
  return set_setting(key, std::to_string(value));
}

outcome app_instrument::set_flag_setting(std::string_view key, bool value) {
  return set_setting(key, value ? "true" : "false");
}

outcome app_instrument::set_setting(std::string_view key, const std::string& value) {
  sweep_settings settings = settings_now();
  if (std::string why = set_sweep_setting(settings, key, value); !why.empty())
    return outcome::out_of_range(std::move(why));
  return apply(settings, false);
}

std::optional<double> app_instrument::alarm(std::string_view reading) const {
  const alarm_settings& now = inst_.sweep.alarms().settings();
  return reading == alarm_key(alarm_reading::temperature_f) ? now.temperature_above_f
                                                            : now.distance_below_in;
}

outcome app_instrument::set_alarm(std::string_view reading, std::optional<double> threshold) {
  const alarm_reading which = reading == alarm_key(alarm_reading::temperature_f)
                                  ? alarm_reading::temperature_f
                                  : alarm_reading::distance_in;
  if (threshold) {
    if (const auto why = threshold_refusal(which, *threshold))
      return outcome::out_of_range(std::string(reading) + " " + threshold_text(*threshold) + ": " +
                                   *why);
    // To a tenth, as the Maps window's boxes show it, so both show the same threshold.
    threshold = std::round(*threshold * 10) / 10;
  }
  alarm_settings changed = inst_.sweep.alarms().settings();
  changed.threshold(which) = threshold;
  inst_.sweep.alarms().set(changed);
  return outcome::done();
}

std::string app_instrument::plan_json() const {
  return brevane::plan_json(settings_now(), true).toStdString();
}

outcome app_instrument::set_plan_json(std::string_view json) {
  std::string why;
  // Settings the plan leaves out take their start values, as File > Open Plan does.
  const auto settings = plan_from_text(QByteArray(json.data(), static_cast<qsizetype>(json.size())),
                                       start_settings(start_echo_timeout_ms_), &why);
  if (!settings) return outcome::out_of_range("the plan " + why);
  return apply(*settings, true);
}

outcome app_instrument::reset() {
  if (outcome applied = apply(reset_settings(start_echo_timeout_ms_), true);
      applied.result != outcome::kind::done)
    return applied;
  inst_.sweep.alarms().set({});
  cycles_ = 1;
  return outcome::done();
}

outcome app_instrument::set_sweep_cycles(std::optional<int> cycles) {
  cycles_ = cycles;
  return outcome::done();
}

remote::status_conditions app_instrument::conditions() const {
  const bool sweeping = sweep_in_progress();
  const bool head = inst_.device.head_present();
  const bool alarm_pause =
      inst_.settings.paused() && inst_.settings.pause_reason().starts_with("alarm");
  const bool alarm_end = !sweeping && inst_.settings.last_sweep_ending() == operation_ending::alarm;
  return {.sweeping = sweeping,
          .paused = sweeping && inst_.guard.paused(),
          .waiting_for_head = sweeping && !head,
          .head_lost = !head,
          .log_not_kept = !record_.kept().all_kept() || !inst_.datalog.kept().all_kept() ||
                          !inst_.imagelog.kept().all_kept(),
          .alarm = alarm_pause || alarm_end,
          .disk_low = inst_.disk.stopped_sweep()};
}

int app_instrument::self_test() {
  return inst_.device.head_present() ? 0 : 1;
}

std::optional<std::string> app_instrument::cycles_refusal() const {
  const bool repeat = inst_.settings.checked(check_box::repeat);
  const std::string refused = "Sweep was not started: ";
  if (repeat && cycles_ == 1)
    return refused +
           "Repeat is on but SWEep:CYCLes gives no count (1); set SWEep:CYCLes N or INFinity, "
           "or SWEep:REPeat OFF";
  if (!repeat && !cycles_)
    return refused +
           "SWEep:CYCLes INFinity repeats while Repeat is on; set SWEep:REPeat ON or "
           "give a count";
  return std::nullopt;
}

outcome app_instrument::apply(const sweep_settings& settings, bool whole_plan) {
  // The window keeps its controls live during a sweep, but a plan does not change under one.
  if (inst_.guard.busy())
    return outcome::refused("the settings cannot change while " + inst_.guard.operation() +
                            " runs; *OPC? waits for its end, ABORt ends it");
  if (std::string why = apply_settings(settings, window_, inst_.exchange); !why.empty())
    return outcome::refused(std::move(why));
  record_.set_echo_timeout(settings.echo_timeout_ms);
  // The next record must not name a plan file these settings did not come from.
  if (whole_plan) record_.set_plan_file({});
  return outcome::done();
}

outcome app_instrument::start_sweep() {
  if (!inst_.guard.busy()) {
    if (const auto why = sweep_refusal(inst_)) return outcome::refused(*why);
    if (const auto why = cycles_refusal()) return outcome::refused(*why);
  }
  if (!inst_.runner.reserve(sweep_operation_name))
    return outcome::refused(inst_.guard.operation() +
                            " is still running; *OPC? waits for its end, ABORt ends it");
  // The sweep runs its nested event loops from a call of its own, as a click's handler does,
  // so the client hears at once that it started and every client is served while it runs.
  sweep_queued_ = true;
  QMetaObject::invokeMethod(
      &context_,
      [this] {
        sweep_queued_ = false;
        run_window_sweep(window_, inst_, record_, true, cycles_);
      },
      Qt::QueuedConnection);
  return outcome::done();
}

outcome app_instrument::resume_record(const std::string& path) {
  if (auto refused = busy_refusal()) return *refused;
  // Asked before the record is taken up, which the next sweep would otherwise continue.
  if (const auto why = sweep_refusal(inst_)) return outcome::refused(*why);
  std::string why;
  auto plan = take_up_record(QString::fromStdString(path), head_, std::nullopt, data_folder_, inst_,
                             window_, record_, &why);
  if (!plan) return outcome::refused(why);
  if (!inst_.runner.reserve(sweep_operation_name))
    return outcome::refused(inst_.guard.operation() + " is still running");
  resumed_ = std::move(plan);
  // Run from the event loop, as SWEep:STARt's sweep is.
  sweep_queued_ = true;
  QMetaObject::invokeMethod(
      &context_,
      [this] {
        sweep_queued_ = false;
        run_window_sweep(window_, inst_, record_, true, std::nullopt, &*resumed_);
      },
      Qt::QueuedConnection);
  return outcome::done();
}

bool app_instrument::sweep_in_progress() const {
  return inst_.guard.operation() == sweep_operation_name;
}

outcome app_instrument::pause_sweep() {
  if (!sweep_in_progress()) return outcome::refused("no sweep is running");
  inst_.settings.ask_pause("a remote client (SWEep:PAUSe)");
  if (!inst_.guard.paused()) toggle_pause(window_, inst_);
  return outcome::done();
}

outcome app_instrument::resume_sweep() {
  if (!sweep_in_progress()) return outcome::refused("no sweep is running");
  if (inst_.guard.paused()) toggle_pause(window_, inst_);
  return outcome::done();
}

void app_instrument::abort() {
  inst_.guard.cancel("ABORt from a remote client");
}

remote::sweep_status app_instrument::sweep_state() const {
  using phase = remote::sweep_status::phase;
  remote::sweep_status out;
  if (sweep_in_progress()) {
    out.state = phase::running;
    if (inst_.guard.paused()) out.state = phase::paused;
    // A sweep whose head went away waits for it, until it is back or the sweep is ended.
    if (!inst_.device.head_present()) out.state = phase::waiting;
  }
  // A sweep still waiting for its first turn has nothing to say yet.
  if (sweep_queued_) return out;
  const sweep_standing& s = inst_.settings.standing();
  out.cycle = s.cycle;
  out.pass = s.pass == pass_direction::upward ? 1 : s.pass == pass_direction::downward ? 2 : 0;
  out.row = s.row;
  out.point = s.point;
  out.percent = s.percent;
  out.seconds_left = s.seconds_left ? static_cast<int>(std::lround(*s.seconds_left)) : -1;
  out.ending = ending_word(inst_.settings.last_sweep_ending());
  return out;
}

long long app_instrument::reading_count() const {
  return record_.path().isEmpty() ? 0 : record_.readings_written();
}

remote::answer<std::string> app_instrument::read_readings(long long start, int count) const {
  const long long available = reading_count();
  const long long n = std::min<long long>(count, available - start);
  QByteArray rows;
  if (std::string why = rows_.read(record_.path(), start, n, rows); !why.empty())
    return {outcome::refused(std::move(why)), {}};
  return {outcome::done(), rows.toStdString()};
}

std::string app_instrument::record_path() const {
  return QDir::toNativeSeparators(record_.path()).toStdString();
}

}  // namespace brevane
