// The emulated-head tests run under a QCoreApplication, as the transport posts its
// notifications to the event loop. With --udev-control they run where plug events come from
// a udev monitor; the namespace has to be made before any thread exists.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstring>

#include "usb_emulated/emulated_head.h"
#include "usb_emulated/run_mode.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--udev-control") == 0) {
      brevane::testing::udev_requested = true;
      brevane::testing::udev_unavailable = brevane::testing::enter_namespace_with_udev_control();
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  }
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
