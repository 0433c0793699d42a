#include "remote/remote_session.h"

#include <climits>
#include <cmath>
#include <utility>

#include "remote/answer_text.h"
#include "remote/remote_instrument.h"

namespace brevane::remote {

namespace {

// SCPI's answer for an infinite count.
constexpr const char* infinity_text = "9.9E37";

}  // namespace

remote_session::remote_session(remote_instrument& instrument, instrument_status& status,
                               std::function<bool(std::string_view)> send,
                               std::function<void()> wake)
    : instrument_(instrument), status_(status), send_(std::move(send)), wake_(std::move(wake)) {}

void remote_session::push(std::string line) {
  if (dropped_) return;
  queued_bytes_ += line.size();
  lines_.push_back(std::move(line));
}

void remote_session::detach() {
  detached_ = true;
  blocked_ = false;
  held_base_ += held_.size();
  held_.clear();
}

void remote_session::discard() {
  detach();
  ++generation_;
  lines_.clear();
  queued_bytes_ = 0;
  if (running_)
    dropped_ = true;  // the outer run() lets go of the line in progress
  else
    line_.reset();
}

void remote_session::run() {
  if (running_) return;
  running_ = true;
  flush();
  while (!blocked_) {
    if (!line_) {
      if (lines_.empty()) break;
      std::string text = std::move(lines_.front());
      lines_.pop_front();
      queued_bytes_ -= text.size();
      line_ = parse_line(text);
      next_ = 0;
      answered_ = false;
    }
    run_line();
  }
  if (dropped_) {
    line_.reset();
    lines_.clear();
    queued_bytes_ = 0;
  }
  flush();
  running_ = false;
}

void remote_session::run_line() {
  while (next_ < line_->commands.size()) {
    const step s = execute(line_->commands[next_]);
    if (dropped_) return end_line();
    if (s == step::stop) return end_line();
    ++next_;
    if (s == step::wait) return;
  }
  if (line_->error) status_.error(line_->error->code, line_->error->detail);
  end_line();
}

void remote_session::end_line() {
  if (answered_) reply("\n", true);
  line_.reset();
}

void remote_session::reply(std::string_view text, bool raw) {
  std::string piece;
  if (!raw) {
    if (answered_) piece += ';';
    answered_ = true;
    piece.reserve(piece.size() + text.size());
    // An answer is one line whatever the instrument's texts hold.
    for (char c : text) piece += c == '\n' || c == '\r' ? ' ' : c;
  } else {
    piece = text;
  }
  write(std::move(piece), true);
}

void remote_session::write(std::string piece, bool ready) {
  if (detached_) return;
  if (held_.empty() && ready) {
    if (!send_(piece)) detached_ = true;
    return;
  }
  held_.push_back({std::move(piece), ready});
}

void remote_session::flush() {
  while (!held_.empty() && held_.front().ready) {
    if (!detached_ && !send_(held_.front().text)) detached_ = true;
    held_.pop_front();
    ++held_base_;
  }
}

remote_session::step remote_session::fail(scpi_error code, std::string_view detail) {
  status_.error(code, detail);
  return step::stop;
}

remote_session::step remote_session::finished(const outcome& result) {
  switch (result.result) {
    case outcome::kind::done:
      return step::next;
    case outcome::kind::out_of_range:
      return fail(scpi_error::data_out_of_range, result.reason);
    case outcome::kind::refused:
      return fail(scpi_error::execution, result.reason);
  }
  return step::next;
}

bool remote_session::whole(const parsed_command& c, std::size_t i, long long low, long long high,
                           long long& value) {
  const double v = c.parameters[i].number;
  if (!(v >= static_cast<double>(low) && v <= static_cast<double>(high))) {
    fail(scpi_error::data_out_of_range, c.header + " " + whole_text(v) + ": " +
                                            std::to_string(low) + " to " + std::to_string(high) +
                                            " allowed");
    return false;
  }
  value = static_cast<long long>(v);
  return true;
}

remote_session::step remote_session::execute(const parsed_command& c) {
  if (c.asked) {
    const double v = *c.asked;
    reply(std::isnan(v) ? std::string("OFF") : v == std::trunc(v) ? whole_text(v) : number_text(v));
    return step::next;
  }
  switch (c.row->id) {
    case command::identify: {
      const identity id = instrument_.identify();
      reply("Brevane," + identity_field(id.head) + "," + identity_field(id.serial) + "," +
            identity_field(id.version));
      return step::next;
    }
    case command::operation_complete:
      if (c.query) return opc_query();
      instrument_.operation_complete([&status = status_, alive = status_.alive()] {
        if (!alive.expired()) status.set_event_status_bits(status_bit::operation_complete);
      });
      return step::next;
    case command::wait:
      return wait_until_idle();
    case command::reset:
      return finished(instrument_.reset());
    case command::measure_temperature:
    case command::measure_distance: {
      const answer<double> reading = c.row->id == command::measure_temperature
                                         ? instrument_.measure_temperature()
                                         : instrument_.measure_distance();
      if (reading.status.result != outcome::kind::done) return finished(reading.status);
      reply(number_text(reading.value));
      return step::next;
    }
    case command::position: {
      if (c.query) {
        const position p = instrument_.commanded_position();
        reply(std::to_string(p.x) + "," + std::to_string(p.z));
        return step::next;
      }
      long long x = 0, z = 0;
      if (!whole(c, 0, INT_MIN, INT_MAX, x) || !whole(c, 1, INT_MIN, INT_MAX, z)) return step::stop;
      return finished(instrument_.move_to(static_cast<int>(x), static_cast<int>(z)));
    }
    case command::home:
      return finished(instrument_.home());
    case command::sweep_setting:
      return setting(c);
    case command::sweep_cycles: {
      if (c.query) {
        const std::optional<int> n = instrument_.sweep_cycles();
        reply(n ? std::to_string(*n) : infinity_text);
        return step::next;
      }
      if (std::isinf(c.parameters[0].number)) return finished(instrument_.set_sweep_cycles({}));
      long long n = 0;
      if (!whole(c, 0, static_cast<long long>(c.row->range->low),
                 static_cast<long long>(c.row->range->high), n))
        return step::stop;
      return finished(instrument_.set_sweep_cycles(static_cast<int>(n)));
    }
    case command::sweep_alarm: {
      if (c.query) {
        const std::optional<double> threshold = instrument_.alarm(c.row->key);
        reply(threshold ? number_text(*threshold) : "OFF");
        return step::next;
      }
      const parameter& p = c.parameters[0];
      return finished(instrument_.set_alarm(
          c.row->key, p.flag ? std::optional<double>(p.number) : std::nullopt));
    }
    case command::plan:
      if (c.query) {
        reply(instrument_.plan_json());
        return step::next;
      }
      return finished(instrument_.set_plan_json(c.parameters[0].text));
    case command::sweep_start:
      return finished(instrument_.start_sweep());
    case command::sweep_pause:
      return finished(instrument_.pause_sweep());
    case command::sweep_resume:
      return finished(instrument_.resume_sweep());
    case command::sweep_resume_record: {
      std::string path = c.parameters[0].text;
      if (path.size() >= 2 && (path.front() == '"' || path.front() == '\'') &&
          path.back() == path.front())
        path = path.substr(1, path.size() - 2);
      return finished(instrument_.resume_record(path));
    }
    case command::abort:
      instrument_.abort();
      // The operation unwinds once this call returns; what follows sees it ended.
      return wait_until_idle();
    case command::sweep_state:
      reply(state_text(instrument_.sweep_state()));
      return step::next;
    case command::data_count:
      reply(std::to_string(instrument_.reading_count()));
      return step::next;
    case command::data_read:
      return read_data(c);
    case command::data_record:
      reply(string_text(instrument_.record_path()));
      return step::next;
    default:
      return status_command(c);
  }
}

remote_session::step remote_session::status_command(const parsed_command& c) {
  scpi_register& reg = c.row->key == "operation" ? status_.operation : status_.questionable;
  // Set forms of registers: a whole number within the row's range.
  const auto set_to = [&](int& target) {
    long long v = 0;
    if (!whole(c, 0, static_cast<long long>(c.row->range->low),
               static_cast<long long>(c.row->range->high), v))
      return step::stop;
    target = static_cast<int>(v);
    return step::next;
  };
  const auto answer_int = [&](int v) {
    reply(std::to_string(v));
    return step::next;
  };
  switch (c.row->id) {
    case command::clear_status:
      status_.clear();
      return step::next;
    case command::system_error:
      reply(format_error(status_.errors().pop()));
      return step::next;
    case command::error_count:
      return answer_int(static_cast<int>(status_.errors().size()));
    case command::error_all: {
      std::string all = format_error(status_.errors().pop());
      while (status_.errors().size() > 0) all += "," + format_error(status_.errors().pop());
      reply(all);
      return step::next;
    }
    case command::system_version:
      reply("1999.0");
      return step::next;
    case command::self_test:
      return answer_int(instrument_.self_test());
    case command::options:
      return answer_int(0);
    case command::status_preset:
      status_.preset();
      return step::next;
    default:
      break;
  }
  status_.update(instrument_.conditions());
  switch (c.row->id) {
    case command::event_status:
      return answer_int(status_.take_event_status());
    case command::event_status_enable:
      return c.query ? answer_int(status_.event_status_enable)
                     : set_to(status_.event_status_enable);
    case command::service_request_enable:
      return c.query ? answer_int(status_.service_request_enable)
                     : set_to(status_.service_request_enable);
    case command::status_byte:
      return answer_int(status_.status_byte(!held_.empty()));
    case command::status_event:
      return answer_int(reg.take_event());
    case command::status_condition:
      return answer_int(reg.condition());
    case command::status_enable:
      return c.query ? answer_int(reg.enable) : set_to(reg.enable);
    case command::status_positive:
      return c.query ? answer_int(reg.positive) : set_to(reg.positive);
    case command::status_negative:
      return c.query ? answer_int(reg.negative) : set_to(reg.negative);
    default:
      return step::next;
  }
}

remote_session::step remote_session::setting(const parsed_command& c) {
  const command_row& row = *c.row;
  if (row.set.arguments.front() == argument::boolean) {
    if (c.query) {
      reply(instrument_.flag_setting(row.key) != row.inverted ? "1" : "0");
      return step::next;
    }
    return finished(instrument_.set_flag_setting(row.key, c.parameters[0].flag != row.inverted));
  }
  if (c.query) {
    reply(std::to_string(instrument_.integer_setting(row.key)));
    return step::next;
  }
  long long value = 0;
  if (!whole(c, 0, INT_MIN, INT_MAX, value)) return step::stop;
  return finished(instrument_.set_integer_setting(row.key, static_cast<int>(value)));
}

remote_session::step remote_session::read_data(const parsed_command& c) {
  const long long available = instrument_.reading_count();
  long long start = 0, count = 0;
  if (!whole(c, 0, 0, available, start) || !whole(c, 1, 0, max_readings_per_read, count))
    return step::stop;
  const answer<std::string> rows = instrument_.read_readings(start, static_cast<int>(count));
  if (rows.status.result != outcome::kind::done) return finished(rows.status);
  std::string piece = answered_ ? ";" : "";
  answered_ = true;
  reply(piece + block_text(rows.value), true);
  return step::next;
}

remote_session::step remote_session::opc_query() {
  if (detached_) return step::next;
  const unsigned long long place = held_base_ + held_.size();
  held_.push_back({answered_ ? ";1" : "1", false});
  answered_ = true;
  instrument_.operation_complete(
      [this, alive = std::weak_ptr<char>(alive_), place, generation = generation_] {
        if (alive.expired() || generation != generation_ || place < held_base_ ||
            place - held_base_ >= held_.size())
          return;
        held_[place - held_base_].ready = true;
        // Called inside this session's own run (nothing was running) the run flushes it.
        if (!running_ && wake_) wake_();
      });
  flush();
  return step::next;
}

remote_session::step remote_session::wait_until_idle() {
  if (detached_) return step::next;
  blocked_ = true;
  instrument_.operation_complete(
      [this, alive = std::weak_ptr<char>(alive_), generation = generation_] {
        if (alive.expired() || generation != generation_ || !blocked_) return;
        blocked_ = false;
        if (!running_ && wake_) wake_();
      });
  return blocked_ ? step::wait : step::next;
}

}  // namespace brevane::remote
