// Any bytes as a scan record: a whole file, and lines after a valid first line.
#include <cstdio>
#include <cstdlib>

#include "scan_record_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_scan_record({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_scan_record: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
