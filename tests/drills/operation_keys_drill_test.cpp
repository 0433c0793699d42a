// The sweep's keys from the Maps window, where the operator watches it: F8 pauses, F8 resumes,
// Escape ends it, sent as key presses through the application as the keyboard sends them.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <vector>

#include "support/windowed_program.h"
#include "ui/maps_window.h"

namespace brevane {
namespace {

TEST(DrillOperationKeys, F8AndEscapeWorkFromTheMapsWindow) {
  QStandardPaths::setTestModeEnabled(true);
  testing::windowed_program p;
  maps_window maps(p.inst.readings);
  p.window.route_operation_keys(&maps);
  ASSERT_TRUE(p.start());
  maps.open();
  auto* palette = maps.findChild<QComboBox*>(QStringLiteral("palette"));
  ASSERT_NE(palette, nullptr);

  struct seen {
    bool paused = false, resumed = false, popup_closed = false, busy_after_popup = false;
    int sent_at_pause = 0, sent_while_paused = 0, sent_after_resume = 0;
    QString paused_status;
  } s;
  // Each step a few exchanges after the last, the head answering every 50 ms.
  std::vector<std::function<void()>> steps{
      [&] {
        QTest::keyClick(palette, Qt::Key_F8);
        s.paused = p.inst.guard.paused();
      },
      [&] {
        s.sent_at_pause = p.head.commands_received();
        s.paused_status = p.window.status_text();
      },
      [&] {
        s.sent_while_paused = p.head.commands_received() - s.sent_at_pause;
        QTest::keyClick(palette, Qt::Key_F8);
        s.resumed = !p.inst.guard.paused();
      },
      [&] {
        s.sent_after_resume = p.head.commands_received() - s.sent_at_pause;
        // Escape in the open list closes the list, and only that.
        palette->showPopup();
        QTest::keyClick(palette->view(), Qt::Key_Escape);
        s.popup_closed = !palette->view()->isVisible();
        s.busy_after_popup = p.inst.guard.busy();
      },
      [&] { QTest::keyClick(palette, Qt::Key_Escape); },
  };
  QTimer step;
  std::size_t next = 0;
  QObject::connect(&step, &QTimer::timeout, [&] {
    if (next < steps.size()) steps[next++]();
  });
  step.start(400);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] { p.inst.guard.cancel("watchdog"); });
  watchdog.start(8000);
  p.click("Command26");

  EXPECT_TRUE(s.paused);
  EXPECT_TRUE(s.paused_status.startsWith("Paused at X ")) << s.paused_status.toStdString();
  EXPECT_EQ(s.sent_while_paused, 0);
  EXPECT_TRUE(s.resumed);
  EXPECT_GT(s.sent_after_resume, 0);
  EXPECT_TRUE(s.popup_closed);
  EXPECT_TRUE(s.busy_after_popup) << "Escape in the list left the sweep alone";
  EXPECT_EQ(next, steps.size());
  EXPECT_FALSE(p.inst.guard.busy());
  const QString end = p.window.status_text();
  EXPECT_TRUE(end.startsWith("Sweep cancelled (Escape) while waiting for the "))
      << end.toStdString();
  EXPECT_TRUE(end.contains(QStringLiteral(" readings; record ") + p.record.path()))
      << end.toStdString();
}

}  // namespace
}  // namespace brevane
