// The exports read back by readers nobody here wrote: h5py, silx and Debian's nexus-tools for
// NeXus, tifffile and ImageMagick for TIFF, pandas running the README's recipe on the CSV, run
// as /usr/bin/python3 scripts (tests/export/*.py) that work out from the record's JSON lines
// what each cell must hold. Then what an operator sees when an export cannot be made.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <iostream>

#include "common/file_output.h"
#include "export/nexus_export.h"
#include "export/tiff_export.h"
#include "logging/scan_record_reader.h"

namespace brevane {
namespace {

struct outcome {
  int code = -1;
  QByteArray out, err;
};

outcome run(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  outcome o;
  if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
    o.err = "did not finish: " + p.errorString().toUtf8();
    return o;
  }
  o.code = p.exitCode();
  o.out = p.readAllStandardOutput();
  o.err = p.readAllStandardError();
  return o;
}

outcome brevane(const QStringList& arguments) {
  return run(QStringLiteral(BREVANE_PROGRAM), arguments);
}

constexpr const char* python = "/usr/bin/python3";
constexpr int skipped = 77;  // the scripts' code for a reader that is missing

outcome check(const char* script, const QStringList& arguments) {
  if (!QFileInfo::exists(QLatin1String(python))) return {skipped, "no /usr/bin/python3", {}};
  outcome o =
      run(QLatin1String(python),
          QStringList{QStringLiteral(BREVANE_SOURCE_DIR "/tests/export/") + QLatin1String(script)} +
              arguments);
  // What the readers found goes into the test's log.
  std::cout << o.out.toStdString() << o.err.toStdString();
  return o;
}

// Skips when a reader is missing; the scripts' own lines say what differs.
#define EXPECT_READERS_AGREE(call)                                                        \
  do {                                                                                    \
    const outcome checked = (call);                                                       \
    if (checked.code == skipped) GTEST_SKIP() << checked.out.toStdString();               \
    EXPECT_EQ(checked.code, 0) << checked.out.toStdString() << checked.err.toStdString(); \
  } while (false)

// One two-cycle simulated sweep at the start values, exported as it ends.
class FieldReaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new QTemporaryDir;
    swept = brevane({"--simulate", "--sweep", "--cycles", "2", "--data-folder", path("data"),
                     "--export-nexus", path("sweep.nxs"), "--export-tiff", path("sweep.tif")});
    const QStringList records =
        QDir(path("data/scans")).entryList({QStringLiteral("*.jsonl")}, QDir::Files);
    if (records.size() == 1) record = path("data/scans/" + records.front());
  }
  static void TearDownTestSuite() { delete folder; }
  static QString path(const QString& name) { return folder->filePath(name); }

  // The record's first n lines and half of the next: a sweep cut short mid-line.
  static QString cut_record(int n) {
    QFile in(record);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    QByteArray kept;
    for (int i = 0; i < n; ++i) kept += lines[i] + '\n';
    kept += lines[n].left(lines[n].size() / 2);
    const QString cut = path("cut.jsonl");
    EXPECT_EQ(files::write_whole(cut, kept), "");
    return cut;
  }

  // The record's first and last lines: a sweep that ended before its first reading.
  static QString empty_record(const QString& name) {
    QFile in(record);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().trimmed().split('\n');
    EXPECT_EQ(files::write_whole(name, lines.front() + '\n' + lines.back() + '\n'), "");
    return name;
  }

  static inline QTemporaryDir* folder = nullptr;
  static inline outcome swept;
  static inline QString record;
};

TEST_F(FieldReaders, ASweepsNexusAndTiffHoldEveryCellOfItsRecord) {
  ASSERT_EQ(swept.code, 0) << swept.err.toStdString();
  ASSERT_FALSE(record.isEmpty());
  EXPECT_READERS_AGREE(check("check_nexus.py", {record, path("sweep.nxs"), "2,7,32"}));
  EXPECT_READERS_AGREE(check("check_tiff.py", {record, path("sweep.tif"), "2", "7,32"}));
  const outcome csv = brevane({"--open", record, "--export-csv", path("sweep.csv")});
  ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
  EXPECT_READERS_AGREE(check("check_csv_recipe.py", {BREVANE_SOURCE_DIR "/README.md", record,
                                                     path("sweep.csv"), path("sweep.nxs")}));
}

// Readers skip settings they do not know, whatever their keys; HDF5 takes '/' and "." as paths,
// so such a key is kept under an escaped name with its own spelling beside it.
TEST_F(FieldReaders, SettingsWhoseKeysAreNoHdf5NamesAreKeptEscaped) {
  const struct {
    const char* key;
    const char* name;
  } names[] = {{"gain", "gain"}, {"a/b", "a%2Fb"},     {".", "%2E"},  {"..", "%2E%2E"},
               {"", "%"},        {"a%2Fb", "a%252Fb"}, {"a.b", "a.b"}};
  for (const auto& n : names) EXPECT_EQ(link_name(n.key), n.name) << n.key;

  ASSERT_FALSE(record.isEmpty());
  QFile in(record);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  QByteArray text = in.readAll();
  text.replace("\"settings\":{", R"("settings":{"a/b":1,".":true,"":"empty","a%2Fb":2,)");
  const QString odd = path("odd keys.jsonl");
  ASSERT_EQ(files::write_whole(odd, text), "");
  const outcome o = brevane({"--open", odd, "--export-nexus", path("odd.nxs")});
  ASSERT_EQ(o.code, 0) << o.err.toStdString();
  EXPECT_READERS_AGREE(check("check_nexus.py", {odd, path("odd.nxs"), "2,7,32"}));
}

TEST_F(FieldReaders, ARecordCutShortExportsItsGoodLinesWithNaNWhereNothingWasTaken) {
  ASSERT_FALSE(record.isEmpty());
  const QString cut = cut_record(300);
  const outcome o = brevane({"--open", cut, "--export-nexus", path("cut.nxs"), "--export-tiff",
                             path("cut.tif"), "--cycle", "2", "--export-csv", path("cut.csv")});
  ASSERT_EQ(o.code, 0) << o.err.toStdString();
  EXPECT_EQ(o.err.count("cut.jsonl: line 301: not a JSON object"), 1)
      << "named once for the three exports: " << o.err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(path("cut.csv")));
  EXPECT_TRUE(o.err.contains("the record ended unexpectedly")) << o.err.toStdString();
  const outcome nexus = check("check_nexus.py", {cut, path("cut.nxs"), "2,7,32"});
  EXPECT_READERS_AGREE(nexus);
  EXPECT_FALSE(nexus.out.contains("(0 NaN")) << "the second cycle was not finished";
  const outcome tiff = check("check_tiff.py", {cut, path("cut.tif"), "2", "7,32"});
  EXPECT_READERS_AGREE(tiff);
  EXPECT_FALSE(tiff.out.contains("(0 NaN")) << "the second cycle was not finished";
}

// The maps are written a cycle at a time as the record is read; a reading that goes back to a
// cycle already written must still land in that cycle's cell.
TEST_F(FieldReaders, AReadingThatGoesBackToAnEarlierCycleIsInThatCyclesMap) {
  ASSERT_FALSE(record.isEmpty());
  QFile in(record);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = in.readAll().trimmed().split('\n');
  const auto first_point = std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) {
    return l.contains(R"("cycle":1,)") && l.contains(R"("kind":"point")");
  });
  ASSERT_NE(first_point, lines.end());
  QByteArray late = *first_point;
  late.replace("\"temperature_f\":", "\"temperature_f\":70.001,\"was\":");
  lines.insert(lines.size() - 1, late);
  const QString back = path("back.jsonl");
  ASSERT_EQ(files::write_whole(back, lines.join('\n') + '\n'), "");
  const outcome o = brevane({"--open", back, "--export-nexus", path("back.nxs"), "--export-tiff",
                             path("back.tif"), "--cycle", "1"});
  ASSERT_EQ(o.code, 0) << o.err.toStdString();
  EXPECT_READERS_AGREE(check("check_nexus.py", {back, path("back.nxs"), "2,7,32"}));
  EXPECT_READERS_AGREE(check("check_tiff.py", {back, path("back.tif"), "1", "7,32"}));
}

TEST_F(FieldReaders, ARecordWithoutReadingsExportsEmptyMapsWithItsSettings) {
  ASSERT_FALSE(record.isEmpty());
  const QString empty = empty_record(path("empty.jsonl"));
  const outcome o = brevane({"--open", empty, "--export-nexus", path("empty.nxs")});
  EXPECT_EQ(o.code, 0) << o.err.toStdString();
  EXPECT_READERS_AGREE(check("check_nexus.py", {empty, path("empty.nxs"), "0,0,0"}));
}

// Every refusal exits 1 (2 for options that do not go together) with its reason on one line,
// and leaves no file, not even a temporary one.
TEST_F(FieldReaders, AnExportThatCannotBeMadeSaysWhyAndLeavesNothing) {
  ASSERT_FALSE(record.isEmpty());
  QTemporaryDir out;
  const QString empty = empty_record(out.filePath("empty.jsonl"));
  const struct {
    QStringList arguments;
    int status;
    QByteArray reason;
  } cases[] = {
      {{"--open", record, "--export-nexus", out.filePath("none/a.nxs")},
       1,
       "the NeXus file " + out.filePath("none/a.nxs").toUtf8() +
           " cannot be written: No such file or directory"},
      {{"--open", record, "--export-tiff", out.path()}, 1, "cannot be written: it is a folder"},
      {{"--open", record, "--export-tiff", out.filePath("a.tif"), "--cycle", "3"},
       1,
       "holds 2 cycle(s) of readings; there is no cycle 3"},
      {{"--open", empty, "--export-tiff", out.filePath("a.tif")},
       1,
       "empty.jsonl holds no map readings; a TIFF needs at least one"},
      {{"--open", out.filePath("gone.jsonl"), "--export-nexus", out.filePath("a.nxs")},
       1,
       "cannot be read"},
      {{"--export-tiff", out.filePath("a.tif")}, 2, "--export-tiff needs --sweep or --open FILE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const outcome o = brevane(c.arguments);
    EXPECT_EQ(o.code, c.status);
    EXPECT_TRUE(o.err.contains(c.reason)) << o.err.toStdString();
    EXPECT_EQ(o.err.count('\n'), 1) << o.err.toStdString();
    EXPECT_EQ(
        QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList{"empty.jsonl"});
  }
}

// A disk that fills up while the file is written: the writer's failure in the system's words.
TEST_F(FieldReaders, AWriteThatFailsMidwayNamesTheReasonAndLeavesNoFile) {
  std::string refusal;
  const auto read = read_scan_record(record, &refusal);
  ASSERT_TRUE(read) << refusal;
  files::ignore_size_limit_signal();
  QTemporaryDir out;
  for (const char* name : {"a.nxs", "a.tif"}) {
    SCOPED_TRACE(name);
    const QString target = out.filePath(QLatin1String(name));
    struct rlimit before {};
    ::getrlimit(RLIMIT_FSIZE, &before);
    struct rlimit small = before;
    small.rlim_cur = 2048;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string why = target.endsWith(QLatin1String(".nxs"))
                                ? export_nexus(*read, record, target, "1.00")
                                : export_tiff(*read, record, std::nullopt, target, "1.00");
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_NE(why.find("cannot be written: File too large"), std::string::npos) << why;
    EXPECT_TRUE(QDir(out.path()).isEmpty(QDir::Files | QDir::Hidden));
  }
}

}  // namespace
}  // namespace brevane
