#pragma once
// An instrument for the remote interface's tests and benchmarks: settings with the controls'
// ranges, a one-operation guard, and device operations that can run code of the test while
// they "wait for the head", as the echo wait's nested event loop lets events in.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "remote/remote_instrument.h"

namespace brevane::testing {

class fake_instrument : public remote::remote_instrument {
 public:
  using outcome = remote::outcome;

  remote::identity identify() const override { return {"Brevane head", "SIM", "1.0.0"}; }

  remote::answer<double> measure_temperature() override {
    if (auto refused = operate("MEASure:TEMPerature")) return {*refused, 0.0};
    return {outcome::done(), 72.25};
  }
  remote::answer<double> measure_distance() override {
    if (auto refused = operate("MEASure:DISTance")) return {*refused, 0.0};
    return {outcome::done(), 14.5};
  }

  remote::position commanded_position() const override { return at; }
  outcome move_to(int x, int z) override {
    if (x < 0 || x > 255 || z < 0 || z > 255) return outcome::out_of_range("0 to 255");
    if (auto refused = operate("POSition")) return *refused;
    at = {x, z};
    return outcome::done();
  }
  outcome home() override {
    if (auto refused = operate("HOME")) return *refused;
    at = {170, 170};
    return outcome::done();
  }

  int integer_setting(std::string_view key) const override { return integers.at(std::string(key)); }
  outcome set_integer_setting(std::string_view key, int value) override {
    const auto [low, high] = ranges.at(std::string(key));
    if (value < low || value > high)
      return outcome::out_of_range(std::string(key) + " " + std::to_string(value) + ": " +
                                   std::to_string(low) + " to " + std::to_string(high));
    integers[std::string(key)] = value;
    return outcome::done();
  }
  bool flag_setting(std::string_view key) const override { return flags.at(std::string(key)); }
  outcome set_flag_setting(std::string_view key, bool value) override {
    flags[std::string(key)] = value;
    return outcome::done();
  }

  std::optional<double> alarm(std::string_view reading) const override {
    return alarms.at(std::string(reading));
  }
  outcome set_alarm(std::string_view reading, std::optional<double> threshold) override {
    if (threshold && *threshold < 0) return outcome::out_of_range("0 to 11000");
    alarms[std::string(reading)] = threshold;
    return outcome::done();
  }

  std::string plan_json() const override {
    return "{\"xmin\":" + std::to_string(integers.at("xmin")) + "}";
  }
  outcome set_plan_json(std::string_view json) override {
    plans.emplace_back(json);
    if (json.empty() || json.front() != '{') return outcome::out_of_range("not a plan");
    return outcome::done();
  }

  outcome start_sweep() override {
    if (busy) return outcome::refused(busy_with + " is still running");
    busy = true;
    busy_with = "the sweep";
    status.state = remote::sweep_status::phase::running;
    return outcome::done();
  }
  outcome pause_sweep() override {
    if (status.state != remote::sweep_status::phase::running)
      return outcome::refused("no sweep is running");
    status.state = remote::sweep_status::phase::paused;
    return outcome::done();
  }
  outcome resume_sweep() override {
    if (status.state != remote::sweep_status::phase::paused)
      return outcome::refused("no sweep is paused");
    status.state = remote::sweep_status::phase::running;
    return outcome::done();
  }
  void abort() override {
    if (busy) end_operation();
  }
  remote::sweep_status sweep_state() const override { return status; }

  long long reading_count() const override { return readings; }
  remote::answer<std::string> read_readings(long long start, int count) const override {
    std::string rows;
    for (long long i = start; i < start + count && i < readings; ++i)
      rows += "1,up,point,1," + std::to_string(i) + ",100,140,72.25,14.5," + row_padding + "\n";
    return {outcome::done(), rows};
  }
  std::string record_path() const override { return record; }

  void operation_complete(std::function<void()> then) override {
    if (!busy) return then();
    waiting.push_back(std::move(then));
  }
  std::optional<int> sweep_cycles() const override { return cycles; }
  outcome set_sweep_cycles(std::optional<int> n) override {
    cycles = n;
    return outcome::done();
  }
  remote::status_conditions conditions() const override { return now; }
  int self_test() override { return now.head_lost ? 1 : 0; }
  outcome reset() override {
    if (busy) return outcome::refused(busy_with + " is still running");
    integers = start_values();
    flags["repeat"] = false;
    for (auto& [reading, threshold] : alarms) threshold.reset();
    cycles = 1;
    return outcome::done();
  }

  // Ends the operation in progress and tells those waiting for it.
  void end_operation() {
    busy = false;
    status.state = remote::sweep_status::phase::idle;
    auto told = std::move(waiting);
    waiting.clear();
    for (auto& then : told) then();
  }

  static std::map<std::string, int> start_values() {
    return {{"xmin", 100}, {"xmax", 255}, {"zmin", 140}, {"zmax", 200}, {"step", 10}, {"gain", 10}};
  }

  std::map<std::string, int> integers = start_values();
  std::map<std::string, std::pair<int, int>> ranges = {{"xmin", {100, 140}}, {"xmax", {180, 255}},
                                                       {"zmin", {120, 160}}, {"zmax", {170, 200}},
                                                       {"step", {1, 20}},    {"gain", {1, 40}}};
  std::map<std::string, std::optional<double>> alarms = {{"temperature_f", std::nullopt},
                                                         {"distance_in", std::nullopt}};
  std::map<std::string, bool> flags = {{"repeat", true}, {"sonic_off", false}, {"temp_off", false}};
  std::optional<int> cycles = 1;
  remote::status_conditions now;
  remote::position at{100, 140};
  remote::sweep_status status;
  long long readings = 0;
  std::string row_padding = "0";
  std::string record;
  std::vector<std::string> plans;

  bool busy = false;
  std::string busy_with;
  // Runs inside each device operation, where the head's wait would let events in.
  std::function<void()> while_operating;
  std::vector<std::function<void()>> waiting;

 private:
  // The one-operation guard: a refusal, or nothing once the operation has run.
  std::optional<outcome> operate(const std::string& name) {
    if (busy) return outcome::refused(busy_with + " is still running");
    busy = true;
    busy_with = name;
    if (while_operating) while_operating();
    end_operation();
    return std::nullopt;
  }
};

}  // namespace brevane::testing
