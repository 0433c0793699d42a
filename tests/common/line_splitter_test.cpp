#include "common/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace brevane {
namespace {

using lines = std::vector<std::pair<std::string, bool>>;  // text, too long

// However the bytes arrive, the same lines come out, and a long line is cut and passed over.
TEST(LineSplitter, PiecesOfAnySizeGiveTheSameLines) {
  const struct {
    std::string bytes;
    lines expected;
  } cases[] = {
      {"", {}},
      {"\n", {{"", false}}},
      {"abc", {{"abc", false}}},
      {"ab\ncdefgh\n\nij", {{"ab", false}, {"cdef", true}, {"", false}, {"ij", false}}},
      {"abcd\nabc\n", {{"abcd", true}, {"abc", false}}},
      {std::string(100, 'x'), {{"xxxx", true}}},
      {"\r\n\n", {{"\r", false}, {"", false}}},
  };
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= c.bytes.size() + 1; ++piece) {
      SCOPED_TRACE(c.bytes.substr(0, 20) + " in pieces of " + std::to_string(piece));
      line_splitter splitter(3);
      lines got;
      const auto each = [&](std::string_view text, bool too_long) {
        got.emplace_back(std::string(text), too_long);
        return true;
      };
      for (std::size_t i = 0; i < c.bytes.size(); i += piece)
        ASSERT_TRUE(splitter.add(std::string_view(c.bytes).substr(i, piece), each));
      ASSERT_TRUE(splitter.finish(each));
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(LineSplitter, StopsAtTheLineThatIsRefused) {
  line_splitter splitter(3);
  int seen = 0;
  EXPECT_FALSE(splitter.add("a\nbbbbbbbbbb\nc\n", [&](std::string_view, bool too_long) {
    ++seen;
    return !too_long;
  }));
  EXPECT_EQ(seen, 2);
}

}  // namespace
}  // namespace brevane
