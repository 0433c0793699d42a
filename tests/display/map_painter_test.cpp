#include "display/map_painter.h"

#include <gtest/gtest.h>

#include <QColor>
#include <array>
#include <random>

namespace brevane {
namespace {

constexpr int pic_w = 149;
constexpr int pic_h = 69;
const QColor background(192, 192, 192);
constexpr QRgb background_rgb = 0xffc0c0c0;

canvas make_picture() {
  return canvas(pic_w, pic_h, background);
}

// The pixel-by-pixel order, one pixel at a time, as the operator's maps were always drawn.
QImage reference_paint(const map_grid& grid, int step) {
  static constexpr std::array<int, 10> ramp{0, 1, 2, 3, 4, 6, 7, 8, 9, 10};
  QImage image(pic_w, pic_h, QImage::Format_RGB32);
  image.fill(background);
  for (int i = 140; i >= 0; i -= step)
    for (int j = 60; j >= 0; j -= step)
      for (int k = 0; k <= 10; ++k)
        for (int r = 0; r <= 9; ++r) {
          const int x = i + k;
          const int y = j + r;
          if (x >= pic_w || y >= pic_h) continue;
          int level = grid.at(i, j) + ramp[static_cast<std::size_t>(r)];
          if (level > 255) level = 255;
          if (level < 0) level = 0;
          image.setPixel(x, y, qRgb(level, level, level));
        }
  return image;
}

int grey_at(const canvas& picture, int x, int y) {
  const QRgb p = picture.image().pixel(x, y);
  EXPECT_EQ(qRed(p), qGreen(p));
  EXPECT_EQ(qGreen(p), qBlue(p));
  return qRed(p);
}

std::int16_t random_value(std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 6);
  switch (kind(rng)) {
    case 0:
      return static_cast<std::int16_t>(std::uniform_int_distribution<int>(-32768, -1)(rng));
    case 1:
      return static_cast<std::int16_t>(std::uniform_int_distribution<int>(-12, -1)(rng));
    case 2:
      return 0;
    case 3:
      return static_cast<std::int16_t>(std::uniform_int_distribution<int>(245, 260)(rng));
    case 4:
      return static_cast<std::int16_t>(std::uniform_int_distribution<int>(32760, 32767)(rng));
    default:
      return static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, 255)(rng));
  }
}

class MapPainterSteps : public ::testing::TestWithParam<int> {};

TEST_P(MapPainterSteps, MatchesPixelByPixelOrderOnRandomGrids) {
  const int step = GetParam();
  std::mt19937 rng(1234u + static_cast<unsigned>(step));
  for (int round = 0; round < 4; ++round) {
    map_grid grid;
    for (int i = 0; i < map_grid::size; ++i)
      for (int j = 0; j < map_grid::size; ++j) grid.at(i, j) = random_value(rng);
    canvas picture = make_picture();
    // Leftovers from an earlier painting must not show through.
    picture.image().fill(Qt::red);
    paint_map(picture, grid, step);
    ASSERT_EQ(picture.image().format(), QImage::Format_RGB32);
    ASSERT_EQ(picture.image(), reference_paint(grid, step)) << "step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(AllSteps, MapPainterSteps, ::testing::Values(1, 2, 3, 5, 10, 20));

TEST(MapPainter, StepBelowOneCountsAsOne) {
  map_grid grid;
  grid.at(70, 30) = 200;
  grid.at(3, 4) = -5;
  for (int step : {0, -3}) {
    canvas picture = make_picture();
    paint_map(picture, grid, step);
    EXPECT_EQ(picture.image(), reference_paint(grid, 1));
  }
}

TEST(MapPainter, EmptyGridAtStepTenCoversEverythingWithTheDarkestBlocks) {
  map_grid grid;
  canvas picture = make_picture();
  paint_map(picture, grid, 10);
  static constexpr std::array<int, 10> ramp{0, 1, 2, 3, 4, 6, 7, 8, 9, 10};
  for (int y = 0; y < pic_h; ++y)
    for (int x = 0; x < pic_w; ++x)
      ASSERT_EQ(grey_at(picture, x, y), ramp[static_cast<std::size_t>(y % 10)]) << x << "," << y;
}

TEST(MapPainter, LevelsAbove255PaintWhite) {
  map_grid grid;
  grid.at(50, 30) = 250;
  canvas picture = make_picture();
  paint_map(picture, grid, 10);
  // Columns 51..60 show cell 50 (column 50 belongs to cell 40).
  const std::array<int, 10> expected{250, 251, 252, 253, 254, 255, 255, 255, 255, 255};
  for (int r = 0; r < 10; ++r) EXPECT_EQ(grey_at(picture, 55, 30 + r), expected[r]);
}

TEST(MapPainter, RampAddsToTheCellValueRowByRow) {
  map_grid grid;
  grid.at(0, 0) = 100;
  canvas picture = make_picture();
  paint_map(picture, grid, 10);
  const std::array<int, 10> expected{100, 101, 102, 103, 104, 106, 107, 108, 109, 110};
  for (int x = 0; x <= 10; ++x)
    for (int r = 0; r < 10; ++r) EXPECT_EQ(grey_at(picture, x, r), expected[r]);
}

TEST(MapPainter, NegativeLevelsPaintBlackAndExtremeValuesPaintWhite) {
  map_grid grid;
  grid.at(0, 0) = -5;
  grid.at(20, 0) = 32767;
  grid.at(40, 0) = -32768;
  canvas picture = make_picture();
  paint_map(picture, grid, 20);
  for (int r = 0; r < 10; ++r) {
    EXPECT_EQ(grey_at(picture, 5, r), std::max(0, -5 + (r < 5 ? r : r + 1)));
    EXPECT_EQ(grey_at(picture, 25, r), 255);
    EXPECT_EQ(grey_at(picture, 45, r), 0);
  }
}

TEST(MapPainter, AtStepOneEachPixelShowsTheCellUpAndLeftPlusTen) {
  map_grid grid;
  for (int i = 0; i <= 140; ++i)
    for (int j = 0; j <= 60; ++j) grid.at(i, j) = static_cast<std::int16_t>((i * 7 + j * 3) % 240);
  canvas picture = make_picture();
  paint_map(picture, grid, 1);
  for (int x = 10; x < pic_w; ++x)
    for (int y = 9; y < pic_h; ++y)
      ASSERT_EQ(grey_at(picture, x, y), grid.at(x - 10, y - 9) + 10) << x << "," << y;
}

TEST(MapPainter, LastCellIsPaintedFirstAndClippedAtTheEdges) {
  map_grid grid;
  grid.at(140, 60) = 200;
  grid.at(130, 60) = 50;
  canvas picture = make_picture();
  paint_map(picture, grid, 10);
  for (int y = 60; y <= 68; ++y) {
    const int ramp = (y - 60) < 5 ? y - 60 : y - 59;
    EXPECT_EQ(grey_at(picture, 140, y), 50 + ramp);  // overwritten by cell (130, 60)
    for (int x = 141; x <= 148; ++x) EXPECT_EQ(grey_at(picture, x, y), 200 + ramp);
  }
}

TEST(MapPainter, CellsBeyondThePaintedWindowNeverShow) {
  map_grid grid;
  for (int j = 0; j < map_grid::size; ++j) grid.at(145, j) = 255;
  for (int i = 0; i < map_grid::size; ++i) grid.at(i, 65) = 255;
  canvas picture = make_picture();
  paint_map(picture, grid, 1);
  EXPECT_EQ(picture.image(), reference_paint(map_grid{}, 1));
}

TEST(MapPainter, StepTwentyLeavesBackgroundGaps) {
  map_grid grid;
  canvas picture = make_picture();
  paint_map(picture, grid, 20);
  // Visited i = 140, 120, ..., 0; j = 60, 40, 20, 0.
  for (int x : {11, 15, 19, 31, 139}) EXPECT_EQ(picture.image().pixel(x, 5), background_rgb) << x;
  for (int y : {10, 15, 19, 50, 59}) EXPECT_EQ(picture.image().pixel(5, y), background_rgb) << y;
  EXPECT_EQ(grey_at(picture, 10, 9), 10);
  EXPECT_EQ(grey_at(picture, 140, 60), 0);
}

TEST(MapPainter, StepThreeLeavesTheFirstTwoColumnsAsBackground) {
  map_grid grid;
  canvas picture = make_picture();
  paint_map(picture, grid, 3);
  for (int y = 0; y < pic_h; ++y) {
    EXPECT_EQ(picture.image().pixel(0, y), background_rgb);
    EXPECT_EQ(picture.image().pixel(1, y), background_rgb);
    EXPECT_NE(picture.image().pixel(2, y), background_rgb);
  }
}

TEST(MapPainter, RepaintingAnEmptiedGridShowsTheDarkestBlocks) {
  map_grid grid;
  grid.at(60, 20) = 180;
  canvas picture = make_picture();
  paint_map(picture, grid, 10);
  grid.clear();
  paint_map(picture, grid, 10);
  EXPECT_EQ(picture.image(), reference_paint(map_grid{}, 10));
}

TEST(MapPainter, NotifiesTheWidgetOnce) {
  map_grid grid;
  canvas picture = make_picture();
  int calls = 0;
  picture.on_changed = [&calls] { ++calls; };
  paint_map(picture, grid, 1);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace brevane
