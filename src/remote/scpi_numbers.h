#pragma once
// Numbers as the remote interface's parser reads them.

#include <string_view>

namespace brevane::remote {

enum class number_result { ok, not_a_number, out_of_range };

// One decimal number as IEEE 488.2 writes it: sign, digits with an optional point, and an
// optional exponent. No infinities, no hex, no units.
number_result read_number(std::string_view text, double& value);

}  // namespace brevane::remote
