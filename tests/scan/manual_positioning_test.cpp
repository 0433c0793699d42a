#include "scan/manual_positioning.h"

#include <gtest/gtest.h>

#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;
using strings = std::vector<std::string>;

TEST(ManualPositioning, JogMovesOneAxisByOneUnitWhateverTheStep) {
  rig r;
  ASSERT_TRUE(r.start());
  EXPECT_TRUE(r->positioning.jog(1));  // ">" from the start value 0
  EXPECT_EQ(r->state.posx, 1);
  r->positioning.home();
  r.head.writes.clear();
  r->state.step_d = 20;
  for (int k = 0; k < 3; ++k) r->positioning.jog(0);
  EXPECT_EQ(r.head.commands(), (strings{"Z171", "Z172", "Z173"}));
  r->positioning.jog(3);
  r->positioning.jog(2);
  EXPECT_EQ(r.head.commands().back(), "Z172");
  EXPECT_EQ(r->state.posx, 169);
}

TEST(ManualPositioning, JogOutsideTheByteRangeIsRefusedAndSendsNothing) {
  rig r;
  ASSERT_TRUE(r.start());
  r->state.pos = 42;
  EXPECT_FALSE(r->positioning.jog(3));  // "<" from 0
  EXPECT_FALSE(r->positioning.jog(2));  // "v" from 0
  EXPECT_TRUE(r.head.writes.empty());
  EXPECT_EQ(r->state.posx, 0);
  EXPECT_EQ(r->state.posz, 0);
  EXPECT_EQ(r->state.pos, 42);
  ASSERT_EQ(r.window.statuses.size(), 2u);
  EXPECT_NE(r.window.statuses[0].find("outside 0 to 255"), std::string::npos);

  r->state.posx = 255;
  EXPECT_FALSE(r->positioning.jog(1));
  EXPECT_EQ(r->state.posx, 255);
  EXPECT_TRUE(r.head.writes.empty());
}

TEST(ManualPositioning, MoveToSendsXThenZOrNothingOutsideTheByteRange) {
  const struct {
    int x, z;
    strings sent;
  } cases[] = {
      {0, 255, {"X0", "Z255"}}, {120, 140, {"X120", "Z140"}}, {256, 140, {}}, {120, -1, {}}};
  for (const auto& c : cases) {
    rig r;
    ASSERT_TRUE(r.start());
    EXPECT_EQ(r->positioning.move_to(c.x, c.z), !c.sent.empty());
    EXPECT_EQ(r.head.commands(), c.sent);
    EXPECT_EQ(r->state.posx, c.sent.empty() ? 0 : c.x);
    EXPECT_EQ(r->state.posz, c.sent.empty() ? 0 : c.z);
  }
}

TEST(ManualPositioning, HomeMovesXThenZThenTakesTenReadingsAsTheBaseline) {
  rig r;
  ASSERT_TRUE(r.start());
  r.head.repeat_last = false;
  // Raw counts whose temperatures round to 20, 21, 22, 20, 21, 22, 20, 21, 22, 21.
  auto raw = [](int f) { return static_cast<int>(f / 0.168 + 0.5); };
  for (int f : {20, 21, 22, 20, 21, 22, 20, 21, 22, 21}) r.head.temperatures.push_back(raw(f));
  r.head.temperatures.pop_front();  // the default reading
  r->positioning.home();
  strings expected{"X170", "Z170"};
  for (int k = 0; k < 10; ++k) expected.push_back("T");
  EXPECT_EQ(r.head.commands(), expected);
  EXPECT_DOUBLE_EQ(r->state.avgt, 21.0);
  EXPECT_EQ(r->state.posx, 170);
  EXPECT_EQ(r->state.posz, 170);

  r.head.temperatures.clear();
  for (int k = 0; k < 9; ++k) r.head.temperatures.push_back(raw(20));
  r.head.temperatures.push_back(raw(21));
  r->positioning.home();
  EXPECT_DOUBLE_EQ(r->state.avgt, 20.1) << "a mean, not rounded";
}

TEST(ManualPositioning, StepLimitGainAndResets) {
  rig r;
  r->positioning.choose_step(2);
  EXPECT_EQ(r->state.step_d, 3);
  r->positioning.choose_step(4);
  EXPECT_EQ(r->state.step_d, 10);

  r->positioning.limit_changed(scroll_bar::zmin, 155);
  EXPECT_EQ(r.window.text(text_box::z_min_text), "155");
  r->positioning.limit_changed(scroll_bar::xmax, 180);
  EXPECT_EQ(r.window.text(text_box::x_max_text), "180");
  r->positioning.gain_changed(25);
  EXPECT_EQ(r.window.text(text_box::gain_text), " 25");
  r->positioning.gain_changed(10);
  EXPECT_EQ(r.window.text(text_box::gain_text), " 10");

  r->state.mint = 50;
  r->state.maxt = 90;
  r.window.set_text(text_box::min_temperature_text, "50.f");
  r->positioning.reset_temperature();
  EXPECT_EQ(r->state.mint, 100.0);
  EXPECT_EQ(r->state.maxt, 0.0);
  EXPECT_EQ(r.window.text(text_box::min_temperature_text), "");
  r->positioning.reset_distance();
  EXPECT_EQ(r->state.dmin, 9999.0);
  EXPECT_EQ(r.window.text(text_box::max_distance_text), "");
}

TEST(ManualPositioning, ReadingAfterResetFillsBothBoxes) {
  rig r;
  ASSERT_TRUE(r.start());
  r->positioning.reset_temperature();
  r.head.temperatures = {432};  // 72.576 F
  r->thermal.therm();
  EXPECT_EQ(r.window.text(text_box::min_temperature_text), "72.58f");
  EXPECT_EQ(r.window.text(text_box::max_temperature_text), "72.58f");
}

}  // namespace
}  // namespace brevane
