// The remote parser's fuzz invariants in the normal test run: every seed of its corpus, and
// the inputs it once failed on.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/scpi_parser_checks.h"

namespace brevane {
namespace {

using bytes = std::vector<std::uint8_t>;

TEST(FuzzScpiParser, SeedsKeepTheInvariants) {
  const auto folder =
      std::filesystem::path(BREVANE_SOURCE_DIR) / "fuzz" / "corpus" / "fuzz_scpi_parser";
  ASSERT_TRUE(std::filesystem::is_directory(folder));
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const bytes data(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(fuzzing::check_scpi_parser(data), "") << entry.path().filename();
  }
}

}  // namespace
}  // namespace brevane
