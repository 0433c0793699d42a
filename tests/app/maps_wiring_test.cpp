// The Maps window's tools reach the head and the controls as main() wires them: Sweep This
// Region sets the scan limits, a double-click moves the head under the one-operation guard,
// and both are refused, saying why, while an operation runs.
#include "app/maps_wiring.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/instrument.h"
#include "common/clock.h"
#include "device/simulated_head.h"
#include "support/rig.h"
#include "ui/main_window.h"
#include "ui/maps_window.h"
#include "ui/startup.h"

namespace brevane {
namespace {

TEST(MapsTools, SweepThisRegionSetsTheLimitsAndADoubleClickMovesTheHead) {
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir dir;
  main_window window;
  device::simulated_head head;
  system_clock wall_clock;
  instrument inst(head, window, wall_clock, dir.path(), device::default_echo_timeout_ms);
  maps_window maps(inst.readings);
  wire_maps_tools(maps, window, inst);
  load_step(inst.state, window);
  inst.device.connect_link();
  ASSERT_TRUE(testing::run_events_until([&] { return window.caption() == "Up and Running"; }));
  const auto limits = [&] {
    return std::vector<int>{window.value(scroll_bar::xmin), window.value(scroll_bar::xmax),
                            window.value(scroll_bar::zmin), window.value(scroll_bar::zmax)};
  };
  const std::vector<int> start = limits();

  // Refused while an operation runs: nothing changes, and both windows say why.
  ASSERT_TRUE(inst.guard.begin("Sweep"));
  maps.set_region(cell_region{150, 170, 160, 180});
  maps.findChild<QAction*>("sweep_region")->trigger();
  EXPECT_EQ(limits(), start);
  EXPECT_EQ(window.status(),
            "Sweep This Region was refused: the scan limits cannot change while Sweep runs; end "
            "it first (Escape).");
  EXPECT_EQ(maps.readout().toStdString(), window.status());
  maps.move_here(200, 190);
  EXPECT_EQ(window.status(), "Move was not started: Sweep is still running.");
  EXPECT_EQ(inst.state.posx, 0);
  inst.guard.end();

  // A region the bars cannot hold is never widened to fit them.
  maps.findChild<QAction*>("sweep_region")->trigger();
  EXPECT_EQ(limits(), start);
  EXPECT_EQ(window.status(),
            "Sweep This Region was refused: X Min cannot be above 140; X Max cannot be below 180, "
            "so the scan limits would reach beyond the region. Choose a region inside the scroll "
            "bars' ranges.");
  maps.set_region(cell_region{90, 200, 160, 180});
  maps.findChild<QAction*>("sweep_region")->trigger();
  EXPECT_EQ(limits(), (std::vector<int>{100, 200, 160, 180}));
  EXPECT_EQ(window.status(),
            "Scan limits set to the region, clipped to the scroll bars' ranges: X 100 to 200, Z "
            "160 to 180. Sweep starts it.");
  EXPECT_FALSE(inst.guard.busy()) << "it does not start the sweep";

  // Beyond 0 to 255 the move is kept on the axes; the caption follows the head.
  maps.move_here(300, 190);
  EXPECT_EQ(inst.state.posx, 255);
  EXPECT_EQ(inst.state.posz, 190);
  EXPECT_EQ(window.status(), "Move completed.");
  EXPECT_EQ(window.position_text(), "X 255 Z 190");
  inst.device.disconnect_link();
}

}  // namespace
}  // namespace brevane
