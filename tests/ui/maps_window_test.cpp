#include "ui/maps_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/readings.h"
#include "ui/main_window.h"

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
  EXPECT_FALSE(w.save_picture(folder.filePath("none/maps.png")));
  EXPECT_TRUE(w.readout().contains("cannot write")) << w.readout().toStdString();
  ASSERT_TRUE(w.save_picture(folder.filePath("maps.png")));
  EXPECT_EQ(QImage(folder.filePath("maps.png")).convertToFormat(QImage::Format_RGB32), w.picture());

  w.close();

  maps_data record;
  record.add(point_reading(1, 100, 140, 80.0, 40.0));
  w.show_readings(QStringLiteral("scan 2026-12-06 05-04-10"), record);
  EXPECT_EQ(w.windowTitle(), "Brevane Maps \u2014 scan 2026-12-06 05-04-10");
  EXPECT_EQ(w.shown().cells(1).size(), 1u);
  sweep_row(190);
  EXPECT_FALSE(w.repaint_pending()) << "a record is no live sweep";
  w.open();
  EXPECT_EQ(w.shown().cells(1).size(), 48u) << "the live maps went on gathering";
  w.close();
}

}  // namespace
}  // namespace brevane
