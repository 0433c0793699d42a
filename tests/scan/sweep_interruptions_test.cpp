// A sweep held by Pause or by a head that went away goes on exactly where it stopped: the
// reports it sends are those of an uninterrupted sweep, plus, after a loss, the restoring X
// and Z and the interrupted report once more.
#include <gtest/gtest.h>

#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "device/simulated_head.h"
#include "support/rig.h"

namespace brevane {
namespace {

using report = std::vector<std::uint8_t>;

// The simulated head, answering after 2 ms, that records every report the program tries to
// send and can drop off the bus at the n-th report with a given letter.
class interrupting_head : public device::simulated_head {
 public:
  interrupting_head() : simulated_head(answering_after(2)) {}
  static device::simulated_head_options answering_after(int ms) {
    device::simulated_head_options o;
    o.latency_ms = ms;
    return o;
  }

  bool write(int vendor, int product, std::span<const std::uint8_t> data) override {
    tried.emplace_back(data.begin(), data.end());
    const bool hit = data.size() > 1 && data[1] == drop_letter && ++seen == drop_at;
    // An L has no answer to wait for: the head is gone before it, so its write fails. T and S
    // go out, and the head leaves before it answers.
    if (hit && drop_letter == 'L') drop();
    const bool sent = simulated_head::write(vendor, product, data);
    if (hit && drop_letter != 'L') drop();
    return sent;
  }

  void drop() {
    set_unplug_after(0);
    if (comes_back) QTimer::singleShot(30, this, [this] { replug(); });
  }

  std::vector<report> tried;
  std::uint8_t drop_letter = 0;
  int drop_at = 0;
  int seen = 0;
  bool comes_back = true;
};

using rig = testing::basic_rig<interrupting_head>;

void small_raster(rig& r) {
  testing::use_small_raster(r);
  r.window.set_log_data(true);
}

bool sweep(rig& r) {
  return r->runner.run("Sweep", [&] { r->sweep.sweep(); });
}

std::vector<report> uninterrupted(check_box off = check_box::stop) {
  rig r;
  EXPECT_TRUE(r.start());
  small_raster(r);
  if (off != check_box::stop) r.window.checks[off] = true;
  EXPECT_TRUE(sweep(r));
  return r.head.tried;
}

report move(char letter, int position) {
  report out(11, 0);
  out[1] = static_cast<std::uint8_t>(letter);
  out[2] = static_cast<std::uint8_t>(position);
  return out;
}

TEST(SweepInterruptions, ALostHeadIsWaitedForAndTheSweepGoesOnWithEveryReadingOnce) {
  const struct {
    char letter;
    int at;         // the n-th report with that letter drops the head
    check_box off;  // stop: none
  } cases[] = {{'T', 14, check_box::stop},
               {'S', 3, check_box::stop},
               {'L', 7, check_box::stop},
               {'T', 14, check_box::x_off},
               {'T', 14, check_box::z_off}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter) + " " + std::to_string(c.at) + " off " +
                 std::to_string(static_cast<int>(c.off)));
    const std::vector<report> plain = uninterrupted(c.off);
    rig r(1000);
    ASSERT_TRUE(r.start());
    small_raster(r);
    if (c.off != check_box::stop) r.window.checks[c.off] = true;
    r->exchange.set_head_return_wait(std::chrono::seconds(5));
    r.head.drop_letter = static_cast<std::uint8_t>(c.letter);
    r.head.drop_at = c.at;
    ASSERT_TRUE(sweep(r)) << r.window.statuses.back();

    // Find the interrupted report: the first place the two runs part.
    const auto& got = r.head.tried;
    std::size_t k = 0;
    while (k < plain.size() && k < got.size() && plain[k] == got[k]) ++k;
    ASSERT_LT(k, got.size());
    std::vector<report> inserted;
    if (c.off != check_box::x_off) inserted.push_back(move('X', r->state.posx));
    if (c.off != check_box::z_off) inserted.push_back(move('Z', 0));
    // Which X and Z: the place where it was lost; read them off what was sent.
    ASSERT_GE(got.size(), plain.size() + inserted.size() + 1);
    for (std::size_t i = 0; i < inserted.size(); ++i) {
      EXPECT_EQ(got[k + i][1], inserted[i][1]) << "restoring move " << i;
    }
    const report& again = got[k + inserted.size()];
    EXPECT_EQ(again[1], plain[k - 1][1]) << "the interrupted report goes out again";
    // After that, byte for byte the uninterrupted sweep (the stale bytes of the report sent
    // again follow from the restoring moves).
    EXPECT_TRUE(std::equal(got.begin() + static_cast<long>(k + inserted.size() + 1), got.end(),
                           plain.begin() + static_cast<long>(k)));
    EXPECT_EQ(got.size(), plain.size() + inserted.size() + 1);
    EXPECT_EQ(r->datalog.lines_written(), 10 + 4 + 12) << "every reading logged once";
  }
}

TEST(SweepInterruptions, APauseSendsNothingAndTheSweepResumesWithTheNextReport) {
  const std::vector<report> plain = uninterrupted();
  for (const reading_kind where : {reading_kind::row_start, reading_kind::point}) {
    rig r;
    ASSERT_TRUE(r.start());
    small_raster(r);
    struct pauser : reading_observer {
      std::function<void(const reading_event&)> each;
      void reading_taken(const reading_event& e) override { each(e); }
    } at;
    std::size_t sent_at_pause = 0;
    bool paused_once = false;
    at.each = [&](const reading_event& e) {
      if (paused_once || e.kind != where || e.row != 2) return;
      paused_once = true;
      r->exchange.guard().set_paused(true);
      QTimer::singleShot(60, [&] {
        EXPECT_EQ(r.head.tried.size(), sent_at_pause) << "nothing is sent while paused";
        r->exchange.guard().set_paused(false);
      });
    };
    r->readings.add(at);
    // The pause takes effect before the next report; remember how many went out by then.
    const auto statuses_before = r.window.statuses.size();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (r.window.statuses.size() > statuses_before && sent_at_pause == 0 &&
          r.window.statuses.back().starts_with("Paused at"))
        sent_at_pause = r.head.tried.size();
    });
    watch.start(1);
    ASSERT_TRUE(sweep(r));
    EXPECT_EQ(r.head.tried, plain);
    const auto paused =
        std::find_if(r.window.statuses.begin(), r.window.statuses.end(),
                     [](const std::string& s) { return s.starts_with("Paused at X "); });
    ASSERT_NE(paused, r.window.statuses.end());
    EXPECT_NE(paused->find("cycle 1, upward pass, row 2 of 2"), std::string::npos) << *paused;
  }
}

TEST(SweepInterruptions, EscapeEndsASweepThatIsPausedOrWaitsForItsHead) {
  for (const bool lose_head : {false, true}) {
    rig r;
    ASSERT_TRUE(r.start());
    small_raster(r);
    r->exchange.set_head_return_wait(std::nullopt);  // as in the window: wait until ended
    r.head.comes_back = false;
    if (lose_head) {
      r.head.drop_letter = 'T';
      r.head.drop_at = 12;
    } else {
      QTimer::singleShot(20, [&] { r->exchange.guard().set_paused(true); });
    }
    QTimer::singleShot(300, [&] { r->exchange.guard().cancel("Escape"); });
    EXPECT_FALSE(sweep(r));
    EXPECT_NE(r->runner.last_error().find("Escape"), std::string::npos) << r->runner.last_error();
    EXPECT_FALSE(r->exchange.guard().busy());
  }
}

}  // namespace
}  // namespace brevane
