#pragma once
// The strip under the maps: the values of the thermal and the sonic map along one row (or
// column), each under its map, with the place of the pointer marked.

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "display/map_tools.h"

namespace brevane {

class profile_strip : public QWidget {
  Q_OBJECT

 public:
  explicit profile_strip(QWidget* parent = nullptr);

  struct line {
    std::vector<profile_step> steps;
    QString unit;
    // Where it is drawn across the strip, in its pixels (under its map's plot), and the head
    // positions its ends stand for; empty: half the strip, and the steps' own ends.
    int left = 0, right = 0;
    extent along;
  };
  // caption: which line it is ("Row Z 170", "pinned"); marker: the pointer's place along it.
  void show_line(const QString& caption, line thermal, line sonic, std::optional<double> marker);
  void clear(const QString& hint);
  const QString& caption() const { return caption_; }
  const line& thermal() const { return thermal_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString caption_;
  line thermal_, sonic_;
  std::optional<double> marker_;
};

}  // namespace brevane
