#include "remote/scpi_errors.h"

#include <string>

namespace brevane::remote {

std::string_view error_text(scpi_error code) {
  switch (code) {
    case scpi_error::none:
      return "No error";
    case scpi_error::command:
      return "Command error";
    case scpi_error::data_type:
      return "Data type error";
    case scpi_error::parameter_not_allowed:
      return "Parameter not allowed";
    case scpi_error::missing_parameter:
      return "Missing parameter";
    case scpi_error::undefined_header:
      return "Undefined header";
    case scpi_error::header_suffix:
      return "Header suffix out of range";
    case scpi_error::illegal_parameter:
      return "Illegal parameter value";
    case scpi_error::execution:
      return "Execution error";
    case scpi_error::data_out_of_range:
      return "Data out of range";
    case scpi_error::queue_overflow:
      return "Queue overflow";
  }
  return "Error";
}

std::string cut_utf8(std::string_view text, std::size_t max) {
  if (text.size() <= max) return std::string(text);
  std::size_t end = max;
  // Step back over continuation bytes to the start of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string format_error(const error_entry& entry) {
  std::string out = std::to_string(static_cast<int>(entry.code));
  out += ",\"";
  out += error_text(entry.code);
  if (!entry.detail.empty()) {
    out += ';';
    for (const char c : entry.detail) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"')
        out += "\"\"";
      else if (u < 0x20 || u == 0x7f)
        out += ' ';
      else
        out += c;
    }
  }
  out += '"';
  return out;
}

void error_queue::push(scpi_error code, std::string_view detail) {
  if (entries_.size() >= capacity) {
    entries_.back() = {scpi_error::queue_overflow, {}};
    return;
  }
  entries_.push_back({code, cut_utf8(detail, max_detail_bytes)});
}

error_entry error_queue::pop() {
  if (entries_.empty()) return {};
  error_entry oldest = std::move(entries_.front());
  entries_.pop_front();
  return oldest;
}

}  // namespace brevane::remote
