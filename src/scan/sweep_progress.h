#pragma once
// How far a sweep has come and how long it has left. The sweep counts the exchanges it has
// made; what is left comes from the raster; the time per exchange is measured as it goes, with
// pauses and waits for a lost head left out. Pure apart from the clock, which is injected.

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "model/reading_stream.h"
#include "scan/sweep_count.h"

namespace brevane {

// A robust running estimate of the time an answered exchange takes. The exchanges are taken
// in blocks; the estimate is the mean of the middle half of the last blocks' rates, so a slow
// first exchange, a stall or jitter moves it little, and a head that slows down is followed.
class exchange_time_estimator {
 public:
  static constexpr long block_exchanges = 8;
  static constexpr std::size_t blocks_kept = 64;

  // seconds: sweep time so far; done: answered exchanges so far. The first sample only sets
  // the origin: whatever came before it, such as the first exchange, is not counted.
  void add(double seconds, long done);
  // nullopt until a sample beyond the origin has shown an exchange.
  std::optional<double> seconds_per_exchange() const;

 private:
  struct sample {
    double seconds;
    long done;
  };
  std::optional<sample> origin_;
  sample block_start_{};
  sample last_{};
  std::deque<double> block_rates_;
};

struct sweep_status {
  bool running = false;
  int cycle = 0;              // 0 while the baseline is taken
  std::optional<int> cycles;  // the number of cycles, when the sweep is bounded
  pass_direction pass = pass_direction::none;
  int row = 0;
  int rows = 0;
  int point = 0;  // 0 at a row start
  int points = 0;
  long exchanges_done = 0;  // answered exchanges, the baseline's included
  // Of the whole sweep when bounded; of the cycle in progress when "Repeat" goes on.
  long exchanges_left = 0;
  double percent = 0;
  std::optional<double> seconds_left;  // none until the time per exchange is known
  double seconds = 0;                  // sweep time so far, pauses left out
  std::optional<sweep_end> ended;
};

class sweep_progress {
 public:
  // Seconds on a steady clock; by default std::chrono::steady_clock.
  using seconds_source = std::function<double()>;
  explicit sweep_progress(seconds_source now = {});

  // cycles: the sweep runs that many; none: "Repeat" decides.
  void begin(std::optional<int> cycles);
  // Exchanges just made, and where the sweep now stands. True when the status is due to be
  // shown: at the first row start, then at most once a second.
  bool add(const exchange_tally& sent, const sweep_place& at);
  // A sweep taken up again from its record stands at `at` without having sent what came
  // before: counted as done, so the percent is of the whole sweep.
  void resumed_at(const sweep_place& at, int rows_now, int points_now, const sweep_boxes& boxes);
  // A pause or a lost head holds the clock; the time until it goes on is not sweep time.
  void hold(bool held);
  void finish(sweep_end how);

  // The limits, step and boxes as they stand now, and whether "Repeat" is ticked.
  sweep_status status(int rows_now, int points_now, const sweep_boxes& boxes,
                      bool repeat_ticked) const;

 private:
  double active_seconds() const;

  seconds_source now_;
  std::optional<int> cycles_;
  sweep_place at_;
  long done_ = 0;
  long done_at_cycle_start_ = 0;
  double started_ = 0;
  double held_total_ = 0;
  std::optional<double> held_since_;
  std::optional<double> last_shown_;
  std::optional<sweep_end> ended_;
  bool running_ = false;
  exchange_time_estimator estimator_;
};

// "Sweep cycle 1 of 2: 37.5% done, about 1 min 12 s left", for the status bar and a terminal.
std::string status_text(const sweep_status& s);
// The parseable line of --progress: "progress cycle=1/2 done=37.5% left=72s", and at the end
// the same with " end=completed elapsed=145.2s".
std::string progress_line(const sweep_status& s);
// The last line on a terminal: "Sweep completed: 2 cycles in 2 min 25 s".
std::string final_text(const sweep_status& s);

// What became of a sweep's scan record.
struct sweep_record_note {
  std::string path;   // empty when the sweep wrote none
  long written = 0;   // readings in the record
  long lost = 0;      // readings that did not reach it
  bool gone = false;  // the file was deleted under the writer
};
// The status bar's last word on a sweep: how it ended (a sentence, see end_sentence()), the
// readings it took and where they are, e.g. "Sweep completed: 248 readings; record
// /home/ana/Documents/Brevane/scans/scan 2026-12-07 09-51-55.jsonl".
std::string sweep_end_text(const std::string& how, const sweep_record_note& record);

}  // namespace brevane
