// The USB transport's benchmarks run against a head that umockdev emulates, so the program has
// to start under umockdev-wrapper. As where udevd runs, plug events come from a udev monitor;
// that needs a private mount namespace, made while the process is still single-threaded.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <iostream>

#include "usb_bench_mode.h"
#include "usb_emulated/emulated_head.h"

int main(int argc, char** argv) {
  brevane::bench::udev_unavailable = brevane::testing::enter_namespace_with_udev_control();
  if (!brevane::bench::udev_unavailable.empty())
    std::cerr << "usb bench: plug events come from the periodic scan: "
              << brevane::bench::udev_unavailable << "\n";
  int qt_argc = 1;
  QCoreApplication app(qt_argc, argv);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
