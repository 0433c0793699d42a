#include "remote/remote_session.h"

#include <charconv>
#include <climits>
#include <utility>

#include "remote/remote_instrument.h"

namespace brevane::remote {

namespace {

// The shortest text that reads back as the same number, '.' in every locale.
std::string number_text(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// A whole number in full, however large, for the details of range errors.
std::string whole_text(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::string percent_text(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  return result.ec == std::errc{} ? std::string(buffer, result.ptr) : std::string("0.0");
}

// An IEEE 488.2 string: in double quotes, a quote inside doubled.
std::string string_text(std::string_view text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// One field of *IDN?, which separates its fields with ','.
std::string identity_field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == ',' || c == ';') c = ' ';
  return out.empty() ? std::string("0") : out;
}

std::string_view phase_text(sweep_status::phase phase) {
  switch (phase) {
    case sweep_status::phase::idle:
      return "IDLE";
    case sweep_status::phase::running:
      return "RUNNING";
    case sweep_status::phase::paused:
      return "PAUSED";
    case sweep_status::phase::waiting:
      return "WAITING";
  }
  return "IDLE";
}

std::string state_text(const sweep_status& s) {
  std::string out(phase_text(s.state));
  for (int n : {s.cycle, s.pass, s.row, s.point}) {
    out += ',';
    out += std::to_string(n);
  }
  out += ',';
  out += percent_text(s.percent);
  out += ',';
  out += std::to_string(s.seconds_left);
  out += ',';
  out += s.ending;
  return out;
}

// An IEEE 488.2 definite-length block: '#', the count of length digits, the length, the bytes.
std::string block_text(std::string_view bytes) {
  const std::string length = std::to_string(bytes.size());
  std::string out;
  out.reserve(2 + length.size() + bytes.size());
  out += '#';
  out += static_cast<char>('0' + length.size());
  out += length;
  out += bytes;
  return out;
}

}  // namespace

remote_session::remote_session(remote_instrument& instrument,
                               std::function<bool(std::string_view)> send,
                               std::function<void()> wake)
    : instrument_(instrument), send_(std::move(send)), wake_(std::move(wake)) {}

void remote_session::push(std::string line) {
  if (dropped_) return;
  queued_bytes_ += line.size();
  lines_.push_back(std::move(line));
}

void remote_session::detach() {
  detached_ = true;
  if (opc_ == opc_state::waiting) opc_ = opc_state::ready;
}

void remote_session::discard() {
  detach();
  lines_.clear();
  queued_bytes_ = 0;
  if (running_) {
    dropped_ = true;  // the outer run() lets go of the line in progress
  } else {
    line_.reset();
    opc_ = opc_state::none;
  }
}

void remote_session::run() {
  if (running_) return;
  running_ = true;
  while (opc_ != opc_state::waiting) {
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
    opc_ = opc_state::none;
  }
  running_ = false;
}

void remote_session::run_line() {
  if (opc_ == opc_state::ready) {
    opc_ = opc_state::none;
    reply("1");
    ++next_;
  }
  while (next_ < line_->commands.size()) {
    const step s = execute(line_->commands[next_]);
    if (dropped_) return end_line();
    if (s == step::wait) return;
    if (s == step::stop) return end_line();
    ++next_;
  }
  if (line_->error) errors_.push(line_->error->code, line_->error->detail);
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
  if (detached_ || !send_(piece)) detached_ = true;
}

remote_session::step remote_session::fail(scpi_error code, std::string_view detail) {
  errors_.push(code, detail);
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
  switch (c.row->id) {
    case command::identify: {
      const identity id = instrument_.identify();
      reply("Brevane," + identity_field(id.head) + "," + identity_field(id.serial) + "," +
            identity_field(id.version));
      return step::next;
    }
    case command::clear_status:
      errors_.clear();
      return step::next;
    case command::operation_complete:
      return wait_for_operation();
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
      return step::next;
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
    case command::system_error:
      reply(format_error(errors_.pop()));
      return step::next;
  }
  return step::next;
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

remote_session::step remote_session::wait_for_operation() {
  if (detached_) {
    reply("1");
    return step::next;
  }
  opc_ = opc_state::waiting;
  const unsigned generation = ++opc_generation_;
  std::weak_ptr<char> alive = alive_;
  instrument_.operation_complete([this, alive, generation] {
    if (alive.expired() || generation != opc_generation_ || opc_ != opc_state::waiting) return;
    opc_ = opc_state::ready;
    if (!running_ && wake_) wake_();
  });
  if (opc_ == opc_state::ready) {
    opc_ = opc_state::none;
    reply("1");
    return step::next;
  }
  return step::wait;
}

}  // namespace brevane::remote
