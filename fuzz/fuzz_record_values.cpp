// Scan records of valid lines whose numbers are pushed to extremes.
#include <cstdio>
#include <cstdlib>

#include "record_values_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_record_values({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_record_values: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
