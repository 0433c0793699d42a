// Any bytes as the program's arguments, split at NUL bytes.
#include <cstdio>
#include <cstdlib>

#include "command_line_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_command_line({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_command_line: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
