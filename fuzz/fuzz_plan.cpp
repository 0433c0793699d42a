// Any bytes as a plan, and plans that name a setting twice.
#include <cstdio>
#include <cstdlib>

#include "plan_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_plan({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_plan: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
