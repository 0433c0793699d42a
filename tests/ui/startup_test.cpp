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
  auto first = prepare_data_folder(program.path(), {});
  EXPECT_EQ(first.path, QDir(program.path()).filePath("data"));
  EXPECT_TRUE(QDir(first.path).exists());
  EXPECT_TRUE(first.message.empty());
  // An existing folder is used as it is, with what it holds.
  QFile keep(QDir(first.path).filePath("datalog.csv"));
  ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
  keep.write("old\r\n");
  keep.close();
  first.lock->unlock();  // the first run has ended
  const auto second = prepare_data_folder(program.path(), {});
  EXPECT_EQ(second.path, first.path);
  EXPECT_TRUE(QFile::exists(keep.fileName()));
  EXPECT_EQ(QDir::currentPath(), cwd);
}

TEST(Startup, AnInstalledProgramKeepsItsDataInTheUsersDocuments) {
  struct row {
    const char* program;
    bool writable;  // by whoever runs it: root can write /usr/bin
    const char* documents;
    const char* path;
  };
  const row rows[] = {
      {"/home/ana/brevane/build", true, "/home/ana/Documents", "/home/ana/brevane/build/data"},
      {"/home/ana/unpacked/usr/bin", true, "", "/home/ana/unpacked/usr/bin/data"},
      {"/usr2/bin", true, "/home/ana/Documents", "/usr2/bin/data"},
      {"/home/ana/brevane/build", false, "/home/ana/Documents", "/home/ana/Documents/Brevane"},
      {"/usr/bin", true, "/home/ana/Documents", "/home/ana/Documents/Brevane"},
      {"/usr/local/bin", true, "", "/home/ana/Brevane"},
      {"/opt/brevane/bin", false, "", "/home/ana/Brevane"},
      {"/usr/bin", false, "/home/ana/Documents", "/home/ana/Documents/Brevane"},
  };
  for (const row& r : rows) {
    const default_place place = default_data_folder(
        r.program, r.writable, {QString::fromLatin1(r.documents), QStringLiteral("/home/ana")});
    EXPECT_EQ(place.path.toStdString(), r.path) << r.program << " " << r.writable;
    EXPECT_EQ(place.installed, std::string(r.path).ends_with("Brevane")) << r.program;
  }

  // Installed in /usr/bin: nothing is made there, and the status bar says where the data goes.
  QTemporaryDir dir;
  const auto installed =
      prepare_data_folder(QStringLiteral("/usr/bin"), {dir.filePath("Documents"), dir.path()});
  EXPECT_EQ(installed.path, dir.filePath("Documents/Brevane"));
  EXPECT_TRUE(installed.message.empty());
  EXPECT_EQ(installed.note, "Data folder: " + dir.filePath("Documents/Brevane").toStdString() +
                                " (the program is installed in /usr/bin; File > Open Data "
                                "Folder opens it).");
  EXPECT_FALSE(QFile::exists(QStringLiteral("/usr/bin/data")));
}

TEST(Startup, FallsBackToTheUsersFolderAndSaysSo) {
  QTemporaryDir dir;
  // A program folder that is a plain file cannot hold a data folder, even for root.
  const QString blocked = dir.filePath("program");
  QFile f(blocked);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  const auto result = prepare_data_folder(blocked, {QString(), dir.path()});
  EXPECT_EQ(result.path, dir.filePath("Brevane"));
  EXPECT_NE(result.message.find("instead"), std::string::npos);

  const auto none = prepare_data_folder(blocked, {blocked, blocked});
  EXPECT_TRUE(none.path.isEmpty());
  EXPECT_NE(none.message.find("cannot be written"), std::string::npos);
}

TEST(Startup, AChosenFolderIsUsedOrRefusedButNeverSwappedForTheUsualPlaces) {
  QTemporaryDir dir;
  const user_folders user{dir.filePath("Documents"), dir.path()};
  const auto chosen = prepare_data_folder(dir.filePath("program"), user, dir.filePath("mine/data"));
  EXPECT_EQ(chosen.path, dir.filePath("mine/data"));
  EXPECT_TRUE(chosen.message.empty());
  EXPECT_FALSE(QFile::exists(dir.filePath("program/data")));

  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const auto refused = prepare_data_folder(dir.filePath("program"), user, blocker.fileName());
  EXPECT_TRUE(refused.path.isEmpty());
  EXPECT_NE(refused.message.find("cannot be used (it is not a folder)"), std::string::npos)
      << refused.message;
  EXPECT_FALSE(QFile::exists(dir.filePath("Documents/Brevane")));
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
