// Every view of one sweep tells the same story: the status bar, its position field, the Maps
// window's state line, the remote SWEep:STATe? and the record, at a pause by F8, a pause by an
// alarm and the cancel that ends it; and the position field follows every way of moving the head.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <string>
#include <vector>

#include "app/app_instrument.h"
#include "app/maps_wiring.h"
#include "model/instrument_state.h"
#include "scan/state_line.h"
#include "scan/sweep_count.h"
#include "scan/sweep_progress.h"
#include "support/windowed_program.h"
#include "ui/maps_window.h"

namespace brevane {
namespace {

struct snapshot {
  std::string status, position, head, state_line, remote;
};

// The program with its three views of the instrument: the main window, the Maps window and the
// remote interface.
struct views {
  testing::windowed_program p;
  maps_window maps{p.inst.readings};
  app_instrument remote{p.window, p.inst, p.record, {"head", "SIM", "1.00"}, 3000};
  views() { wire_maps_tools(maps, p.window, p.inst); }
};

TEST(OneTruth, EveryViewTellsTheSameSweep) {
  views v;
  auto& [p, maps, remote] = v;
  ASSERT_TRUE(p.start());
  p.window.choose_step(5);  // Step 20
  p.window.set_checked(check_box::repeat, false);
  p.inst.sweep.alarms().set({90.0, {}});

  const auto now = [&] {
    remote::sweep_status r = remote.sweep_state();
    return snapshot{p.window.status_text().toStdString(), p.window.position_text().toStdString(),
                    "X " + std::to_string(p.head.x_position()) + " Z " +
                        std::to_string(p.head.z_position()),
                    maps.state_text().toStdString(),
                    std::to_string(static_cast<int>(r.state)) + " " + r.ending + " " +
                        std::to_string(r.percent)};
  };
  // What --progress prints, heard from the same sweep.
  std::string progress;
  p.inst.sweep.on_progress = [&](const sweep_status& s) { progress = progress_line(s); };
  std::vector<snapshot> seen;
  std::vector<double> percents;
  int step = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    const instrument_state& s = p.inst.settings;
    if (step == 0 && s.sweeping() && s.standing().pass != pass_direction::none) {
      emit p.window.pause_clicked();  // F8
      step = 1;
    } else if ((step == 1 && s.pause_reason() == "the operator (F8)") ||
               (step == 2 && s.pause_reason().starts_with("alarm: "))) {
      seen.push_back(now());
      percents.push_back(s.standing().percent);
      if (step == 1) {
        emit p.window.pause_clicked();
      } else {
        emit p.window.escape_pressed();
      }
      ++step;
    }
  });
  driver.start(5);
  p.click("Command26");
  driver.stop();
  seen.push_back(now());
  percents.push_back(p.inst.settings.standing().percent);
  ASSERT_EQ(step, 3) << "paused by F8, then by the alarm, then cancelled";

  // Paused by F8: the position field says where the head stands, the state line why.
  const snapshot& f8 = seen[0];
  EXPECT_EQ(f8.position, f8.head);
  EXPECT_TRUE(f8.status.starts_with("Paused at X ")) << f8.status;
  EXPECT_TRUE(f8.state_line.starts_with("Sweep paused by the operator (F8) (cycle 1 of 1, "))
      << f8.state_line;
  EXPECT_EQ(f8.remote, "2 NONE " + std::to_string(percents[0]));
  // Paused by the alarm, with its reading.
  const snapshot& alarm = seen[1];
  EXPECT_EQ(alarm.position, alarm.head);
  std::string alarm_at = alarm.position;
  alarm_at.insert(alarm_at.find(" Z"), ",");
  EXPECT_NE(alarm.status.find("at " + alarm_at + "."), std::string::npos) << alarm.status;
  EXPECT_TRUE(alarm.status.starts_with("Paused by an alarm: temperature ")) << alarm.status;
  const std::string reading = alarm.status.substr(20, alarm.status.find(". F8") - 20);
  EXPECT_TRUE(alarm.state_line.starts_with("Sweep paused by alarm: " + reading + " ("))
      << alarm.state_line << " / " << reading;
  EXPECT_EQ(alarm.remote, "2 NONE " + std::to_string(percents[1]));
  // Cancelled: the percent it reached stays, and every view says how it ended.
  const snapshot& end = seen[2];
  EXPECT_GT(percents[2], 0.0);
  EXPECT_LT(percents[2], 100.0);
  EXPECT_EQ(end.remote, "0 CANCELLED " + std::to_string(percents[2]));
  const std::string reached = decimals(percents[2], 1) + "%";
  EXPECT_EQ(end.state_line, "Last sweep was cancelled at " + reached);
  EXPECT_TRUE(progress.starts_with("progress cycle=1/1 done=" + reached + " left=0s end=cancelled"))
      << progress;
  EXPECT_TRUE(end.status.starts_with("Sweep cancelled")) << end.status;

  // The record holds the same pauses, the alarm's among them, and the same end.
  QFile file(p.record.path());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  std::vector<QJsonObject> pauses;
  QJsonObject last;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.isEmpty()) continue;
    last = QJsonDocument::fromJson(line).object();
    if (last.value("type").toString() == "pause") pauses.push_back(last);
  }
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[1].value("reason").toString(), "alarm");
  EXPECT_EQ(last.value("how").toString(), "cancelled");
}

TEST(OneTruth, ThePositionFieldFollowsEveryMove) {
  views v;
  auto& [p, maps, remote] = v;
  ASSERT_TRUE(p.start());
  EXPECT_EQ(p.window.position_text(), "") << "nothing commanded yet";

  const struct {
    const char* how;
    std::function<void()> move;
  } moves[] = {
      {"Home", [&] { p.click("Command1"); }},
      {"jog", [&] { emit p.window.arrow_clicked(0); }},
      {"Move Here", [&] { maps.move_here(200, 180); }},
      {"remote POSition", [&] { remote.move_to(150, 170); }},
      {"sweep", [&] {
         p.window.set_checked(check_box::repeat, false);
         p.window.choose_step(5);
         p.click("Command26");
       }},
  };
  for (const auto& m : moves) {
    m.move();
    const std::string want = "X " + std::to_string(p.inst.state.posx) + " Z " +
                             std::to_string(p.inst.state.posz);
    EXPECT_EQ(p.window.position_text().toStdString(), want) << m.how;
    const remote::position at = remote.commanded_position();
    EXPECT_EQ("X " + std::to_string(at.x) + " Z " + std::to_string(at.z), want) << m.how;
  }
}

}  // namespace
}  // namespace brevane
