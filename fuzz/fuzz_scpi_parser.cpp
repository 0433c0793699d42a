// Any bytes as a client's stream through the remote interface's lines, parser and session.
#include <cstdio>
#include <cstdlib>

#include "scpi_parser_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_scpi_parser({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_scpi_parser: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
