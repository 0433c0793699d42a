// Any bytes as the options of --simulate.
#include <cstdio>
#include <cstdlib>

#include "simulate_options_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_simulate_options({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_simulate_options: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
