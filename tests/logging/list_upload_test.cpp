#include "logging/list_upload.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <stdexcept>

#include "device/device_errors.h"
#include "support/rig.h"

namespace brevane {
namespace {

using testing::rig;

QString write_file(QTemporaryDir& dir, const QByteArray& bytes) {
  const QString path = dir.filePath("list.txt");
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

TEST(ListUpload, ThreeLinesSendSixReportsCommandThenData) {
  rig r;
  ASSERT_TRUE(r.start());
  const QString path = write_file(r.folder, "ABC\r\n0123456789\n\n");
  EXPECT_EQ(r->upload.load_list(path), 3);
  ASSERT_EQ(r.head.writes.size(), 6u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(r.head.writes[2 * k][1], 'W');
  auto data = [&](int k) {
    const auto& w = r.head.writes[2 * k + 1];
    return std::string(w.begin() + 1, w.begin() + 9);
  };
  EXPECT_EQ(data(0), "ABC     ");
  EXPECT_EQ(data(1), "01234567");
  EXPECT_EQ(data(2), "        ");
  EXPECT_EQ(r.head.writes[1][0], 0);
  EXPECT_EQ(r.window.caption(), "file Loaded");
  const std::vector<std::string> expected_captions{"send", "Received", "send",       "Received",
                                                   "send", "Received", "file Loaded"};
  EXPECT_TRUE(
      std::equal(expected_captions.begin(), expected_captions.end(), r.window.captions.end() - 7));
}

TEST(ListUpload, EmptyFileSendsNothingAndMissingFileEndsAtOnce) {
  rig r;
  ASSERT_TRUE(r.start());
  EXPECT_EQ(r->upload.load_list(write_file(r.folder, "")), 0);
  EXPECT_TRUE(r.head.writes.empty());
  EXPECT_EQ(r.window.caption(), "file Loaded");

  EXPECT_FALSE(r->upload.load_list(r.folder.filePath("nothing-here.txt")));
  EXPECT_TRUE(r.head.writes.empty());
  EXPECT_EQ(r.window.caption(), "list file not loaded");
  ASSERT_FALSE(r.window.statuses.empty());
  EXPECT_NE(r.window.statuses.back().find("nothing-here.txt"), std::string::npos);

  EXPECT_FALSE(r->upload.load_list(r.folder.path()));  // a folder
  EXPECT_TRUE(r.head.writes.empty());
}

TEST(ListUpload, SecondRunSendsTheWholeFileAgain) {
  rig r;
  ASSERT_TRUE(r.start());
  const QString path = write_file(r.folder, "one\ntwo");  // no final newline
  EXPECT_EQ(r->upload.load_list(path), 2);
  EXPECT_EQ(r->upload.load_list(path), 2);
  EXPECT_EQ(r.head.writes.size(), 8u);
}

TEST(ListUpload, SilentHeadEndsTheWaitForTheAnswerToW) {
  rig r(150);
  ASSERT_TRUE(r.start());
  r.head.silent = true;
  const QString path = write_file(r.folder, "one\ntwo\n");
  EXPECT_FALSE(r->runner.run("Upload List", [&] { r->upload.load_list(path); }));
  EXPECT_EQ(r.head.writes.size(), 1u) << "no data report without the answer";
  EXPECT_NE(r->runner.last_error().find("the list entry"), std::string::npos);
}

// Special files are refused before anything could block or send: a FIFO would hold the open,
// /dev/zero never ends its line and /dev/urandom would send noise to the head.
TEST(ListUpload, SpecialFilesAreRefusedWithTheReason) {
  rig r;
  ASSERT_TRUE(r.start());
  const QString fifo = r.folder.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const std::pair<QString, const char*> cases[] = {
      {fifo, "it is a FIFO, not a file"},
      {QStringLiteral("/dev/zero"), "it is a device, not a file"},
      {QStringLiteral("/dev/urandom"), "it is a device, not a file"},
      {r.folder.path(), "it is a folder, not a file"},
  };
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_FALSE(r->upload.load_list(path));
    EXPECT_TRUE(r.head.writes.empty());
    EXPECT_EQ(r.window.caption(), "list file not loaded");
    EXPECT_TRUE(r.window.statuses.back().ends_with(reason)) << r.window.statuses.back();
  }
}

// Bytes without end and without a line end, as a device would give them.
class endless : public QIODevice {
 public:
  endless() { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 most) override {
    std::fill_n(data, most, 'x');
    return most;
  }
  qint64 writeData(const char*, qint64) override { return -1; }
};

// However long a line runs, the reader lets the stop in (a signal, Escape) between blocks.
TEST(ListUpload, ALineWithoutEndStillLetsAStopIn) {
  endless source;
  int between = 0;
  list_line_reader reader(source, [&] {
    if (++between == 3) throw std::runtime_error("stopped");
  });
  EXPECT_THROW(reader.next(), std::runtime_error);
  EXPECT_EQ(between, 3);
}

TEST(ListUpload, ReaderKeepsOnlyAShortPrefixOfHugeLines) {
  QByteArray bytes(1 << 20, 'x');
  bytes.prepend("\x01\xff\x80");
  bytes.append("\nlast");
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  list_line_reader reader(buffer);
  auto first = reader.next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), 64u);
  EXPECT_EQ(list_entry_bytes(*first)[1], 0xff);
  EXPECT_EQ(reader.next(), "last");
  EXPECT_FALSE(reader.next());
}

}  // namespace
}  // namespace brevane
