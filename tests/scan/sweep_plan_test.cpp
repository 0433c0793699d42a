#include "scan/sweep_plan.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "support/rig.h"

namespace brevane {
namespace {

QByteArray plan_with(const char* settings) {
  return QByteArray(R"({"format": "brevane-plan", "version": 1, "settings": {)") + settings + "}}";
}

const char* const all_keys =
    "xmin, xmax, zmin, zmax, step, gain, repeat, stop, sonic_off, temp_off, x_off, z_off, "
    "echo_timeout_ms";

TEST(SweepPlan, BadValuesAreRefusedNamingKeyValueAndWhatIsAllowed) {
  const std::pair<const char*, std::string> settings_refused[] = {
      {"step=4", R"("step" is 4; it must be one of 1, 2, 3, 5, 10, 20)"},
      {"xmin=99", R"("xmin" is 99; it must be a whole number from 100 to 140)"},
      {"nosuch=1", std::string(R"("nosuch" is not a setting; the settings are )") + all_keys},
      {"gain=41", R"("gain" is 41; it must be a whole number from 1 to 40)"},
      {"zmax=1e2", R"("zmax" is "1e2"; it must be a whole number from 170 to 200)"},
      {"sonic_off=maybe", R"("sonic_off" is "maybe"; it must be true or false)"},
      {"echo_timeout_ms=0",
       R"("echo_timeout_ms" is 0; it must be a whole number from 1 to 600000)"},
      {"xmin", R"("xmin" is not KEY=VALUE, for example xmin=110)"},
  };
  for (const auto& [assignment, why] : settings_refused) {
    sweep_settings s = start_settings();
    EXPECT_EQ(set_sweep_setting(s, assignment), why);
    EXPECT_EQ(s, start_settings()) << "a refused setting changes nothing";
  }

  const std::pair<QByteArray, std::string> plans_refused[] = {
      {plan_with(R"("zmax": "180")"),
       R"("zmax" is "180"; it must be a whole number from 170 to 200)"},
      {plan_with(R"("temp_off": 1)"), R"("temp_off" is 1; it must be true or false)"},
      {plan_with(R"("xmax": 200.5)"),
       R"("xmax" is 200.5; it must be a whole number from 180 to 255)"},
      {plan_with(R"("xmin": 110, "Step": 5)"),
       std::string(R"("Step" is not a setting; the settings are )") + all_keys},
      {R"({"format": "brevane-plan", "version": 1, "name": "a"})",
       R"("name" is not a key of a plan; a plan has "format", "version" and "settings")"},
      {R"({"format": "brevane-plan", "version": 0})",
       R"("version" is 0; it must be a whole number from 1)"},
      {R"({"format": "other", "version": 1})",
       R"(is neither a plan nor a scan record: its "format" is "other", not "brevane-plan" or "brevane-scan")"},
      {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
       "is neither a plan nor a scan record: it is not JSON text"},
      {R"({"format": "brevane-plan", )", "is not valid JSON (unterminated object at character 27)"},
      {R"({"format":"brevane-scan","version":1,"settings":{"step":5,"row_step":10,"point_step":5}})"
       "\n{\"type\":\"end\"}\n",
       R"("row_step" is 10; it must agree with "step", which is 5)"},
      // A key given twice is refused, whichever value a JSON reader would keep.
      {plan_with(R"("step": 4, "step": 5)"), R"(is refused: "step" appears twice in "settings")"},
      {plan_with(R"("step": 5, "st\u0065p": 5)"),
       R"(is refused: "step" appears twice in "settings")"},
      {R"({"format": "brevane-plan", "version": 1, "settings": {}, "settings": {"step": 5}})",
       R"(is refused: "settings" appears twice)"},
      {R"({"format": "x", "format": "brevane-plan", "version": 1})",
       R"(is refused: "format" appears twice)"},
      {R"({"format":"brevane-scan","version":1,"version":1,"settings":{"step":5}})"
       "\n{\"type\":\"end\"}\n",
       R"(is refused: "version" appears twice)"},
  };
  for (const auto& [text, why] : plans_refused) {
    std::string problem;
    EXPECT_FALSE(plan_from_text(text, start_settings(), &problem)) << text.toStdString();
    EXPECT_EQ(problem, why);
  }
}

// A plan file is read to its end, whatever lies between; a special file is never read at all.
TEST(SweepPlan, APlanFileIsReadToItsEnd) {
  QTemporaryDir dir;
  const QByteArray plan = plan_with(R"("step": 5)");
  const QByteArray blanks(2 << 20, ' ');
  const struct {
    QByteArray text;
    const char* refusal;  // part of it; nullptr when read
  } cases[] = {
      {plan + blanks, nullptr},
      {plan + blanks + "GARBAGE", "it goes on after the plan's end, at byte "},
      {plan + "GARBAGE", "garbage at the end"},
  };
  for (const auto& c : cases) {
    const QString path = dir.filePath("plan.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.text);
    f.close();
    std::string why;
    const auto read = read_plan_file(path, start_settings(), &why);
    EXPECT_EQ(read.has_value(), c.refusal == nullptr) << why;
    if (c.refusal) {
      EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
    } else if (read) {
      EXPECT_EQ(read->step, 5);
    }
  }
  std::string why;
  EXPECT_FALSE(read_plan_file(QStringLiteral("/dev/zero"), start_settings(), &why));
  EXPECT_EQ(why, "/dev/zero cannot be read: it is a device, not a file");
}

TEST(SweepPlan, PlansAndRecordsAreReadOverTheirBase) {
  sweep_settings base = start_settings(900);
  base.repeat = false;
  sweep_settings expected = base;
  expected.xmin = 120;
  expected.step = 5;
  expected.gain = 20;
  expected.sonic_off = true;
  const QByteArray accepted[] = {
      plan_with(R"("xmin": 120, "step": 5, "gain": 20, "sonic_off": true)"),
      // A later version is read when every key is known.
      R"({"version": 2, "settings": {"sonic_off": true, "gain": 20, "step": 5, "xmin": 120},
          "format": "brevane-plan"})",
      // A record's first line; the readings after it do not matter.
      R"({"type":"sweep","format":"brevane-scan","version":1,"start":"2026-12-06T05:04:10",)"
      R"("settings":{"xmin":120,"xmax":255,"zmin":140,"zmax":200,"row_step":5,"point_step":5,)"
      R"("step":5,"gain":20,"sonic_off":true,"repeat":false}})"
      "\n{\"type\":\"reading\",\"kind\":\"baseline\"}\nnot json at all\n",
  };
  for (const QByteArray& text : accepted) {
    std::string why;
    const auto s = plan_from_text(text, base, &why);
    ASSERT_TRUE(s) << why;
    EXPECT_EQ(*s, expected) << text.toStdString();
  }
}

TEST(SweepPlan, WrittenPlansReadBackTheSame) {
  sweep_settings other = start_settings();
  for (const char* change :
       {"xmin=140", "xmax=180", "zmin=120", "zmax=170", "step=3", "gain=1", "repeat=off", "stop=on",
        "temp_off=true", "x_off=1", "z_off=true", "echo_timeout_ms=600000"})
    ASSERT_EQ(set_sweep_setting(other, change), "");
  for (const sweep_settings& s : {start_settings(), other}) {
    for (bool one_line : {false, true}) {
      const QByteArray text = plan_json(s, one_line);
      EXPECT_EQ(text.count('\n'), one_line ? 0 : 19);
      std::string why;
      // Read over a base that differs in every key, so nothing passes by being left out.
      const auto back = plan_from_text(text, other == s ? start_settings() : other, &why);
      ASSERT_TRUE(back) << why;
      EXPECT_EQ(*back, s);
    }
  }
  EXPECT_EQ(plan_json(start_settings(), true),
            R"({"format": "brevane-plan", "version": 1, "settings": {"xmin": 100, "xmax": 255, )"
            R"("zmin": 140, "zmax": 200, "step": 10, "gain": 10, "repeat": true, "stop": false, )"
            R"("sonic_off": false, "temp_off": false, "x_off": false, "z_off": false, )"
            R"("echo_timeout_ms": 3000}})");

  QTemporaryDir dir;
  const QString path = dir.filePath("plan.json");
  ASSERT_EQ(save_plan_file(path, other), "");
  std::string why;
  EXPECT_EQ(read_plan_file(path, start_settings(), &why), other) << why;
  EXPECT_FALSE(read_plan_file(dir.filePath("none.json"), start_settings(), &why));
  EXPECT_EQ(why.rfind(dir.filePath("none.json").toStdString() + " cannot be read: ", 0), 0u) << why;
}

TEST(SweepPlan, AppliedAsTheOperatorSetsEachControl) {
  testing::rig r;
  ASSERT_TRUE(r.start());
  sweep_settings s = start_settings();
  for (const char* change :
       {"xmin=110", "zmax=180", "step=5", "gain=25", "sonic_off=true", "repeat=false"})
    ASSERT_EQ(set_sweep_setting(s, change), "");
  s.echo_timeout_ms = 1234;
  ASSERT_EQ(apply_settings(s, r.window, r->exchange), "");
  EXPECT_EQ(r.window.text(text_box::x_min_text), "110");
  EXPECT_EQ(r.window.text(text_box::z_max_text), "180");
  EXPECT_EQ(r.window.text(text_box::gain_text), " 25");
  EXPECT_EQ(r.window.step_index, 3);
  EXPECT_EQ(r->state.step_d, 5);
  EXPECT_TRUE(r.window.checked(check_box::sonic_off));
  EXPECT_FALSE(r.window.checked(check_box::repeat));
  EXPECT_EQ(r->exchange.echo_timeout_ms(), 1234);
  EXPECT_EQ(settings_in_window(r.window, r->state, r->exchange), s);

  // Nothing changes while a device operation runs, nor for settings out of range.
  sweep_settings later = start_settings();
  ASSERT_TRUE(r->exchange.guard().begin("Sweep"));
  EXPECT_EQ(apply_settings(later, r.window, r->exchange),
            "the settings cannot change while Sweep runs; end it first (Escape)");
  r->exchange.guard().end();
  later.step = 4;
  EXPECT_EQ(apply_settings(later, r.window, r->exchange),
            R"("step" is 4; it must be one of 1, 2, 3, 5, 10, 20)");
  EXPECT_EQ(settings_in_window(r.window, r->state, r->exchange), s);
}

}  // namespace
}  // namespace brevane
