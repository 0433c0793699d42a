#pragma once
// The scanning heads attached over USB, as the system enumerates them; for choosing one of
// several heads.

#include <string>
#include <vector>

namespace brevane::device {

struct attached_head {
  std::string path;     // the device node, e.g. /dev/hidraw3
  std::string serial;   // empty when the head reports none
  std::string product;  // the product string
  std::string release;  // the device release, e.g. "1.00"
};

// Every attached head with the program's vendor and product ids, in enumeration order.
std::vector<attached_head> attached_heads();

// One line per head for --list-devices, or "no heads attached".
std::string attached_heads_text(const std::vector<attached_head>& heads);

// The version of the hidapi library the program runs with, e.g. "0.13.1".
std::string hidapi_version();

// True when choice names this head, by its serial number or by its device path.
bool head_matches(const attached_head& head, const std::string& choice);

}  // namespace brevane::device
