// The remote interface over the program's own procedures and window, on the simulated head: a
// remote command leaves the window exactly as the click it stands for, and a command that
// needs the head while another operation runs is refused with why, the window untouched.
#include "app/app_instrument.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <set>

#include "app/instrument.h"
#include "app/wiring.h"
#include "device/simulated_head.h"
#include "logging/scan_record.h"
#include "remote/remote_session.h"
#include "support/rig.h"
#include "ui/main_window.h"
#include "ui/main_window_names.h"
#include "ui/maps_alarms.h"

namespace brevane {
namespace {

// The program's objects as main() builds them, with a pinned clock so two runs write the
// same logs, and one remote client's session.
device::simulated_head_options latency(int ms) {
  device::simulated_head_options o;
  o.latency_ms = ms;
  return o;
}

struct window_rig {
  explicit window_rig(device::simulated_head_options options = {})
      : head(options),
        inst(head, window, clock_, folder.path(), 500,
             QLocale(QLocale::English, QLocale::UnitedStates)),
        record(window, folder.path(), head_description{"simulated", "latency=0", {}, {}}, 500,
               "1.00", {}) {
    inst.readings.add(record);
    load_step(inst.state, window);
    wire_window(window, inst, record, folder.filePath("list.txt"));
    remote = std::make_unique<app_instrument>(window, inst, record,
                                              remote::identity{"Simulated", "SIM", "1.00"}, 500);
    session = std::make_unique<remote::remote_session>(
        *remote, status,
        [this](std::string_view bytes) {
          answers.append(bytes);
          return true;
        },
        [this] { QTimer::singleShot(0, &window, [this] { session->run(); }); });
    window.set_log_data(true);
    window.set_checked(check_box::repeat, false);
    inst.device.connect_link();
    up = testing::run_events_until([this] { return window.caption() == "Up and Running"; });
    QCoreApplication::processEvents();
  }
  ~window_rig() { inst.readings.remove(record); }

  // One line from the client; the answer without its line end.
  std::string ask(const std::string& line) {
    answers.clear();
    session->push(line);
    session->run();
    while (!answers.empty() && answers.back() == '\n') answers.pop_back();
    return answers;
  }
  bool idle_within(int ms) {
    return testing::run_events_until([this] { return !inst.guard.busy(); }, ms);
  }
  // Every text the operator sees, where the head was sent, and the data log the readings wrote.
  std::vector<std::string> seen() {
    std::vector<std::string> out;
    for (int box = 0; box <= static_cast<int>(text_box::distance_text); ++box)
      out.push_back(window.text(static_cast<text_box>(box)));
    out.push_back(window.caption());
    // Each rig has its own folder; the record's place within it is what must match.
    out.push_back(window.status_text().replace(folder.path(), "FOLDER").toStdString());
    out.push_back(window.progress_text().toStdString());
    out.push_back(std::to_string(inst.state.posx) + "," + std::to_string(inst.state.posz));
    QFile log(inst.datalog.path());
    out.push_back(log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : "(no data log)");
    return out;
  }
  // The scope and the two maps.
  std::vector<QImage> pictures() {
    std::vector<QImage> out;
    for (picture p : {picture::scope, picture::thermal_map, picture::sonic_map})
      out.push_back(window.pictures(p).image());
    return out;
  }

  QTemporaryDir folder;
  device::simulated_head head;
  main_window window;
  testing::pinned_clock clock_;
  instrument inst;
  scan_record_writer record;
  std::unique_ptr<app_instrument> remote;
  remote::instrument_status status;
  std::unique_ptr<remote::remote_session> session;
  std::string answers;
  bool up = false;
};

TEST(AppInstrument, ARemoteCommandLeavesTheWindowAsTheClickItStandsFor) {
  const struct {
    const char* line;
    void (main_window::*click)();
  } cases[] = {
      {"MEAS:TEMP?", &main_window::temp_clicked},
      {"MEASure:DISTance?", &main_window::distance_clicked},
      {"HOME", &main_window::home_clicked},
      {"SWE:STAR", &main_window::sweep_clicked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    window_rig clicked, remote;
    ASSERT_TRUE(clicked.up && remote.up);
    emit(clicked.window.*c.click)();
    ASSERT_TRUE(clicked.idle_within(20000));
    const std::string answer = remote.ask(c.line);
    ASSERT_TRUE(remote.idle_within(20000));
    EXPECT_EQ(remote.ask("SYST:ERR?"), "0,\"No error\"");
    EXPECT_EQ(remote.seen(), clicked.seen());
    EXPECT_TRUE(remote.pictures() == clicked.pictures());
    if (std::string(c.line).starts_with("MEAS")) {
      // The answer is the reading the box shows, in full.
      const text_box box = c.line[5] == 'T' ? text_box::temperature_text : text_box::distance_text;
      EXPECT_NE(remote.window.text(box).find(answer.substr(0, 4)), std::string::npos) << answer;
    }
  }
}

// A key given twice would be read as its last value: the plan is refused, naming the key.
TEST(AppInstrument, ARemotePlanWithAKeyTwiceIsRefused) {
  window_rig r;
  ASSERT_TRUE(r.up);
  r.ask(R"(SWE:PLAN {"format":"brevane-plan","version":1,"settings":{"step":4,"step":5}})");
  const std::string error = r.ask("SYST:ERR?");
  EXPECT_TRUE(error.starts_with("-222,")) << error;
  EXPECT_NE(error.find("appears twice in"), std::string::npos) << error;
  EXPECT_EQ(r.inst.state.step_d, 10);
}

TEST(AppInstrument, DuringARemoteSweepTheHeadIsRefusedStateAnswersAndTheOperatorCanEndIt) {
  const struct {
    const char* name;
    std::function<void(window_rig&)> end;
    const char* reason;
  } enders[] = {
      {"Escape", [](window_rig& r) { emit r.window.escape_pressed(); }, "(Escape)"},
      {"ABORt", [](window_rig& r) { r.ask("ABOR"); }, "(ABORt from a remote client)"},
  };
  for (const auto& e : enders) {
    SCOPED_TRACE(e.name);
    window_rig r(latency(2));
    ASSERT_TRUE(r.up);
    r.window.set_checked(check_box::repeat, true);  // runs until it is ended
    EXPECT_EQ(r.ask("SWE:CYCL INF;STAR;:SWE:STAT?"), "RUNNING,0,0,0,0,0.0,-1,NONE");
    // The sweep runs inside the event loop that takes it up, as under the program's own loop,
    // so the client's commands come from a timer that fires within its waits for the head.
    auto* pause = r.window.findChild<QToolButton*>(QStringLiteral("pause"));
    ASSERT_TRUE(pause);
    bool asked = false;
    QTimer client;
    client.setInterval(5);
    QObject::connect(&client, &QTimer::timeout, [&] {
      if (asked || r.record.readings_written() == 0) return;
      asked = true;
      client.stop();
      for (const char* name : window_names::device_button_names)
        EXPECT_FALSE(r.window.control(QString::fromLatin1(name))->isEnabled()) << name;

      const std::string status = r.window.status_text().toStdString();
      const std::pair<const char*, const char*> refused[] = {
          {"MEAS:TEMP?", "-200,\"Execution error;Sweep is still running"},
          {"POS 10,10", "-200,\"Execution error;Sweep is still running"},
          {"HOME", "-200,\"Execution error;Sweep is still running"},
          {"SWE:STAR", "-200,\"Execution error;Sweep is still running"},
          {"*RST", "-200,\"Execution error;the settings cannot change while Sweep runs"},
          {"SWE:XMIN 110", "-200,\"Execution error;the settings cannot change while Sweep runs"},
          {"SWE:XMIN 99", "-222,\"Data out of range;\"\"xmin\"\" is 99"},
      };
      for (const auto& [line, error] : refused) {
        EXPECT_EQ(r.ask(line), "") << line;
        EXPECT_TRUE(r.ask("SYST:ERR?").starts_with(error)) << line;
      }
      EXPECT_EQ(r.window.status_text().toStdString(), status)
          << "a refusal leaves the window alone";
      EXPECT_EQ(r.window.value(scroll_bar::xmin), 100);

      EXPECT_TRUE(pause->isVisibleTo(&r.window));
      r.ask("SWE:PAUS");
      EXPECT_TRUE(r.ask("SWE:STAT?").starts_with("PAUSED,"));
      EXPECT_EQ(pause->text(), "Resume");
      r.ask("SWE:RES");
      EXPECT_TRUE(r.ask("SWE:STAT?").starts_with("RUNNING,"));
      EXPECT_EQ(pause->text(), "Pause");

      e.end(r);
    });
    client.start();
    ASSERT_TRUE(r.idle_within(20000));
    ASSERT_TRUE(asked);
    EXPECT_TRUE(r.ask("SWE:STAT?").starts_with("IDLE,"));
    EXPECT_NE(r.window.status_text().toStdString().find(e.reason), std::string::npos)
        << r.window.status_text().toStdString();
    EXPECT_FALSE(pause->isVisibleTo(&r.window));
    EXPECT_EQ(r.ask("*OPC?"), "1");
    EXPECT_EQ(r.ask("DATA:REC?"),
              "\"" + QDir::toNativeSeparators(r.record.path()).toStdString() + "\"");
    EXPECT_EQ(r.ask("DATA:COUN?"), std::to_string(r.record.readings_written()));
    // The device is free again: a reading goes through, the plan changes.
    EXPECT_NE(r.ask("MEAS:TEMP?"), "");
    EXPECT_EQ(r.ask("SWE:XMIN 110;XMIN?"), "110");
    EXPECT_EQ(r.window.value(scroll_bar::xmin), 110);
    EXPECT_EQ(r.window.text(text_box::x_min_text), "110");
    EXPECT_EQ(r.ask("*RST;:SWE:XMIN?;REP?"), "100;0");
  }
}

// As in the window, a sweep whose head goes away waits for it; meanwhile its state says so.
TEST(AppInstrument, ASweepWaitingForItsHeadSaysWaitingAndGoesOnWhenItIsBack) {
  device::simulated_head_options options = latency(1);
  options.unplug_after = 60;
  options.replug_after_ms = 300;
  window_rig r(options);
  ASSERT_TRUE(r.up);
  r.inst.exchange.set_head_return_wait(std::nullopt);
  std::set<std::string> states;
  QTimer client;
  client.setInterval(5);
  QObject::connect(&client, &QTimer::timeout, [&] {
    const std::string state = r.ask("SWE:STAT?");
    states.insert(state.substr(0, state.find(',')));
  });
  client.start();
  EXPECT_EQ(r.ask("SWE:STAR;:SYST:ERR?"), "0,\"No error\"");
  ASSERT_TRUE(r.idle_within(20000));
  client.stop();
  EXPECT_EQ(states, (std::set<std::string>{"RUNNING", "WAITING"}));
  const std::string idle = r.ask("SWE:STAT?");
  EXPECT_TRUE(idle.starts_with("IDLE,1,2,")) << idle;
  EXPECT_NE(idle.find(",100.0,"), std::string::npos) << "the sweep completed: " << idle;
}

// The Maps window's alarm boxes and SWEep:ALARm are one setting, remembered for the next run;
// a reading past it pauses the sweep right after it, the Pause button reads Resume and the
// status bar names the reading, and Resume goes on as after F8.
TEST(AppInstrument, TheWindowsAlarmsAndTheRemoteOnesAreOneSettingThatPausesTheSweep) {
  QStandardPaths::setTestModeEnabled(true);
  {
    maps_alarms earlier;
    earlier.restore_and_remember();
    earlier.show_settings({});  // off, as in a first run
  }
  window_rig r;
  ASSERT_TRUE(r.up);
  maps_alarms controls;
  wire_alarms(r.inst, &controls);
  EXPECT_EQ(r.ask("SWE:ALAR:TEMP?;DIST?"), "OFF;OFF");

  EXPECT_EQ(r.ask("SWE:ALAR:TEMP 90.04;TEMP?"), "90");
  EXPECT_TRUE(controls.findChild<QCheckBox*>("alarm_temperature_on")->isChecked());
  EXPECT_EQ(controls.findChild<QDoubleSpinBox*>("alarm_temperature")->value(), 90.0);
  controls.findChild<QDoubleSpinBox*>("alarm_distance")->setValue(5);
  controls.findChild<QCheckBox*>("alarm_distance_on")->setChecked(true);
  EXPECT_EQ(r.ask("SWE:ALAR:DIST?"), "5");
  {
    maps_alarms next_run;
    next_run.restore_and_remember();
    EXPECT_EQ(next_run.settings(), (alarm_settings{90.0, 5.0}));
  }

  // The sweep pauses inside its own wait; what the operator sees then is looked at from there.
  QString said, button;
  std::string state, resumed;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!said.isEmpty() || !r.window.status_text().startsWith("Paused by an alarm")) return;
    said = r.window.status_text();
    button = r.window.findChild<QToolButton*>("pause")->text();
    state = r.ask("SWE:STAT?");
    resumed = r.ask("SWE:ALAR:TEMP OFF;:SWE:RES;:SYST:ERR?");
  });
  watch.start(5);
  r.ask("SWE:STAR");
  ASSERT_TRUE(r.idle_within(30000));
  watch.stop();
  EXPECT_EQ(button, "Resume");
  EXPECT_TRUE(state.starts_with("PAUSED,1,1,")) << state;
  EXPECT_TRUE(said.contains(QRegularExpression(
      R"(^Paused by an alarm: temperature 9\d\.\d °F above 90 °F at X \d+, Z \d+\. F8)")))
      << said.toStdString();
  EXPECT_EQ(resumed, "0,\"No error\"");
  EXPECT_FALSE(controls.findChild<QCheckBox*>("alarm_temperature_on")->isChecked());
  EXPECT_TRUE(r.window.status_text().startsWith("Sweep completed"))
      << r.window.status_text().toStdString();
  QFile record(r.record.path());
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  EXPECT_EQ(record.readAll().count("\"reason\":\"alarm\""), 1);
  controls.show_settings({});
}

}  // namespace
}  // namespace brevane
