// Any bytes, read as UTF-8, through the five text filters.
#include <cstdio>
#include <cstdlib>

#include "text_filter_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_text_filters({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_text_filters: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
