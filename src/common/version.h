#pragma once
// The program's version, from the build: --version, Help > About, the trace's first line, the
// scan record, the remote *IDN? and the package all give this one string.

namespace brevane {

inline constexpr const char* program_version = BREVANE_VERSION;

}  // namespace brevane
