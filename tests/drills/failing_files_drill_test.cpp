// Files that fail: an unwritable data folder, a data log that is a folder, a full disk, an
// image log that cannot save, and list files of every odd shape. Each gives a clear message,
// the readings go on, and nothing already in a file is lost or rewritten.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <csignal>
#include <string>
#include <vector>

#include "device/report_trace.h"
#include "drills/drill_rig.h"

namespace brevane {
namespace {

using testing::drill_rig;
using testing::file_bytes;
using testing::log_lines;

bool write_file(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool temp(drill_rig& r) {
  return r.run("Temp", [&] { r.inst.thermal.therm(); });
}

// A short sweep: 3 x 2 points.
bool small_sweep(drill_rig& r) {
  r.window.checks[check_box::repeat] = false;
  r.window.values[scroll_bar::xmax] = 120;
  r.window.values[scroll_bar::zmax] = 150;
  return r.sweep();
}

constexpr const char* log_failure = "A data log line could not be written to ";

TEST(DrillFailingFiles, DataFolderUnderARegularFileIsReportedOnceAndReadingsGoOn) {
  QTemporaryDir dir;
  const QByteArray blocker_bytes = "not a folder\n";
  ASSERT_TRUE(write_file(dir.filePath("blocker"), blocker_bytes));
  const QString folder = dir.filePath("blocker/data");
  drill_rig r(1000, {}, folder);
  ASSERT_TRUE(r.start());
  r.window.log_data = true;

  for (int k = 0; k < 3; ++k) EXPECT_TRUE(temp(r));
  EXPECT_TRUE(r.window.text(text_box::temperature_text).starts_with("70."))
      << "the reading is shown";
  EXPECT_EQ(r.statuses_containing(log_failure), 1) << "said once, not at every line";
  EXPECT_TRUE(r.status().starts_with(log_failure + (folder + "/datalog.csv: ").toStdString()))
      << r.status();
  EXPECT_EQ(r.inst.datalog.lines_written(), 0);
  EXPECT_EQ(file_bytes(dir.filePath("blocker")), blocker_bytes);

  // The image log fails there too, and the sweep still completes.
  r.window.log_images = true;
  EXPECT_TRUE(small_sweep(r));
  EXPECT_EQ(r.inst.imagelog.files_written(), 0);
  EXPECT_EQ(r.statuses_containing("An image could not be saved: " + folder.toStdString() +
                                  "/1262026 50410 AM 1 Thermal.BMP: "),
            1);
  EXPECT_EQ(r.statuses_containing("An image could not be saved: " + folder.toStdString() +
                                  "/1262026 50410 AM 2 Thermal.BMP: "),
            1);
  EXPECT_EQ(file_bytes(dir.filePath("blocker")), blocker_bytes);
}

TEST(DrillFailingFiles, DataLogThatIsAFolderIsLeftAlone) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.log_data = true;
  const QString log = r.inst.datalog.path();
  ASSERT_TRUE(QDir().mkpath(log));
  ASSERT_TRUE(write_file(log + "/kept.txt", "kept"));

  for (int k = 0; k < 2; ++k) EXPECT_TRUE(temp(r));
  EXPECT_EQ(r.statuses_containing(log_failure + log.toStdString() + ": "), 1) << r.status();
  EXPECT_EQ(QDir(log).entryList(QDir::Files), QStringList{"kept.txt"});
  EXPECT_EQ(file_bytes(log + "/kept.txt"), "kept");
}

TEST(DrillFailingFiles, DataLogOnAFullDiskSaysSoAndWritesTheHeaderWhenSpaceReturns) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.log_data = true;
  const QString log = r.inst.datalog.path();
  ASSERT_TRUE(QFile::link("/dev/full", log));

  for (int k = 0; k < 3; ++k) EXPECT_TRUE(temp(r));
  EXPECT_EQ(r.statuses_containing(log_failure), 1);
  EXPECT_NE(r.status().find("No space left on device"), std::string::npos) << r.status();
  EXPECT_EQ(r.inst.datalog.lines_written(), 0);

  // Space again: the header was never written, so it comes first.
  ASSERT_TRUE(QFile::remove(log));
  EXPECT_TRUE(temp(r));
  const auto lines = log_lines(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Time,Thermal,Distance,X pos,Y pos");
}

// Lets files grow only to `limit` bytes, as a disk that fills up does, for one scope.
class file_size_limit {
 public:
  explicit file_size_limit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit l = saved_;
    l.rlim_cur = limit;
    ok_ = setrlimit(RLIMIT_FSIZE, &l) == 0;
  }
  ~file_size_limit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_handler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*previous_handler_)(int) = nullptr;
  bool ok_ = false;
};

TEST(DrillFailingFiles, DiskFillingMidLineKeepsEveryEarlierLineIntact) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.log_data = true;
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(temp(r));
  const QString log = r.inst.datalog.path();
  const QByteArray before = file_bytes(log);
  ASSERT_EQ(log_lines(log).size(), 4u);

  {
    // Room for a part of the next line only.
    file_size_limit full(static_cast<rlim_t>(before.size()) + 10);
    ASSERT_TRUE(full.ok());
    EXPECT_TRUE(temp(r));
    EXPECT_TRUE(temp(r));
  }
  EXPECT_EQ(file_bytes(log).toStdString(), before.toStdString()) << "no partial line, nothing lost";
  EXPECT_EQ(r.statuses_containing(log_failure), 1);

  EXPECT_TRUE(temp(r));
  const QByteArray after = file_bytes(log);
  EXPECT_TRUE(after.startsWith(before));
  const auto lines = log_lines(log);
  EXPECT_EQ(lines.size(), 5u) << "the log goes on without a second header";
  for (std::size_t k = 1; k < lines.size(); ++k)
    EXPECT_EQ(lines[k], "1262026 50410 AM, 0, 0, 0, 0") << "line " << k;
}

TEST(DrillFailingFiles, ImageNameTakenByAFolderIsLeftAloneForANumberedName) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.log_images = true;
  const QString taken = r.folder.filePath("1262026 50410 AM 1 Thermal.BMP");
  ASSERT_TRUE(QDir().mkpath(taken));
  ASSERT_TRUE(write_file(taken + "/kept.txt", "kept"));

  EXPECT_TRUE(small_sweep(r));
  EXPECT_EQ(r.inst.imagelog.files_written(), 6);
  EXPECT_EQ(r.statuses_containing("An image could not be saved"), 0);
  EXPECT_EQ(file_bytes(taken + "/kept.txt"), "kept");
  EXPECT_FALSE(QImage(r.folder.filePath("1262026 50410 AM 1 Thermal (2).BMP")).isNull());
  EXPECT_FALSE(QImage(r.folder.filePath("1262026 50410 AM 1 Sonic.BMP")).isNull());
  EXPECT_FALSE(QImage(r.folder.filePath("1262026 50410 AM 2 Thermal.BMP")).isNull());
}

// The entries that reached the head: the report after each W, bytes 1 to 8.
std::vector<std::string> uploaded_entries(const QString& trace_path) {
  std::vector<std::string> entries;
  bool after_w = false;
  for (const QByteArray& line : file_bytes(trace_path).split('\n')) {
    if (!line.startsWith("out ")) continue;
    const QList<QByteArray> hex = line.mid(4).split(' ');
    if (after_w) {
      std::string entry;
      for (int i = 1; i <= 8; ++i) entry += static_cast<char>(hex[i].toInt(nullptr, 16));
      entries.push_back(entry);
    }
    after_w = !after_w && hex[1] == "57";
  }
  return entries;
}

struct upload_result {
  bool ran = false;
  std::optional<int> sent;
  std::vector<std::string> entries;
};

upload_result upload(drill_rig& r, const QString& list) {
  device::report_trace trace;
  const QString trace_path = r.folder.filePath("trace.txt");
  QFile::remove(trace_path);
  EXPECT_EQ(trace.open(trace_path.toStdString()), "");
  r.inst.exchange.set_trace(&trace);
  upload_result u;
  u.ran = r.run("Upload List", [&] { u.sent = r.inst.upload.load_list(list); });
  r.inst.exchange.set_trace(nullptr);
  u.entries = uploaded_entries(trace_path);
  return u;
}

TEST(DrillListFiles, OddListFilesSendTheRightEntriesAndStayAsTheyWere) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  using strings = std::vector<std::string>;

  struct odd_file {
    const char* name;
    QByteArray bytes;
    strings entries;
  };
  const QByteArray binary("\x00\xff\x80\x01\r\x7f\x1b\x02\x03\x04\n\xfe\r\n\x00\x00\n", 17);
  const QByteArray long_line = "ABCDEFGHIJ" + QByteArray(1 << 20, 'x') + "\r\nsecond\n";
  const std::vector<odd_file> files = {
      {"binary.txt",
       binary,
       {std::string("\x00\xff\x80\x01\r\x7f\x1b\x02", 8), std::string("\xfe       ", 8),
        std::string("\x00\x00      ", 8)}},
      {"long.txt", long_line, {"ABCDEFGH", "second  "}},
      {"unended.txt", "one\r\ntwo", {"one     ", "two     "}},
      {"empty.txt", "", {}},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const QString path = r.folder.filePath(QString::fromLatin1(f.name));
    ASSERT_TRUE(write_file(path, f.bytes));
    const upload_result u = upload(r, path);
    EXPECT_TRUE(u.ran) << r.status();
    EXPECT_EQ(u.sent, static_cast<int>(f.entries.size()));
    EXPECT_EQ(u.entries, f.entries);
    EXPECT_EQ(r.window.caption(), "file Loaded");
    EXPECT_EQ(file_bytes(path), f.bytes) << "the list file is only read";
  }
}

TEST(DrillListFiles, MissingListOrAFolderSaysWhyAndSendsNothing) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  const QString missing = r.folder.filePath("missing.txt");
  upload_result u = upload(r, missing);
  EXPECT_FALSE(u.sent.has_value());
  EXPECT_EQ(r.window.caption(), "list file not loaded");
  EXPECT_TRUE(
      r.status().starts_with("The list file " + missing.toStdString() + " could not be opened: "))
      << r.status();

  u = upload(r, r.folder.path());
  EXPECT_FALSE(u.sent.has_value());
  EXPECT_EQ(r.status(), "The list file " + r.folder.path().toStdString() +
                            " could not be opened: it is a folder");
  EXPECT_EQ(r.head.commands_received(), 0);
}

}  // namespace
}  // namespace brevane
