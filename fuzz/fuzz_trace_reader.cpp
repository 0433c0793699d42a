// Any bytes as a trace, whole and in pieces.
#include <cstdio>
#include <cstdlib>

#include "trace_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_trace({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_trace_reader: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
