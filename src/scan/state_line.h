#pragma once
// One line that says what the instrument is doing, from its state alone: the Maps window shows
// it, and a test compares it with what the other views say of the same moment.

#include <string>

namespace brevane {

class instrument_state;

// "Sweep running: cycle 1 of 2, 32.1% done, about 4 s left", "Sweep paused by an alarm: …",
// "Sweep waiting for the head, which is gone", "Sweep ended: cancelled at 33.0%", "No head".
std::string state_line(const instrument_state& s);

}  // namespace brevane
