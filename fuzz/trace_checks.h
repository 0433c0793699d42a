#pragma once
// Reads arbitrary data as a trace, whole and in pieces as a file is read, and checks what a
// replay relies on. Used by the fuzz target and by its regression tests.
//
// The first byte chooses the size of the pieces (1 to 256); the rest is the trace.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/line_splitter.h"
#include "device/trace_reader.h"

namespace brevane::fuzzing {

inline std::string step_difference(const device::recorded_session& a,
                                   const device::recorded_session& b) {
  if (a.reports != b.reports || a.steps.size() != b.steps.size()) return "the number of steps";
  for (std::size_t i = 0; i < a.steps.size(); ++i)
    if (a.steps[i].what != b.steps[i].what || a.steps[i].line != b.steps[i].line ||
        a.steps[i].bytes != b.steps[i].bytes)
      return "step " + std::to_string(i);
  return {};
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_trace(std::span<const std::uint8_t> data) {
  const std::size_t piece = data.empty() ? 1 : data[0] + 1u;
  const std::string_view text =
      data.empty()
          ? std::string_view()
          : std::string_view(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  std::string whole_error;
  const auto whole = device::parse_trace(text, &whole_error);

  // As read_trace reads a file: in pieces through a bounded splitter.
  device::trace_reader reader;
  line_splitter lines(device::trace_line_limit + 1);
  std::string error;
  const auto add = [&](std::string_view line, bool) { return reader.add_line(line, &error); };
  bool read = true;
  for (std::size_t i = 0; read && i < text.size(); i += piece)
    read = lines.add(text.substr(i, piece), add);
  read = read && lines.finish(add);

  if (whole.has_value() != read) return "whole and in pieces disagree on refusing it";
  if (!whole) {
    if (whole_error != error) return "the refusal differs in pieces: " + error;
    if (!whole_error.starts_with("line ")) return "a refusal names no line: " + whole_error;
    return {};
  }
  const device::recorded_session pieces = reader.take();
  if (const std::string d = step_difference(*whole, pieces); !d.empty())
    return "in pieces, " + d + " differs";

  int reports = 0, last_line = 0;
  for (const device::trace_step& step : whole->steps) {
    if (step.line <= last_line) return "steps out of line order";
    last_line = step.line;
    if (step.what == device::trace_step::kind::out) ++reports;
    if (step.what != device::trace_step::kind::out && step.what != device::trace_step::kind::in)
      continue;
    // Written back as the trace writes it, a report reads the same.
    const bool out = step.what == device::trace_step::kind::out;
    const std::string line = (out ? "out " : "in ") +
                             device::hex_bytes(step.bytes.data(), out ? device::output_report_size
                                                                      : device::input_report_size);
    std::string why;
    const auto again = device::parse_trace(line, &why);
    if (!again || again->steps.size() != 1 || again->steps[0].bytes != step.bytes)
      return "a report written back reads differently: " + line;
  }
  if (reports != whole->reports) return "the count of out reports is wrong";
  return {};
}

}  // namespace brevane::fuzzing
