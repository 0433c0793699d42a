// Files that fail: an unwritable data folder, a data log that is a folder, a full disk, a size
// limit, a folder deleted mid-sweep, an export aimed at a device or a FIFO, an image log that
// cannot save, and list files of every odd shape. Each gives a clear message with the system's
// reason, the readings go on, and nothing already in a file is lost, torn or rewritten.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "common/file_output.h"
#include "device/report_trace.h"
#include "device/trace_reader.h"
#include "display/maps_render.h"
#include "display/record_maps.h"
#include "drills/drill_rig.h"
#include "logging/scan_record.h"
#include "logging/scan_record_csv.h"
#include "logging/scan_record_reader.h"

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
  r.window.set_log_data(true);

  for (int k = 0; k < 3; ++k) EXPECT_TRUE(temp(r));
  EXPECT_TRUE(r.window.text(text_box::temperature_text).starts_with("70."))
      << "the reading is shown";
  EXPECT_EQ(r.statuses_containing(log_failure), 1) << "said once, not at every line";
  EXPECT_TRUE(r.status_containing(log_failure)
                  .starts_with(log_failure + (folder + "/datalog.csv: ").toStdString()))
      << r.status_containing(log_failure);
  EXPECT_EQ(r.inst.datalog.lines_written(), 0);
  EXPECT_EQ(file_bytes(dir.filePath("blocker")), blocker_bytes);

  // The image log fails there too, and the sweep still completes.
  r.window.set_log_images(true);
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
  r.window.set_log_data(true);
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
  r.window.set_log_data(true);
  const QString log = r.inst.datalog.path();
  ASSERT_TRUE(QFile::link("/dev/full", log));

  for (int k = 0; k < 3; ++k) EXPECT_TRUE(temp(r));
  EXPECT_EQ(r.statuses_containing(log_failure), 1);
  EXPECT_NE(r.status_containing(log_failure).find("No space left on device"), std::string::npos)
      << r.status_containing(log_failure);
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
  r.window.set_log_data(true);
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

// Runs a callback at the n-th reading of a sweep.
struct at_reading : reading_observer {
  int n = 0;
  std::function<void()> act;
  int seen = 0;
  void reading_taken(const reading_event&) override {
    if (++seen == n && act) act();
  }
};

// Every writer of files at once, aimed into one folder: the data log, the trace and the scan
// record of a sweep, and the CSV and PNG exports of a whole record taken before any fault.
struct all_writers {
  all_writers() {
    QDir().mkpath(out);
    started = r.start();
    r.window.checks[check_box::repeat] = false;
    r.inst.readings.add(record);
    r.inst.readings.add(trigger);
    r.inst.exchange.set_trace(&trace);
    trace.on_failure = [this](const std::string& m) { trace_said = m; };
    std::string why;
    if (r.sweep()) earlier = read_scan_record(record.path(), &why);
  }
  ~all_writers() {
    r.inst.readings.remove(trigger);
    r.inst.readings.remove(record);
    r.inst.exchange.set_trace(nullptr);
  }
  bool ready() const { return started && earlier.has_value(); }

  // A sweep at the start values with the data log on, then both exports.
  void run() {
    r.window.set_log_data(true);
    swept = r.sweep();
    csv_said = export_scan_csv(*earlier, csv);
    png_said = export_cycle(maps_from_record(*earlier), 1, png);
  }

  struct said {
    const char* writer;
    std::string message;
    const kept_account* kept;  // null for an export
  };
  std::vector<said> all_said() const {
    std::string log;
    for (const auto& s : r.window.statuses)
      if (s.starts_with("A data log line could not be written") && log.empty()) log = s;
    return {{"data log", log, &r.inst.datalog.kept()},
            {"trace", trace_said, &trace.kept()},
            {"record", record_said, &record.kept()},
            {"CSV export", csv_said, nullptr},
            {"PNG export", png_said, nullptr}};
  }

  QTemporaryDir dir;
  QString out = dir.filePath("out");
  QString csv = out + "/table.csv";
  QString png = out + "/maps.png";
  drill_rig r{1000, {}, out};
  device::report_trace trace;
  std::string trace_said, record_said, csv_said, png_said;
  scan_record_writer record{r.window, out,    head_description{"simulated", "seed=1729", {}, {}},
                            1000,     "1.00", [this](const std::string& m) { record_said = m; }};
  at_reading trigger;
  std::optional<scan_record> earlier;
  bool started = false;
  bool swept = false;
};

// Each writer under one fault: what it said holds the reason, and a log that lost something
// says so in its account, which a headless job's exit status reads.
void expect_said(const all_writers& w,
                 const std::vector<std::pair<std::string, std::string>>& reasons) {
  EXPECT_TRUE(w.swept) << "the sweep goes on: " << w.r.status();
  for (const auto& s : w.all_said()) {
    SCOPED_TRACE(s.writer);
    const auto expected = std::find_if(reasons.begin(), reasons.end(),
                                       [&](const auto& r) { return r.first == s.writer; });
    if (expected == reasons.end()) continue;
    EXPECT_NE(s.message.find(expected->second), std::string::npos) << s.message;
    EXPECT_EQ(s.message.find("Unknown error"), std::string::npos);
    if (s.kept) {
      EXPECT_FALSE(s.kept->all_kept());
    }
  }
}

bool is_device(const char* path, mode_t kind) {
  struct stat s {};
  return ::stat(path, &s) == 0 && (s.st_mode & S_IFMT) == kind;
}

TEST(DrillFailingFiles, AFullDiskIsNamedByEveryWriterAndADeviceIsNeverReplaced) {
  all_writers w;
  ASSERT_TRUE(w.ready());
  ASSERT_TRUE(QFile::link("/dev/full", w.r.inst.datalog.path()));
  ASSERT_EQ(w.trace.open("/dev/full"), "");
  w.csv = w.png = "/dev/full";
  w.run();
  // A new record cannot be aimed at a device; the size limit below fails it the same way.
  expect_said(w, {{"data log", "No space left on device"},
                  {"trace", "No space left on device"},
                  {"CSV export", "not a regular file"},
                  {"PNG export", "not a regular file"}});
  EXPECT_TRUE(is_device("/dev/full", S_IFCHR));
}

TEST(DrillFailingFiles, ASizeLimitIsAnOrdinaryWriteErrorAndEveryFileKeepsWholeLines) {
  all_writers w;
  ASSERT_TRUE(w.ready());
  const QString trace_path = w.out + "/trace.txt";
  ASSERT_EQ(w.trace.open(trace_path.toStdString(), "Brevane 1.00, simulated head"), "");
  for (const QString& e : {w.csv, w.png}) ASSERT_EQ(files::write_whole(e, "earlier\n"), "");
  const QString first_record = w.record.path();
  const QByteArray trace_before = file_bytes(trace_path);
  {
    file_size_limit limit(4096);
    ASSERT_TRUE(limit.ok());
    w.run();
  }
  expect_said(w, {{"data log", "File too large"},
                  {"trace", "File too large"},
                  {"record", "File too large"},
                  {"CSV export", "File too large"},
                  {"PNG export", "File too large"}});
  for (const QString& e : {w.csv, w.png}) EXPECT_EQ(file_bytes(e), "earlier\n") << e.toStdString();
  const QString log = w.r.inst.datalog.path();
  for (const QString& appended : {log, trace_path, w.record.path()}) {
    SCOPED_TRACE(appended.toStdString());
    const QByteArray bytes = file_bytes(appended);
    EXPECT_GT(bytes.size(), 0);
    EXPECT_TRUE(bytes.endsWith('\n')) << "a torn last line";
  }
  EXPECT_TRUE(file_bytes(trace_path).startsWith(trace_before));
  EXPECT_NE(w.record.path(), first_record);
  // Both cut files are still what their readers take: the trace replays up to its end.
  std::string why;
  EXPECT_TRUE(device::read_trace(trace_path.toStdString(), &why)) << why;
  const auto cut = read_scan_record(w.record.path(), &why);
  ASSERT_TRUE(cut) << why;
  // Every line is whole; only the end is missing, as after a crash.
  ASSERT_EQ(cut->problems.size(), 1u);
  EXPECT_NE(cut->problems[0].find("ended unexpectedly"), std::string::npos) << cut->problems[0];
  EXPECT_EQ(static_cast<long>(cut->readings.size()), w.record.readings_written());
  // No temporary file of a failed export is left behind.
  EXPECT_TRUE(QDir(w.out).entryList({"*.part"}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST(DrillFailingFiles, AFolderDeletedMidSweepIsNoticedByEveryWriterAndNotMadeAgain) {
  all_writers w;
  ASSERT_TRUE(w.ready());
  ASSERT_EQ(w.trace.open((w.out + "/trace.txt").toStdString()), "");
  w.trigger.n = w.trigger.seen + 60;
  w.trigger.act = [&w] { QDir(w.out).removeRecursively(); };
  w.run();
  expect_said(w, {{"data log", "No such file or directory"},
                  {"trace", "was deleted"},
                  {"record", "was deleted"},
                  {"CSV export", "No such file or directory"},
                  {"PNG export", "No such file or directory"}});
  EXPECT_FALSE(QFileInfo::exists(w.out));
}

TEST(DrillFailingFiles, AnExportAimedAtAFifoIsRefusedAndLeftAsItIs) {
  all_writers w;
  ASSERT_TRUE(w.ready());
  for (const QString& target : {w.csv, w.png})
    ASSERT_EQ(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
  w.run();
  expect_said(w, {{"CSV export", "not a regular file"}, {"PNG export", "not a regular file"}});
  for (const QString& target : {w.csv, w.png})
    EXPECT_TRUE(is_device(QFile::encodeName(target).constData(), S_IFIFO));
}

TEST(DrillFailingFiles, ImageNameTakenByAFolderIsLeftAloneForANumberedName) {
  drill_rig r(1000);
  ASSERT_TRUE(r.start());
  r.window.set_log_images(true);
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
                            " could not be opened: it is a folder, not a file");
  EXPECT_EQ(r.head.commands_received(), 0);
}

}  // namespace
}  // namespace brevane
