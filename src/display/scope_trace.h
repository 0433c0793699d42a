#pragma once
// The strip-chart scope: one red thermal and one blue distance segment per plot step,
// starting over at the left edge after column 350.

#include <QColor>

namespace brevane {

class panel;
struct main_window_state;

inline const QColor scope_grid(0, 200, 0);
inline const QColor scope_thermal(255, 0, 0);
inline const QColor scope_distance(0, 0, 255);

// The trace value of a rounded reading t against the baseline and gain.
double trace_value(int t, double avgt, int gain);

class scope_trace {
 public:
  scope_trace(main_window_state& state, panel& window);

  // Draws the last reading; returns the trace value it drew, which the data log records.
  double plot_step();
  void lines();

  int column() const { return column_; }
  double previous_trace_value() const { return previous_trace_value_; }
  int previous_distance() const { return previous_distance_; }

 private:
  main_window_state& state_;
  panel& window_;
  int column_ = 0;
  double previous_trace_value_ = 0.0;
  int previous_distance_ = 0;
};

}  // namespace brevane
