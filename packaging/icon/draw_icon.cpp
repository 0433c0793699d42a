// Draws the program's icon at the sizes the desktop asks for, from the picture of the 16 x 16
// one: a dark frame round a chequered field, a warm spot in its middle and the head's green
// cross-hair over it. Run at build time: draw_icon SIZE FILE.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: draw_icon SIZE FILE\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "draw_icon: SIZE is 16 to 1024\n");
    return 2;
  }
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double u = size / 16.0;  // one pixel of the 16 x 16 icon

  // The frame, with corners rounded at the larger sizes.
  QPainterPath frame;
  frame.addRoundedRect(QRectF(0, 0, size, size), u * 1.5, u * 1.5);
  p.fillPath(frame, QColor(0x28, 0x28, 0x30));
  const QRectF field(u, u, size - 2 * u, size - 2 * u);
  p.fillRect(field, QColor(0x46, 0x46, 0x46));
  // The chequered field: the raster the head sweeps.
  const int squares = 7;
  const double square = field.width() / squares;
  for (int r = 0; r < squares; ++r)
    for (int c = 0; c < squares; ++c)
      if ((r + c) % 2 == 0)
        p.fillRect(QRectF(field.left() + c * square, field.top() + r * square, square, square),
                   QColor(0x4c, 0x4c, 0x4c));

  // The warm spot the maps show.
  const QPointF centre(size / 2.0, size / 2.0);
  QRadialGradient warm(centre, 4.5 * u);
  warm.setColorAt(0.0, QColor(0xff, 0xc2, 0x28));
  warm.setColorAt(0.45, QColor(0xf0, 0xa8, 0x30));
  warm.setColorAt(1.0, QColor(0x46, 0x46, 0x46, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(warm);
  p.drawEllipse(centre, 4.5 * u, 4.5 * u);

  // The cross-hair, open in its middle.
  const QColor green(0x00, 0xd4, 0x00);
  const double arm = 1.0 * u, gap = 1.0 * u, reach = 6.0 * u;
  for (const QRectF& bar : {QRectF(centre.x() - arm / 2, centre.y() - reach, arm, reach - gap),
                            QRectF(centre.x() - arm / 2, centre.y() + gap, arm, reach - gap),
                            QRectF(centre.x() - reach, centre.y() - arm / 2, reach - gap, arm),
                            QRectF(centre.x() + gap, centre.y() - arm / 2, reach - gap, arm)})
    p.fillRect(bar, green);
  p.end();

  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "draw_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
