#include "remote/answer_text.h"

#include <charconv>

namespace brevane::remote {

namespace {

std::string percent_text(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  return result.ec == std::errc{} ? std::string(buffer, result.ptr) : std::string("0.0");
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

}  // namespace

std::string number_text(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string whole_text(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::string string_text(std::string_view text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string identity_field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == ',' || c == ';') c = ' ';
  return out.empty() ? std::string("0") : out;
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

}  // namespace brevane::remote
