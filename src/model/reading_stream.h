#pragma once
// The stream of readings a sweep takes: one event per baseline reading, row start and X point,
// plus the few events around them (the raster in use, the end of a pass, the end of the
// sweep). The live maps and the scan record listen to it; nothing else does, and a sweep
// nobody listens to pays only an empty check per reading.

#include <QDateTime>
#include <optional>
#include <string>
#include <vector>

namespace brevane {

enum class reading_kind { baseline, row_start, point };
// Baseline readings belong to no pass.
enum class pass_direction { none, upward, downward };

struct reading_event {
  reading_kind kind = reading_kind::point;
  int cycle = 0;  // 1, 2, ...; 0 for the baseline
  pass_direction pass = pass_direction::none;
  int row = 0;    // 1-based within the pass; 0 for the baseline
  int point = 0;  // 1-based within the row (the baseline counts 1 to 10); 0 for a row start
  int x = 0;      // posx and posz when the reading was taken
  int z = 0;
  std::optional<double> temperature_f;  // none when "Temp Off" skipped it
  std::optional<double> distance_in;    // none when "Sonic Off" skipped it
  QDateTime time;
};

// The limits and steps the sweep is using: the Z limits and row step are taken when a pass
// begins, the X limits and point step when a run begins.
struct raster_in_use {
  int xmin = 0;
  int xmax = 0;
  int zmin = 0;
  int zmax = 0;
  int row_step = 0;
  int point_step = 0;
  friend bool operator==(const raster_in_use&, const raster_in_use&) = default;
};

enum class sweep_end {
  completed,
  stopped,
  cancelled,
  echo_timeout,
  head_unplugged,
  error,
  stopped_by_signal,
};

// A sweep held and taken up again: by the operator's Pause, or by a head that went away.
enum class interruption { paused, resumed, head_lost, head_back };

class reading_observer {
 public:
  virtual ~reading_observer() = default;
  // The cycles the sweep was asked for (none: Repeat decides); just before sweep_started.
  virtual void cycles_asked(std::optional<int> /*cycles*/) {}
  virtual void sweep_started(const raster_in_use& /*raster*/, const QDateTime& /*when*/) {}
  virtual void reading_taken(const reading_event& reading) = 0;
  // A sweep taken up again from its record, just after sweep_started: the readings the record
  // holds of the cycle in progress, so that a view of that cycle shows it whole.
  virtual void readings_held(const std::vector<reading_event>& /*cycle*/) {}
  virtual void baseline_taken(double /*avgt*/) {}
  // A limit or step changed during the sweep; comes before the first reading that uses it.
  virtual void raster_changed(const raster_in_use& /*raster*/) {}
  virtual void pass_ended(int /*cycle*/, pass_direction /*pass*/) {}
  // where: the sweep's place (cycle, pass, row, point, position) and the time. alarm: why an
  // alarm paused the sweep ("temperature 91.3 °F above 90 °F at X 150, Z 170"); empty for the
  // operator's pause and the head's coming and going.
  virtual void sweep_interrupted(interruption /*what*/, const reading_event& /*where*/,
                                 const std::string& /*alarm*/) {}
  // by_alarm: an alarm ended the sweep, and message says which reading set it off.
  virtual void sweep_ended(sweep_end /*how*/, const std::string& /*message*/,
                           const QDateTime& /*when*/, bool /*by_alarm*/) {}
};

class reading_stream {
 public:
  void add(reading_observer& observer) { observers_.push_back(&observer); }
  void remove(reading_observer& observer) { std::erase(observers_, &observer); }
  bool listened_to() const { return !observers_.empty(); }

  template <typename Call>
  void notify(Call&& call) const {
    // A copy, so an observer may leave the stream from inside its call.
    const std::vector<reading_observer*> now = observers_;
    for (reading_observer* o : now) call(*o);
  }

 private:
  std::vector<reading_observer*> observers_;
};

}  // namespace brevane
