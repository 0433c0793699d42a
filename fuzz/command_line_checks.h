#pragma once
// Reads arbitrary data as the program's arguments, split at NUL bytes, and checks that the
// command line is taken or refused with a reason, the same way every time. Used by the fuzz
// target and by its regression tests.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>
#include <string>

#include "app/command_line.h"

namespace brevane::fuzzing {

inline QStringList arguments_of(std::span<const std::uint8_t> data) {
  QStringList arguments;
  if (data.empty()) return arguments;
  const QByteArray bytes(reinterpret_cast<const char*>(data.data()),
                         static_cast<qsizetype>(data.size()));
  for (const QByteArray& argument : bytes.split('\0')) arguments << QString::fromUtf8(argument);
  return arguments;
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_command_line(std::span<const std::uint8_t> data) {
  const QStringList arguments = arguments_of(data);
  std::string error, again;
  const auto parsed = parse_command_line(arguments, &error);
  const auto second = parse_command_line(arguments, &again);
  if (parsed.has_value() != second.has_value() || error != again)
    return "the same arguments read differently twice";
  if (!parsed) return error.empty() ? "refused without a reason" : std::string();
  if (parsed->echo_timeout_ms < 1 || parsed->cycles < 1 || parsed->resume_within_s < 0 ||
      parsed->cycle.value_or(1) < 1)
    return "a count or time out of its range";
  return {};
}

}  // namespace brevane::fuzzing
