#include "common/apart.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace brevane {
namespace {

// What the child returns comes back whole; a child that dies is a failure, never a success,
// and the program lives on.
TEST(RunApart, TellsWhatTheChildSaidAndAChildThatDiedIsAFailure) {
  const std::string long_text(100000, 'x');  // more than a pipe holds at once
  const struct {
    const char* what;
    std::function<std::string()> work;
    std::string said;
  } cases[] = {
      {"success", [] { return std::string(); }, ""},
      {"a reason", [] { return std::string("cannot be made: no"); }, "cannot be made: no"},
      {"a long reason", [&] { return long_text; }, long_text},
      {"a crash",
       [] {
         // As the system ends a crash, past any handler a sanitizer puts in the way.
         (void)std::signal(SIGSEGV, SIG_DFL);
         std::raise(SIGSEGV);
         return std::string();
       },
       "its writer ended by signal " + std::to_string(SIGSEGV)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run_apart(c.work), c.said);
  }
}

}  // namespace
}  // namespace brevane
