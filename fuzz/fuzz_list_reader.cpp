// Any bytes as a list file handed over in pieces, with a stop that may come between blocks.
#include <cstdio>
#include <cstdlib>

#include "list_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_list_reader({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_list_reader: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
