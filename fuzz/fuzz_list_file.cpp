// Any bytes as a list file, read line by line and turned into entries as the upload does.
#include <cstdio>
#include <cstdlib>

#include "list_file_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_list_file({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_list_file: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
