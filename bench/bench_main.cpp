// One main for every benchmark. The echo wait and the simulated head need a running Qt
// application, and the pictures need a GUI one; offscreen, so no display is needed.
#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt gets only the program name, so every command-line option is left for the benchmarks.
  int qt_argc = 1;
  QApplication app(qt_argc, argv);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
