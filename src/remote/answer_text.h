#pragma once
// How the remote interface writes its answers, as IEEE 488.2 response data.

#include <string>
#include <string_view>

#include "remote/remote_instrument.h"

namespace brevane::remote {

// The shortest text that reads back as the same number, '.' in every locale.
std::string number_text(double value);
// A whole number in full, however large, for the details of range errors.
std::string whole_text(double value);
// An IEEE 488.2 string: in double quotes, a quote inside doubled.
std::string string_text(std::string_view text);
// One field of *IDN?, which separates its fields with ','.
std::string identity_field(std::string_view text);
// SWEep:STATe?'s answer: phase, cycle, pass, row, point, percent, seconds left, ending.
std::string state_text(const sweep_status& s);
// An IEEE 488.2 definite-length block: '#', the count of length digits, the length, the bytes.
std::string block_text(std::string_view bytes);

}  // namespace brevane::remote
