// The disk guard against free space the test gives: it stops a sweep below its margin, a
// larger one when the sweep writes fast, and once only.
#include "app/disk_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brevane {
namespace {

constexpr qint64 mb = qint64{1024} * 1024;
constexpr qint64 kb100 = mb / 10;

TEST(DiskGuard, StopsASweepBeforeItsDiskIsFullWithAMarginForFastWriters) {
  const struct {
    const char* name;
    QString folder;
    std::vector<qint64> free;  // at each look
    int stopped_at;            // the look that stops the sweep; -1: none
    std::string reason;
  } cases[] = {
      {"no record yet", "", {0, 0}, -1, ""},
      {"slow writer",
       "/data",
       {12 * kb100, 11 * kb100, mb, mb - kb100},
       3,
       "the disk of the data folder has 921 KB free; the sweep stopped to keep 1024 KB free"},
      // 2 MB between two looks: it keeps four times that.
      {"fast writer",
       "/data",
       {20 * mb, 18 * mb, 16 * mb, 14 * mb, 12 * mb, 10 * mb, 8 * mb, 6 * mb},
       7,
       "the disk of the data folder has 6144 KB free; the sweep stopped to keep 8192 KB free"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t look = 0;
    std::vector<std::string> stops;
    disk_guard guard([&] { return c.folder; },
                     [&](const std::string& why) { stops.push_back(why); },
                     [&](const QString&) { return std::optional<qint64>(c.free.at(look)); });
    guard.sweep_began();  // the first look
    for (look = 1; look < c.free.size(); ++look) {
      EXPECT_EQ(stops.empty(), c.stopped_at < 0 || static_cast<int>(look) <= c.stopped_at);
      guard.check();
    }
    look = c.free.size() - 1;
    guard.check();  // once stopped, it says so once
    EXPECT_EQ(guard.stopped_sweep(), c.stopped_at >= 0);
    EXPECT_EQ(stops,
              c.stopped_at < 0 ? std::vector<std::string>{} : std::vector<std::string>{c.reason});
    guard.sweep_ended();
  }
}

}  // namespace
}  // namespace brevane
