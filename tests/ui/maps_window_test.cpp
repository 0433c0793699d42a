#include "ui/maps_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "support/readings.h"
#include "ui/main_window.h"
#include "ui/maps_alarms.h"
#include "ui/profile_strip.h"

namespace brevane {
namespace {

TEST(MapsWindow, ViewMapsAsksForTheWindow) {
  main_window w;
  int chosen = 0;
  QObject::connect(&w, &main_window::maps_chosen, [&] { ++chosen; });
  w.menu_item(QStringLiteral("mapsv"))->trigger();
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(w.menu_item(QStringLiteral("mapsv"))->iconText(), "Maps");
}

TEST(MapsWindow, PaintsTheSweepWhileOpenAndReadsTheCellUnderThePointer) {
  QStandardPaths::setTestModeEnabled(true);  // its place goes to a test settings file
  reading_stream stream;
  maps_window w(stream);
  auto sweep_row = [&stream](int z) {
    for (int x = 100; x <= 250; x += 10)
      stream.notify([x, z](reading_observer& o) {
        o.reading_taken(point_reading(1, x, z, x == 170 ? 95.0 : 70.0, 120.0));
      });
  };
  stream.notify([](reading_observer& o) { o.sweep_started({100, 255, 140, 200, 10, 10}, {}); });
  sweep_row(170);
  EXPECT_FALSE(w.repaint_pending()) << "a closed window gathers but does not paint";
  w.open();
  EXPECT_EQ(w.windowTitle(), "Brevane Maps");
  const QPoint hot =
      picture_point(w.shown(), std::nullopt, w.picture().size(), map_kind::thermal, 171, 170);
  EXPECT_EQ(w.picture().pixel(hot), palette(palette_kind::colour)[255])
      << "opened after the readings, it shows them";
  sweep_row(180);
  EXPECT_TRUE(w.repaint_pending()) << "the readings ask for a repaint";
  w.refresh();
  EXPECT_FALSE(w.repaint_pending());
  EXPECT_FALSE(w.picture().isNull());
  auto* cycles = w.findChildren<QComboBox*>().at(1);
  EXPECT_EQ(cycles->count(), 2);
  EXPECT_EQ(cycles->itemText(1), "Cycle 1");

  w.hover(hot);
  EXPECT_TRUE(w.readout().startsWith("X 170  Z 170   95.00 °F   120.00 in"))
      << w.readout().toStdString();

  QTemporaryDir folder;
  // Live names the cycle it shows.
  w.set_live_record([&] { return folder.filePath("scan live.jsonl"); });
  EXPECT_EQ(w.proposed_picture_path(), folder.filePath("scan live cycle 1.png"));
  w.set_live_record({});
  EXPECT_FALSE(w.save_picture(folder.filePath("none/maps.png")));
  EXPECT_TRUE(w.readout().contains("cannot write")) << w.readout().toStdString();
  ASSERT_TRUE(w.save_picture(folder.filePath("maps.png")));
  // The maps shown, laid out to fill a picture of their own shape.
  const QImage saved(folder.filePath("maps.png"));
  const picture_plan plan = saved_picture_plan(w.shown(), std::nullopt);
  ASSERT_TRUE(plan.size.expandedTo(saved.size()) == plan.size && saved.height() > 600);
  EXPECT_EQ(saved.pixel(picture_point(w.shown(), std::nullopt, plan.size, map_kind::thermal, 171,
                                      170, map_shape::equal_scales, plan.arrangement)),
            palette(palette_kind::colour)[255]);

  w.close();

  maps_data record;
  record.add(point_reading(1, 100, 140, 80.0, 40.0));
  const QString path = folder.filePath("scans/scan 2026-12-06 05-04-10.jsonl");
  w.show_readings(QStringLiteral("scan 2026-12-06 05-04-10.jsonl (cancelled)"), record, 1,
                  QStringLiteral("This sweep: cancelled, 1 readings."), path);
  EXPECT_EQ(w.windowTitle(), "Brevane Maps \u2014 scan 2026-12-06 05-04-10.jsonl (cancelled)");
  EXPECT_EQ(w.readout(), "This sweep: cancelled, 1 readings.");
  EXPECT_EQ(w.proposed_picture_path(),
            folder.filePath("scans/scan 2026-12-06 05-04-10 cycle 1.png"));
  EXPECT_EQ(w.style().title,
            "scan 2026-12-06 05-04-10 \u2014 cycle 1, started 2026-12-06 05:04:10");
  EXPECT_EQ(w.shown().cells(1).size(), 1u);
  sweep_row(190);
  EXPECT_FALSE(w.repaint_pending()) << "a record is no live sweep";
  w.open();
  EXPECT_EQ(w.windowTitle(), "Brevane Maps");
  EXPECT_EQ(w.readout(), "Point at a cell to read it.") << "nothing said of the record stays";
  EXPECT_EQ(w.shown().cells(1).size(), 48u) << "the live maps went on gathering";
  w.close();
}

TEST(MapsWindow, ADragGivesARegionToSweepAndADoubleClickMovesTheHead) {
  QStandardPaths::setTestModeEnabled(true);
  reading_stream stream;
  maps_window w(stream);
  // A warm square, X 150 to 170 and Z 160 to 180, on a cool wall.
  stream.notify([](reading_observer& o) { o.sweep_started({100, 250, 140, 200, 10, 10}, {}); });
  for (int z = 140; z <= 200; z += 10)
    for (int x = 100; x <= 250; x += 10) {
      const bool warm = x >= 150 && x <= 170 && z >= 160 && z <= 180;
      stream.notify([&](reading_observer& o) {
        o.reading_taken(point_reading(1, x, z, warm ? 95.0 : 70.0, warm ? 40.0 : 120.0));
      });
    }
  w.open();
  QWidget* view = w.findChild<QWidget*>("picture");
  const auto at = [&](map_kind map, int x, int z) {
    return picture_point(w.displayed(), w.displayed_cycle(), w.picture().size(), map, x + 1, z - 1);
  };
  std::vector<region_limits> swept;
  std::vector<std::pair<int, int>> moves;
  QObject::connect(&w, &maps_window::region_sweep_chosen,
                   [&](region_limits l) { swept.push_back(l); });
  QObject::connect(&w, &maps_window::move_chosen, [&](int x, int z) { moves.emplace_back(x, z); });

  // Dragged on the sonic map, from corner to corner of the square: the region is the cells'.
  QTest::mousePress(view, Qt::LeftButton, {}, at(map_kind::sonic, 170, 160));
  QMouseEvent drag(QEvent::MouseMove, at(map_kind::sonic, 150, 180), view->mapToGlobal(QPoint()),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(view, &drag);
  QTest::mouseRelease(view, Qt::LeftButton, {}, at(map_kind::sonic, 150, 180));
  EXPECT_EQ(w.region(), (cell_region{150, 170, 160, 180}));
  const QString stats = w.region_text();
  EXPECT_TRUE(stats.contains("Region X 150\u2013170, Z 160\u2013180")) << stats.toStdString();
  EXPECT_TRUE(
      stats.contains("Thermal, °F\n  readings 9\n  min 95.00  max 95.00\n  mean 95.00\n"
                     "  sd 0.00"))
      << stats.toStdString();
  EXPECT_TRUE(stats.contains("Sonic, in\n  readings 9\n  min 40.00")) << stats.toStdString();

  // The scroll bars cannot hold X 150 to 170 alone: the region is refused, never widened.
  w.findChild<QAction*>("sweep_region")->trigger();
  ASSERT_EQ(swept.size(), 1u);
  EXPECT_EQ(swept[0], (region_limits{140, 180, 160, 180, true,
                                     "X Min cannot be above 140; X Max cannot be below 180"}));

  // A double-click moves the head and leaves the region; a plain click clears it.
  // As a window system sends it: a click, then the double-click and its release.
  const QPoint there = at(map_kind::thermal, 200, 190);
  QTest::mouseClick(view, Qt::LeftButton, {}, there);
  QTest::mouseDClick(view, Qt::LeftButton, {}, there);
  QTest::mouseRelease(view, Qt::LeftButton, {}, there);
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{200, 190}}));
  EXPECT_TRUE(w.region());
  QTest::mouseClick(view, Qt::LeftButton, {}, at(map_kind::thermal, 200, 190));
  EXPECT_FALSE(w.region());
  w.findChild<QAction*>("sweep_region")->trigger();
  EXPECT_EQ(swept.size(), 1u) << "no region, no limits";

  // The arrow keys walk the cells from the one double-clicked; Enter moves the head there.
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Left);
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_EQ(moves.back(), (std::pair{190, 170}));

  // A click with no region pins the profile along the row; another frees it.
  QTest::mouseClick(view, Qt::LeftButton, {}, at(map_kind::thermal, 160, 170));
  EXPECT_TRUE(w.profile_pinned());
  // It follows the sweep: a new reading on its row shows at the next repaint.
  const auto* strip = w.findChild<profile_strip*>("profile");
  EXPECT_EQ(strip->caption().left(24), "Profile along row Z 170,");
  stream.notify([](reading_observer& o) { o.reading_taken(point_reading(1, 160, 170, 99.0, 40)); });
  w.refresh();
  ASSERT_EQ(strip->thermal().steps.size(), 16u);
  EXPECT_EQ(strip->thermal().steps[6].at, 160);
  EXPECT_EQ(strip->thermal().steps[6].value, 99.0);
  w.findChild<QCheckBox*>("profile_column")->setChecked(true);
  EXPECT_EQ(strip->caption().left(27), "Profile along column X 160,");
  EXPECT_EQ(strip->thermal().steps.size(), 7u) << "one cell a row";
  w.findChild<QComboBox*>("compare")->setCurrentIndex(1);
  EXPECT_TRUE(w.style().differences) << "cycle 1 minus cycle 1";
  EXPECT_EQ(w.picture().pixel(at(map_kind::thermal, 160, 170)), qRgb(247, 247, 247))
      << "no change is white";
  w.escape();
  EXPECT_FALSE(w.profile_pinned());
  w.close();
}

TEST(MapsWindow, UnitsAndShapeAreRememberedAndAFixedRangeKeepsItsTemperatures) {
  QStandardPaths::setTestModeEnabled(true);
  reading_stream stream;
  {
    maps_window w(stream);
    w.set_units({});
    w.set_shape(map_shape::equal_scales);
    w.findChild<QComboBox*>("thermal_range")->setCurrentIndex(1);
    auto* low = w.findChild<QDoubleSpinBox*>("thermal_from");
    low->setValue(212.0);
    w.set_units({temperature_unit::celsius, distance_unit::millimetres});
    w.set_shape(map_shape::fill);
    EXPECT_DOUBLE_EQ(low->value(), 100.0);
    EXPECT_EQ(low->text(), "from 100.0 °C");
    EXPECT_DOUBLE_EQ(w.style().thermal.low, 100.0);
    // The alarm boxes follow the units; the alarm itself stays in °F and inches.
    EXPECT_EQ(w.findChild<QDoubleSpinBox*>("alarm_temperature")->text(), "37.8 °C");
    EXPECT_EQ(w.findChild<QDoubleSpinBox*>("alarm_distance")->text(), "304.8 mm");
    w.findChild<QCheckBox*>("alarm_distance_on")->setChecked(true);
    EXPECT_NEAR(*w.alarms().settings().distance_below_in, 12.0, 0.01);
    w.findChild<QCheckBox*>("alarm_distance_on")->setChecked(false);
  }
  maps_window again(stream);
  EXPECT_EQ(again.style().units,
            (display_units{temperature_unit::celsius, distance_unit::millimetres}));
  EXPECT_EQ(again.style().shape, map_shape::fill);
  EXPECT_TRUE(again.findChild<QAction*>("celsius")->isChecked());
  EXPECT_EQ(again.findChild<QDoubleSpinBox*>("sonic_to")->text(), "to 3810.0 mm");
  again.set_units({});
  again.set_shape(map_shape::equal_scales);
}

TEST(MapsWindow, FitsItsScreenAndItsKeysClashWithNothing) {
  QStandardPaths::setTestModeEnabled(true);
  reading_stream stream;
  maps_window w(stream);
  w.open();
  const QRect screen = w.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(w.geometry())) << screen.width() << " x " << screen.height();
  // Small enough for a 1600 x 1000 screen at twice the scale.
  EXPECT_LE(w.minimumSizeHint().width(), 780);
  EXPECT_LE(w.minimumSizeHint().height(), 460);

  std::set<QString> keys;
  for (const QAction* a : w.findChildren<QAction*>()) {
    if (a->shortcut().isEmpty()) continue;
    EXPECT_TRUE(keys.insert(a->shortcut().toString()).second) << a->objectName().toStdString();
    EXPECT_NE(a->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_NE(a->shortcut(), QKeySequence(Qt::Key_F8));
  }
  EXPECT_EQ(w.findChild<QAction*>("save_picture")->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(w.findChild<QAction*>("close")->shortcut(), QKeySequence(QKeySequence::Close));

  // Tab walks the controls as they read, left to right, top to bottom.
  QStringList order;
  QWidget* at = w.findChild<QComboBox*>("palette");
  for (; order.size() < 5; at = at->nextInFocusChain())
    if (at->focusPolicy() & Qt::TabFocus) order << at->objectName();
  EXPECT_EQ(order, (QStringList{"palette", "cycle", "compare", "profile_column", "save_picture"}));
  w.close();
}

}  // namespace
}  // namespace brevane
