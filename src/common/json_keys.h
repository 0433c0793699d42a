#pragma once
// Finds a key that one JSON object holds twice. JSON readers keep only the last of such keys,
// so a text with "step" twice would mean something other than what its first reader saw; the
// program's own readers refuse it instead, naming the key.

#include <optional>
#include <string>
#include <string_view>

namespace brevane {

struct duplicate_key {
  std::string key;     // as decoded: "st\u0065p" is "step"
  std::string within;  // the key of the object that holds it twice; empty at the top
};

// The first key some object of text holds twice; nullopt when none does. Meant for text a
// JSON parser has accepted; on other text it still ends, and its answer means little.
std::optional<duplicate_key> first_duplicate_key(std::string_view text);

// "\"step\" appears twice in \"settings\"", or "... twice" at the top.
std::string duplicate_key_text(const duplicate_key& d);

}  // namespace brevane
