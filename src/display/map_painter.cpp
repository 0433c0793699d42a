#include "display/map_painter.h"

#include <QRgb>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace brevane {

namespace {

constexpr int last_i = 140;  // rightmost painted cell, X = 240
constexpr int last_j = 60;   // bottom painted cell, Z = 200
constexpr int block_w = 11;
constexpr int block_h = 10;
constexpr std::array<int, block_h> shade_ramp{0, 1, 2, 3, 4, 6, 7, 8, 9, 10};

// The loops run from the last cell down and later blocks overwrite earlier ones, so a pixel
// shows the smallest visited index whose block covers it. Rows and columns are independent:
// visited cells form a product set, so the winner is (smallest i, smallest j) separately.
// Returns -1 when no visited block covers coordinate p.
int covering_index(int p, int last, int extent, int step) {
  const int lowest = std::max(0, p - (extent - 1));
  if (lowest > last) return -1;
  const int index = last - ((last - lowest) / step) * step;
  return index <= p ? index : -1;
}

QRgb grey(int level) {
  // Computed in int so cell values near 32767 plus the ramp cannot overflow.
  const int l = std::clamp(level, 0, 255);
  return qRgb(l, l, l);
}

}  // namespace

void paint_map(canvas& picture, const map_grid& grid, int step_d) {
  const int step = std::max(step_d, 1);
  QImage& image = picture.image();
  if (image.isNull()) return;
  if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);

  const int width = image.width();
  const int height = image.height();
  const QRgb background = picture.background().rgb();

  std::vector<int> column_cell(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) column_cell[x] = covering_index(x, last_i, block_w, step);

  // Every pixel is written once, either by its winning block or with the background, which
  // also does the clearing.
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int j = covering_index(y, last_j, block_h, step);
    if (j < 0) {
      std::fill(line, line + width, background);
      continue;
    }
    const int ramp = shade_ramp[static_cast<std::size_t>(y - j)];
    int cached_i = -2;
    QRgb colour = background;
    for (int x = 0; x < width; ++x) {
      const int i = column_cell[static_cast<std::size_t>(x)];
      if (i != cached_i) {
        cached_i = i;
        colour = i < 0 ? background : grey(int{grid.at(i, j)} + ramp);
      }
      line[x] = colour;
    }
  }
  picture.touched();
}

}  // namespace brevane
