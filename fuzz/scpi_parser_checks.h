#pragma once
// Runs arbitrary bytes as a client's stream through the remote interface: cut into lines,
// each line parsed, parsed again from its commands written out in full, and run by a session
// against an instrument that does whatever it is asked. Used by the fuzz target and by its
// regression tests.
//
// The first byte chooses where the rest is split into two reads, so lines and characters
// arrive cut as a socket may cut them.

#include <QString>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/line_buffer.h"
#include "remote/remote_instrument.h"
#include "remote/remote_session.h"
#include "remote/scpi_parser.h"

namespace brevane::fuzzing {

// Says yes to everything, with small answers that hold no ';', '#' or line end.
class willing_instrument : public remote::remote_instrument {
 public:
  remote::identity identify() const override { return {"head", "SIM", "1"}; }
  remote::answer<double> measure_temperature() override { return {{}, 72.25}; }
  remote::answer<double> measure_distance() override { return {{}, 14.5}; }
  remote::position commanded_position() const override { return {1, 2}; }
  remote::outcome move_to(int, int) override { return {}; }
  remote::outcome home() override { return {}; }
  int integer_setting(std::string_view) const override { return 7; }
  remote::outcome set_integer_setting(std::string_view, int v) override {
    return v < 0 ? remote::outcome::out_of_range("0 and up") : remote::outcome{};
  }
  bool flag_setting(std::string_view) const override { return true; }
  remote::outcome set_flag_setting(std::string_view, bool) override { return {}; }
  std::optional<double> alarm(std::string_view) const override { return 90.5; }
  remote::outcome set_alarm(std::string_view, std::optional<double>) override { return {}; }
  std::string plan_json() const override { return "{}"; }
  remote::outcome set_plan_json(std::string_view) override { return {}; }
  remote::outcome start_sweep() override { return {}; }
  remote::outcome pause_sweep() override { return remote::outcome::refused("no sweep"); }
  remote::outcome resume_sweep() override { return {}; }
  void abort() override {}
  remote::sweep_status sweep_state() const override { return {}; }
  long long reading_count() const override { return 3; }
  remote::answer<std::string> read_readings(long long start, int count) const override {
    std::string rows;
    for (long long i = start; i < start + count && i < 3; ++i) rows += "1,2;#3\n";
    return {{}, rows};
  }
  std::string record_path() const override { return "a\"b"; }
  void operation_complete(std::function<void()> then) override { then(); }
  std::optional<int> sweep_cycles() const override { return std::nullopt; }
  remote::outcome set_sweep_cycles(std::optional<int>) override { return {}; }
  remote::status_conditions conditions() const override { return {.sweeping = true}; }
  int self_test() override { return 0; }
  remote::outcome reset() override { return {}; }
};

inline bool is_text(std::string_view line) {
  const QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  if (text.toUtf8() != QByteArray(line.data(), static_cast<qsizetype>(line.size()))) return false;
  for (QChar c : text)
    if ((c.unicode() < 0x20 && c != u'\t' && c != u'\r') ||
        (c.unicode() >= 0x7f && c.unicode() < 0xa0))
      return false;
  return true;
}

// A parsed command written out in its long form, rooted (a common command has no root), so
// it must parse back the same.
inline std::string written_out(const remote::parsed_command& c) {
  const std::string_view header = c.row->header;
  std::string out = (header.front() == '*' ? "" : ":") + std::string(header) + (c.query ? "?" : "");
  if (c.asked) {
    const double v = *c.asked;
    return out + (v == c.row->range->low ? " MIN" : v == c.row->range->high ? " MAX" : " DEF");
  }
  const auto& arguments = c.query ? c.row->query.arguments : c.row->set.arguments;
  for (std::size_t i = 0; i < c.parameters.size(); ++i) {
    out += i == 0 ? " " : ",";
    if (arguments[i] == remote::argument::threshold && !c.parameters[i].flag) {
      out += "OFF";
    } else if (std::isinf(c.parameters[i].number)) {
      out += "INF";
    } else if (arguments[i] == remote::argument::integer ||
               arguments[i] == remote::argument::threshold ||
               arguments[i] == remote::argument::count) {
      char buffer[400];
      out += std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer,
                                               c.parameters[i].number, std::chars_format::fixed)
                                     .ptr);
    } else if (arguments[i] == remote::argument::boolean) {
      out += c.parameters[i].flag ? "ON" : "OFF";
    } else {
      out += c.parameters[i].text;
    }
  }
  return out;
}

inline bool same(const remote::parsed_command& a, const remote::parsed_command& b) {
  if (a.row != b.row || a.query != b.query || a.parameters.size() != b.parameters.size())
    return false;
  const auto nan_or = [](const std::optional<double>& v) { return v && std::isnan(*v); };
  if (a.asked.has_value() != b.asked.has_value() ||
      (a.asked && *a.asked != *b.asked && !(nan_or(a.asked) && nan_or(b.asked))))
    return false;
  for (std::size_t i = 0; i < a.parameters.size(); ++i) {
    const auto& p = a.parameters[i];
    const auto& q = b.parameters[i];
    if (p.number != q.number || p.flag != q.flag || p.text != q.text) return false;
  }
  return true;
}

// What a line's answer must look like: nothing, or answers separated by ';' ending in one LF,
// where a block's bytes are skipped by its length.
inline std::string check_answer(const std::string& said) {
  if (said.empty()) return {};
  if (said.back() != '\n') return "an answer without its line end";
  bool answer_start = true;
  for (std::size_t i = 0; i + 1 < said.size(); ++i) {
    if (answer_start && said[i] == '#') {
      if (i + 1 >= said.size() || said[i + 1] < '1' || said[i + 1] > '9') return "a bad block";
      const std::size_t digits = static_cast<std::size_t>(said[i + 1] - '0');
      if (i + 2 + digits > said.size()) return "a block cut short";
      const std::size_t length = std::stoul(said.substr(i + 2, digits));
      i += 1 + digits + length;
      if (i + 1 >= said.size()) return "a block past the answer's end";
      answer_start = false;
      continue;
    }
    if (said[i] == '\n' || said[i] == '\r') return "a line end inside an answer";
    answer_start = said[i] == ';';
  }
  return {};
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_scpi_parser(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  const std::string_view bytes(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  const std::size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);

  std::vector<std::string> lines;
  remote::line_buffer buffer;
  const auto take = [&lines](std::string&& line) { lines.push_back(std::move(line)); };
  buffer.feed(bytes.substr(0, cut), take);
  buffer.feed(bytes.substr(cut), take);

  willing_instrument instrument;
  remote::instrument_status status;
  std::string said;
  remote::remote_session session(
      instrument, status,
      [&said](std::string_view b) {
        said += b;
        return true;
      },
      [] {});
  for (const std::string& line : lines) {
    const std::string at = "line \"" + remote::cut_utf8(line, 60) + "\": ";
    if (line.size() > remote::max_line_bytes) return at + "longer than the bound";
    if (!is_text(line)) return at + "not text, and let through";

    const remote::parsed_line parsed = remote::parse_line(line);
    std::size_t separators = 0;
    for (char c : line) separators += c == ';';
    if (parsed.commands.size() > separators + 1) return at + "more commands than ';' allow";
    for (const remote::parsed_command& c : parsed.commands) {
      const auto& form = c.query ? c.row->query : c.row->set;
      if (!form.allowed) return at + "a form the table does not have";
      if (c.parameters.size() != (c.asked ? 0 : form.arguments.size()))
        return at + "a wrong parameter count";
      if (c.asked && !c.row->range) return at + "MIN, MAX or DEF asked of a setting without them";
      const std::string again = written_out(c);
      const remote::parsed_line reparsed = remote::parse_line(again);
      if (reparsed.error || reparsed.commands.size() != 1 || !same(reparsed.commands[0], c))
        return at + "\"" + again.substr(0, 60) + "\" does not parse back";
    }
    if (parsed.error) {
      const std::string text = remote::format_error(*parsed.error);
      if (text.find_first_of("\r\n") != std::string::npos) return at + "an error of two lines";
      if (!is_text(text)) return at + "an error that is not text";
      if (text.size() > 2 * remote::max_detail_bytes + 40) return at + "an error too long";
    }

    said.clear();
    session.push(line);
    session.run();
    if (!session.idle()) return at + "the session did not finish the line";
    if (const std::string wrong = check_answer(said); !wrong.empty()) return at + wrong;
    said.clear();
    session.push("SYST:ERR?");
    session.run();
    if (said.empty() || said.back() != '\n' || !is_text(said.substr(0, said.size() - 1)))
      return at + "SYSTem:ERRor? gave \"" + remote::cut_utf8(said, 60) + "\"";
  }
  return {};
}

}  // namespace brevane::fuzzing
