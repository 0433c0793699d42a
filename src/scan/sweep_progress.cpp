#include "scan/sweep_progress.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "logging/scan_record_fields.h"

namespace brevane {

namespace {

double steady_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string percent_text(double percent) {
  return decimals(percent, 1) + "%";
}

std::string cycle_text(const sweep_status& s) {
  std::string text = "cycle " + std::to_string(std::max(1, s.cycle));
  if (s.cycles) text += " of " + std::to_string(*s.cycles);
  return text;
}

// The end as one word: "completed", "echo-timeout"; the record's name with hyphens.
std::string end_word(sweep_end how) {
  if (how == sweep_end::stopped_by_signal) return "signal";
  std::string word = scan_record_fields::end_name(how);
  std::replace(word.begin(), word.end(), ' ', '-');
  return word;
}

}  // namespace

void exchange_time_estimator::add(double seconds, long done) {
  if (!origin_) {
    origin_ = block_start_ = last_ = {seconds, done};
    return;
  }
  last_ = {seconds, done};
  const long exchanges = done - block_start_.done;
  if (exchanges < block_exchanges) return;
  block_rates_.push_back((seconds - block_start_.seconds) / static_cast<double>(exchanges));
  if (block_rates_.size() > blocks_kept) block_rates_.pop_front();
  block_start_ = last_;
}

std::optional<double> exchange_time_estimator::seconds_per_exchange() const {
  // With few blocks their middle half is too small to trust; the mean since the origin is
  // better then.
  if (block_rates_.size() < 4) {
    if (!origin_ || last_.done <= origin_->done) return std::nullopt;
    return (last_.seconds - origin_->seconds) / static_cast<double>(last_.done - origin_->done);
  }
  std::vector<double> sorted(block_rates_.begin(), block_rates_.end());
  std::sort(sorted.begin(), sorted.end());
  const std::size_t quarter = sorted.size() / 4;
  double sum = 0;
  for (std::size_t i = quarter; i < sorted.size() - quarter; ++i) sum += sorted[i];
  return sum / static_cast<double>(sorted.size() - 2 * quarter);
}

sweep_progress::sweep_progress(seconds_source now)
    : now_(now ? std::move(now) : seconds_source(steady_seconds)) {}

void sweep_progress::begin(std::optional<int> cycles) {
  cycles_ = cycles;
  at_ = {};
  done_ = done_at_cycle_start_ = 0;
  started_ = now_();
  held_total_ = 0;
  held_since_.reset();
  last_shown_.reset();
  ended_.reset();
  running_ = true;
  estimator_ = {};
}

double sweep_progress::active_seconds() const {
  const double now = now_();
  const double held = held_total_ + (held_since_ ? now - *held_since_ : 0.0);
  return now - started_ - held;
}

bool sweep_progress::add(const exchange_tally& sent, const sweep_place& at) {
  if (at.cycle != at_.cycle && at.cycle > 1) done_at_cycle_start_ = done_;
  at_ = at;
  const long answered = sent.answered();
  done_ += answered;
  if (answered > 0) estimator_.add(active_seconds(), done_);
  if (at.pass == pass_direction::none) return false;
  const double now = now_();
  if (last_shown_ && now - *last_shown_ < 1.0) return false;
  last_shown_ = now;
  return true;
}

void sweep_progress::resumed_at(const sweep_place& at, int rows_now, int points_now,
                                const sweep_boxes& boxes) {
  at_ = at;
  const long cycle = cycle_exchanges(rows_now, points_now, boxes).answered();
  const long left_in_cycle = exchanges_left_in_cycle(at_, rows_now, points_now, boxes);
  done_ = baseline_exchanges().answered() + static_cast<long>(std::max(0, at.cycle - 1)) * cycle +
          (cycle - left_in_cycle);
  done_at_cycle_start_ = done_ - (cycle - left_in_cycle);
}

void sweep_progress::hold(bool held) {
  const double now = now_();
  if (held && !held_since_) {
    held_since_ = now;
  } else if (!held && held_since_) {
    held_total_ += now - *held_since_;
    held_since_.reset();
  }
}

void sweep_progress::finish(sweep_end how) {
  hold(false);
  ended_ = how;
  running_ = false;
}

sweep_status sweep_progress::status(int rows_now, int points_now, const sweep_boxes& boxes,
                                    bool repeat_ticked) const {
  sweep_status s;
  s.running = running_;
  s.ended = ended_;
  s.cycle = at_.cycle;
  s.pass = at_.pass;
  s.row = at_.row;
  s.rows = at_.rows;
  s.point = at_.point;
  s.points = at_.points_in_run;
  s.exchanges_done = done_;
  s.seconds = active_seconds();
  // Without a number of cycles, an unticked "Repeat" makes the cycle in progress the last.
  s.cycles = cycles_;
  if (!s.cycles && !repeat_ticked) s.cycles = std::max(1, at_.cycle);

  long left = exchanges_left_in_cycle(at_, rows_now, points_now, boxes);
  long done = done_;
  if (s.cycles) {
    const long later = std::max(0, *s.cycles - std::max(1, at_.cycle));
    left += later * cycle_exchanges(rows_now, points_now, boxes).answered();
  } else {
    done -= done_at_cycle_start_;
  }
  // A sweep ended early keeps the percent it reached; only a completed one is whole.
  s.percent = done + left > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(done + left)
                              : (ended_ ? 100.0 : 0.0);
  if (ended_) left = 0;
  s.exchanges_left = left;
  if (ended_ == sweep_end::completed) s.percent = 100.0;
  if (const auto rate = estimator_.seconds_per_exchange())
    s.seconds_left = *rate * static_cast<double>(left);
  else if (left == 0)
    s.seconds_left = 0.0;
  return s;
}

std::string status_text(const sweep_status& s) {
  if (s.pass == pass_direction::none && !s.ended) return "Sweep: taking the baseline";
  const bool whole = s.cycles.has_value();
  std::string text = "Sweep " + cycle_text(s) + ": " + percent_text(s.percent) +
                     (whole ? " done" : " of this cycle");
  if (s.ended) return text;
  if (!s.seconds_left) return text + ", measuring the time left";
  return text + ", about " + duration_text(*s.seconds_left) + " left" + (whole ? "" : " in it");
}

std::string progress_line(const sweep_status& s) {
  std::string line = "progress cycle=" + std::to_string(s.cycle);
  if (s.cycles) line.append(1, '/').append(std::to_string(*s.cycles));
  line += " done=" + percent_text(s.percent) + " left=";
  line += s.seconds_left ? std::to_string(std::lround(std::ceil(*s.seconds_left))) + "s" : "?";
  if (s.ended) {
    line += " end=" + end_word(*s.ended) + " elapsed=" + decimals(s.seconds, 1) + "s";
  }
  return line;
}

std::string final_text(const sweep_status& s) {
  const std::string took = duration_text(s.seconds);
  if (s.ended == sweep_end::completed) {
    const int cycles = s.cycles.value_or(std::max(1, s.cycle));
    return "Sweep completed: " + std::to_string(cycles) + (cycles == 1 ? " cycle" : " cycles") +
           " in " + took;
  }
  const std::string how = s.ended ? end_word(*s.ended) : std::string("ended");
  return "Sweep ended (" + how + ") in " + cycle_text(s) + " at " + percent_text(s.percent) +
         " after " + took;
}

std::string sweep_end_text(const std::string& how, const sweep_record_note& record) {
  std::string text = how;
  // The message of what ended it is a sentence of its own; the counts follow it.
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  const long taken = record.written + record.lost;
  text += ": " + std::to_string(taken) + (taken == 1 ? " reading" : " readings");
  if (record.path.empty()) return text + "; no scan record was written";
  if (record.gone) return text + "; the scan record " + record.path + " is gone";
  text += "; record " + record.path;
  if (record.lost > 0) text += " (incomplete: " + std::to_string(record.lost) + " not kept)";
  return text;
}

}  // namespace brevane
