// The fuzz targets' invariants in the normal test run: every seed of fuzz/corpus, and every input
// a fuzz target once failed on, embedded byte for byte.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/command_line_checks.h"
#include "../../fuzz/input_report_checks.h"
#include "../../fuzz/list_file_checks.h"
#include "../../fuzz/list_reader_checks.h"
#include "../../fuzz/plan_checks.h"
#include "../../fuzz/record_values_checks.h"
#include "../../fuzz/scan_record_checks.h"
#include "../../fuzz/simulate_options_checks.h"
#include "../../fuzz/text_filter_checks.h"
#include "../../fuzz/trace_checks.h"
#include "logging/list_upload.h"

namespace brevane {
namespace {

using bytes = std::vector<std::uint8_t>;

// The seed inputs of one fuzz target, read from the source tree.
std::vector<std::pair<std::string, bytes>> seeds(const std::string& target) {
  // Not __FILE__: a compiler cache may make it relative to the build folder.
  const auto folder = std::filesystem::path(BREVANE_SOURCE_DIR) / "fuzz" / "corpus" / target;
  std::vector<std::pair<std::string, bytes>> out;
  if (!std::filesystem::is_directory(folder)) return out;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    out.emplace_back(entry.path().filename().string(),
                     bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  return out;
}

template <class Check>
void replay_seeds(const std::string& target, Check check) {
  const auto inputs = seeds(target);
  if (inputs.empty()) GTEST_SKIP() << "no seeds of " << target << " beside the sources";
  for (const auto& [name, data] : inputs) EXPECT_EQ(check(data), "") << target << "/" << name;
}

TEST(FuzzInputReports, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_input_reports",
               [](const bytes& d) { return fuzzing::check_input_reports(d); });
}

TEST(FuzzInputReports, ReportsOfEveryLengthFillTheBufferFromByteOne) {
  // Headers 0x00..0xf8 store into heap buffers of 0 to 31 bytes as well.
  bytes data;
  for (int length = 0; length <= 70; ++length) {
    data.push_back(static_cast<std::uint8_t>((length % 32) << 3));
    data.push_back(static_cast<std::uint8_t>(length));
    for (int i = 0; i < length; ++i) data.push_back(static_cast<std::uint8_t>(0x41 + i));
    data.push_back(0x04);  // echo check of byte 3
    data.push_back(0x01);
    data.push_back('C');
  }
  EXPECT_EQ(fuzzing::check_input_reports(data), "");
}

TEST(FuzzListFile, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_list_file", [](const bytes& d) { return fuzzing::check_list_file(d); });
}

// Found by fuzz_list_file: a CR that is the last character kept of a line cut at the keep
// limit is removed as if it ended the line, although the line goes on.
TEST(FuzzListFile, CarriageReturnAtTheCutIsPartOfTheLine) {
  const bytes found = {0x81, 0x0d, 0xde};  // keep 1; the file is CR, 0xde
  EXPECT_EQ(fuzzing::check_list_file(found), "");

  QByteArray file(63, 'A');
  file += "\rB\n";
  QBuffer buffer(&file);
  ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
  list_line_reader reader(buffer);
  const auto line = reader.next();
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, std::string(63, 'A') + "\r");
}

TEST(FuzzTextFilters, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_text_filters", [](const bytes& d) { return fuzzing::check_text_filters(d); });
}

TEST(FuzzTextFilters, LengthLimitCountsCharactersNotUnits) {
  // 0xff, 0xfc + k: the text padded to 32765 + k characters; four-byte UTF-8 characters make
  // more UTF-16 units than characters, right at the limit.
  const bytes emoji = {0xf0, 0x9f, 0x98, 0x80};
  for (std::uint8_t k = 0; k < 4; ++k) {
    bytes data = {0xff, static_cast<std::uint8_t>(0xfc + k)};
    for (int i = 0; i < 8; ++i) data.insert(data.end(), emoji.begin(), emoji.end());
    EXPECT_EQ(fuzzing::check_text_filters(data), "") << "32765 + " << int(k) << " characters";
  }
}

TEST(FuzzScanRecord, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_scan_record", [](const bytes& d) { return fuzzing::check_scan_record(d); });
}

TEST(FuzzTraceReader, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_trace_reader", [](const bytes& d) { return fuzzing::check_trace(d); });
}

TEST(FuzzSimulateOptions, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_simulate_options",
               [](const bytes& d) { return fuzzing::check_simulate_options(d); });
}

TEST(FuzzPlan, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_plan", [](const bytes& d) { return fuzzing::check_plan(d); });
}

TEST(FuzzListReader, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_list_reader", [](const bytes& d) { return fuzzing::check_list_reader(d); });
}

TEST(FuzzRecordValues, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_record_values",
               [](const bytes& d) { return fuzzing::check_record_values(d); });
}

TEST(FuzzCommandLine, SeedsKeepTheInvariants) {
  replay_seeds("fuzz_command_line", [](const bytes& d) { return fuzzing::check_command_line(d); });
}

}  // namespace
}  // namespace brevane
