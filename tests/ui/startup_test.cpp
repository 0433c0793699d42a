#include "ui/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "model/main_window_state.h"
#include "support/memory_panel.h"

namespace brevane {
namespace {

TEST(Startup, MakesTheDataFolderBesideTheProgramAndLeavesTheWorkingDirectory) {
  QTemporaryDir program;
  const QString cwd = QDir::currentPath();
  auto first = prepare_data_folder(program.path(), QString());
  EXPECT_EQ(first.path, QDir(program.path()).filePath("data"));
  EXPECT_TRUE(QDir(first.path).exists());
  EXPECT_TRUE(first.message.empty());
  // An existing folder is used as it is, with what it holds.
  QFile keep(QDir(first.path).filePath("datalog.csv"));
  ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
  keep.write("old\r\n");
  keep.close();
  first.lock->unlock();  // the first run has ended
  const auto second = prepare_data_folder(program.path(), QString());
  EXPECT_EQ(second.path, first.path);
  EXPECT_TRUE(QFile::exists(keep.fileName()));
  EXPECT_EQ(QDir::currentPath(), cwd);
}

TEST(Startup, FallsBackToTheUsersFolderAndSaysSo) {
  QTemporaryDir dir;
  // A program folder that is a plain file cannot hold a data folder, even for root.
  const QString blocked = dir.filePath("program");
  QFile f(blocked);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  const auto result = prepare_data_folder(blocked, dir.filePath("appdata"));
  EXPECT_EQ(result.path, dir.filePath("appdata/data"));
  EXPECT_NE(result.message.find("instead"), std::string::npos);

  const auto none = prepare_data_folder(blocked, blocked);
  EXPECT_TRUE(none.path.isEmpty());
  EXPECT_NE(none.message.find("cannot be written"), std::string::npos);
}

TEST(Startup, AChosenFolderIsUsedOrRefusedButNeverSwappedForTheUsualPlaces) {
  QTemporaryDir dir;
  const auto chosen = prepare_data_folder(dir.filePath("program"), dir.filePath("appdata"),
                                          dir.filePath("mine/data"));
  EXPECT_EQ(chosen.path, dir.filePath("mine/data"));
  EXPECT_TRUE(chosen.message.empty());
  EXPECT_FALSE(QFile::exists(dir.filePath("program/data")));

  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const auto refused =
      prepare_data_folder(dir.filePath("program"), dir.filePath("appdata"), blocker.fileName());
  EXPECT_TRUE(refused.path.isEmpty());
  EXPECT_NE(refused.message.find("cannot be used (it is not a folder)"), std::string::npos)
      << refused.message;
  EXPECT_FALSE(QFile::exists(dir.filePath("appdata/data")));
}

TEST(Startup, LoadStepSetsStartValuesAndEmptiesTheExtremes) {
  main_window_state state;
  testing::memory_panel window;
  window.set_text(text_box::min_temperature_text, "x");
  window.set_text(text_box::max_distance_text, "y");
  load_step(state, window);
  EXPECT_EQ(state.step_d, 10);
  EXPECT_EQ(state.mint, 100.0);
  EXPECT_EQ(state.maxt, 0.0);
  EXPECT_EQ(state.dmin, 9999.0);
  EXPECT_EQ(state.dmax, 0.0);
  EXPECT_EQ(window.text(text_box::min_temperature_text), "");
  EXPECT_EQ(window.text(text_box::max_distance_text), "");
}

}  // namespace
}  // namespace brevane
