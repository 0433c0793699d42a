#include "app/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <system_error>

namespace brevane {

int with_standard_output_checked(int status) {
  errno = 0;
  std::cout.flush();
  const bool lost = std::cout.bad() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  const int error = errno;
  if (!lost) return status;
  std::cerr << "brevane: what was written to standard output was lost"
            << (error != 0 ? " (" + std::generic_category().message(error) + ")" : std::string())
            << "\n";
  return status == 0 ? 1 : status;
}

}  // namespace brevane
