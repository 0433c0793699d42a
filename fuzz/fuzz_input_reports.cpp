// Input reports of any length, in any order, through the device link and the command exchange.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "input_report_checks.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The exchange runs Qt events; one application for the whole run.
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = brevane::fuzzing::check_input_reports({data, size});
  if (!failure.empty()) {
    std::fprintf(stderr, "fuzz_input_reports: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
