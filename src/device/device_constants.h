#pragma once
// Everything the program knows about the scanning head's USB identity and its reports.

#include <array>
#include <cstddef>
#include <cstdint>

namespace brevane::device {

inline constexpr int vendor_id = 1240;    // 0x04d8
inline constexpr int product_id = 65267;  // 0xfef3

inline constexpr std::size_t output_report_size = 11;  // bytes 0..10, byte 0 the report id
inline constexpr std::size_t input_report_size = 9;    // bytes 0..8, byte 0 the report id
// The head's reports carry 8 data bytes after the report id; bytes 9 and 10 of the
// output buffer are never written, so only 0..8 go on the wire.
inline constexpr std::size_t output_wire_size = 9;

inline constexpr std::size_t echo_byte = 3;
inline constexpr std::size_t reading_low_byte = 4;
inline constexpr std::size_t reading_high_byte = 5;

using output_report = std::array<std::uint8_t, output_report_size>;
using input_report = std::array<std::uint8_t, input_report_size>;

// Command letters.
inline constexpr std::uint8_t cmd_x = 'X';
inline constexpr std::uint8_t cmd_z = 'Z';
inline constexpr std::uint8_t cmd_t = 'T';
inline constexpr std::uint8_t cmd_s = 'S';
inline constexpr std::uint8_t cmd_l = 'L';
inline constexpr std::uint8_t cmd_w = 'W';
inline constexpr std::uint8_t cmd_p = 'P';
inline constexpr std::uint8_t cmd_e = 'E';

// LED codes the sweep sends; their meaning is the head's.
inline constexpr int led_row_start = 4;
inline constexpr int led_after_sonic = 5;
inline constexpr int led_after_thermal = 6;
inline constexpr int led_cycle_done = 0;

inline constexpr int default_echo_timeout_ms = 3000;
// The bounds --echo-timeout and a plan's echo_timeout_ms accept.
inline constexpr int min_echo_timeout_ms = 1;
inline constexpr int max_echo_timeout_ms = 600000;

// Where the udev rule that grants access to the head ships.
inline constexpr const char* udev_rule_name = "packaging/70-brevane.rules";

}  // namespace brevane::device
