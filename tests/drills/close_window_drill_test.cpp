// Closing the window in the middle of a device operation: the operation's handler returns
// promptly, the guard is released, the head is let go, and nothing crashes.

#include <gtest/gtest.h>

#include <QFile>

#include "support/windowed_program.h"

namespace brevane {
namespace {

using testing::windowed_program;

TEST(DrillCloseWindow, DuringASweep) {
  windowed_program p;
  ASSERT_TRUE(p.start());
  const auto c = p.close_during([&] { p.click("Command26"); }, 300);
  p.expect_closed_cleanly(c);
  EXPECT_GT(p.head.commands_received(), 0);
}

TEST(DrillCloseWindow, DuringAStaticRead) {
  windowed_program p;
  ASSERT_TRUE(p.start());
  ASSERT_TRUE(p.window.checked(check_box::repeat)) << "Static Read runs while Repeat is ticked";
  const auto c = p.close_during([&] { p.click("Command11"); }, 300);
  p.expect_closed_cleanly(c);
}

TEST(DrillCloseWindow, DuringHome) {
  windowed_program p;
  ASSERT_TRUE(p.start());
  const auto c = p.close_during([&] { p.click("Command1"); }, 200);
  p.expect_closed_cleanly(c);
  EXPECT_LT(p.head.commands_received(), 12) << "Home's twelve commands were cut short";
}

TEST(DrillCloseWindow, DuringAnUpload) {
  windowed_program p;
  {
    QFile list(p.folder.filePath("list.txt"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    for (int k = 0; k < 40; ++k) list.write(QByteArray("entry") + QByteArray::number(k) + "\n");
  }
  ASSERT_TRUE(p.start());
  const auto c = p.close_during([&] { p.window.menu_item("upload_list")->trigger(); }, 200);
  p.expect_closed_cleanly(c);
  EXPECT_LT(p.head.commands_received(), 80) << "the upload was cut short";
}

}  // namespace
}  // namespace brevane
