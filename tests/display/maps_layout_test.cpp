// The Maps picture keeps the shape of what was scanned: as many pixels per unit of X as of Z,
// unless "Fill" is chosen; a title line says which scan and cycle it shows; units as chosen.
#include "display/maps_layout.h"

#include <gtest/gtest.h>

#include <cmath>

#include "display/maps_render.h"
#include "support/readings.h"

namespace brevane {
namespace {

TEST(MapsLayout, EqualScalesKeepTheShapeAndFillTakesTheRoom) {
  const QRect room(60, 80, 447, 466);
  struct row {
    double x_units, z_units;
  };
  for (const row r : {row{120, 45}, row{45, 120}, row{165, 70}, row{10, 10}, row{1, 400}}) {
    const QRect plot = fitted_plot(room, r.x_units, r.z_units, map_shape::equal_scales);
    EXPECT_TRUE(room.contains(plot)) << r.x_units << " x " << r.z_units;
    EXPECT_TRUE(plot.width() == room.width() || plot.height() == room.height());
    // Equal to a pixel's rounding either way.
    EXPECT_NEAR(plot.width() / r.x_units, plot.height() / r.z_units,
                1.0 / std::min(r.x_units, r.z_units) + 1e-9)
        << r.x_units << " x " << r.z_units;
    EXPECT_EQ(fitted_plot(room, r.x_units, r.z_units, map_shape::fill), room);
  }
}

TEST(MapsLayout, A115By40RegionIsDrawnWiderThanTall) {
  maps_data data;
  data.set_raster({140, 255, 160, 200, 5, 5});
  for (int z = 160; z <= 200; z += 5)
    for (int x = 140; x <= 255; x += 5) data.add(point_reading(1, x, z, 70.0, 100.0));
  for (const QSize size : {QSize(1200, 600), QSize(700, 900)}) {
    const QPoint low = picture_point(data, 1, size, map_kind::thermal, 140, 160);
    const QPoint high = picture_point(data, 1, size, map_kind::thermal, 255, 200);
    const double per_x = (high.x() - low.x()) / 115.0, per_z = (low.y() - high.y()) / 40.0;
    EXPECT_NEAR(per_x / per_z, 1.0, 0.03) << size.width() << " x " << size.height();
    const QPoint fill_high =
        picture_point(data, 1, size, map_kind::thermal, 255, 200, map_shape::fill);
    const QPoint fill_low =
        picture_point(data, 1, size, map_kind::thermal, 140, 160, map_shape::fill);
    EXPECT_GT((fill_low.y() - fill_high.y()) / 40.0, 1.5 * per_z) << "Fill stretches Z";
  }
}

// A saved picture of a region of any shape: the maps at equal scales fill it, no blank band
// across or down it wider than a colour bar.
TEST(MapsLayout, ASavedPictureOfAnyRegionIsFilledByItsMaps) {
  const struct {
    int xmin, xmax, zmin, zmax, step;
    maps_arrangement arrangement;
  } regions[] = {{140, 255, 160, 200, 5, maps_arrangement::stacked},
                 {100, 110, 20, 220, 5, maps_arrangement::side_by_side},
                 {100, 255, 140, 200, 10, maps_arrangement::stacked},
                 {0, 255, 100, 102, 1, maps_arrangement::stacked}};
  constexpr int bar_width = 18;  // at the font of a picture with a side of 1200
  for (const auto& r : regions) {
    SCOPED_TRACE(std::to_string(r.xmax - r.xmin) + " x " + std::to_string(r.zmax - r.zmin));
    maps_data data;
    data.set_raster({r.xmin, r.xmax, r.zmin, r.zmax, r.step, r.step});
    for (int z = r.zmin; z <= r.zmax; z += r.step)
      for (int x = r.xmin; x <= r.xmax; x += r.step) data.add(point_reading(1, x, z, 70.0, 100.0));
    const picture_plan plan = saved_picture_plan(data, 1);
    EXPECT_EQ(plan.arrangement, r.arrangement);
    maps_style style;
    style.title =
        QStringLiteral("scan 2026-12-07 09-51-55 \u2014 cycle 1, started 2026-12-07 09:53:12");
    const QImage picture = render_picture(data, 1, style);
    EXPECT_TRUE(picture.width() > 1100 || picture.height() > 1100) << "as large as it may be";
    EXPECT_EQ(plan.size.expandedTo(picture.size()), plan.size);
    int widest_rows = 0, widest_columns = 0;
    for (const bool rows : {true, false}) {
      int run = 0;
      for (int i = 0; i < (rows ? picture.height() : picture.width()); ++i) {
        bool blank = true;
        for (int j = 0; blank && j < (rows ? picture.width() : picture.height()); ++j)
          blank = picture.pixel(rows ? j : i, rows ? i : j) == qRgb(255, 255, 255);
        run = blank ? run + 1 : 0;
        (rows ? widest_rows : widest_columns) = std::max(run, rows ? widest_rows : widest_columns);
      }
    }
    EXPECT_LE(widest_rows, bar_width);
    EXPECT_LE(widest_columns, bar_width);
    const QPoint low = picture_point(data, 1, plan.size, map_kind::sonic, r.xmin, r.zmin,
                                     map_shape::equal_scales, plan.arrangement);
    const QPoint high = picture_point(data, 1, plan.size, map_kind::sonic, r.xmax, r.zmax,
                                      map_shape::equal_scales, plan.arrangement);
    // Equal to a pixel's rounding either way.
    EXPECT_NEAR(double(high.x() - low.x()) / (r.xmax - r.xmin),
                double(low.y() - high.y()) / (r.zmax - r.zmin),
                1.0 / std::min(r.xmax - r.xmin, r.zmax - r.zmin) + 0.05)
        << "equal scales";
    EXPECT_TRUE(QRect(QPoint(), picture.size()).contains(high) &&
                QRect(QPoint(), picture.size()).contains(low));
  }
}

TEST(MapsLayout, TheTitleNamesTheScanTheCycleAndItsStart) {
  maps_data data;
  EXPECT_EQ(picture_title("scan 2026-12-06 05-04-10", data, std::nullopt),
            "scan 2026-12-06 05-04-10");
  reading_event second = point_reading(2, 100, 140, 70, 90);
  second.time = second.time.addSecs(95);
  data.add(point_reading(1, 100, 140, 70, 90));
  data.add(second);
  const struct {
    QString scan;
    std::optional<int> cycle;
    QString title;
  } rows[] = {
      {"scan 2026-12-06 05-04-10", 2,
       "scan 2026-12-06 05-04-10 \u2014 cycle 2, started 2026-12-06 05:05:45"},
      {"scan 2026-12-06 05-04-10", std::nullopt,
       "scan 2026-12-06 05-04-10 \u2014 latest of 2 cycles, started 2026-12-06 05:04:10"},
      {"", 1, "Live sweep \u2014 cycle 1, started 2026-12-06 05:04:10"},
      {"scan", 3, "scan \u2014 cycle 3"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(picture_title(r.scan, data, r.cycle).toStdString(), r.title.toStdString());
}

TEST(MapsLayout, UnitsAreChosenForTheReadoutAndTheColourBars) {
  map_cell cell{170, 170, 212.0, 10.0, QDateTime(QDate(2026, 12, 6), QTime(5, 4, 10))};
  const struct {
    display_units units;
    const char* readout;
  } rows[] = {
      {{}, "X 170  Z 170   212.00 °F   10.00 in   read 2026-12-06 05:04:10"},
      {{temperature_unit::celsius, distance_unit::millimetres},
       "X 170  Z 170   100.00 °C   254.0 mm   read 2026-12-06 05:04:10"},
      {{temperature_unit::celsius, distance_unit::inches},
       "X 170  Z 170   100.00 °C   10.00 in   read 2026-12-06 05:04:10"},
  };
  for (const auto& r : rows) EXPECT_EQ(readout_text(cell, r.units).toStdString(), r.readout);

  maps_data data;
  data.add(point_reading(1, 100, 140, 32.0, 1.0));
  data.add(point_reading(1, 110, 140, 212.0, 2.0));
  const display_units metric{temperature_unit::celsius, distance_unit::millimetres};
  const maps_geometry g = cell_geometry(data, 1);
  EXPECT_EQ(shown_range(g, map_kind::thermal, metric), (value_range{0.0, 100.0}));
  EXPECT_EQ(shown_range(g, map_kind::sonic, metric), (value_range{25.4, 50.8}));
  EXPECT_EQ(shown_range(g, map_kind::thermal), (value_range{32.0, 212.0}));
}

}  // namespace
}  // namespace brevane
