#include "app/command_line.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(CommandLine, NoArgumentsOpensTheWindowOnTheUsbHead) {
  std::string error;
  auto cl = parse_command_line({}, &error);
  ASSERT_TRUE(cl);
  EXPECT_FALSE(cl->simulate);
  EXPECT_FALSE(cl->headless_job());
  EXPECT_EQ(cl->echo_timeout_ms, 3000);
}

TEST(CommandLine, ReadsEveryOption) {
  std::string error;
  auto cl = parse_command_line({"--simulate=latency=200,seed=5", "--trace", "t.txt",
                                "--echo-timeout", "500", "--sweep", "--cycles=3", "--log-data",
                                "--log-images"},
                               &error);
  ASSERT_TRUE(cl) << error;
  ASSERT_TRUE(cl->simulate);
  EXPECT_EQ(cl->simulate->latency_ms, 200);
  EXPECT_EQ(cl->simulate->seed, 5u);
  EXPECT_EQ(cl->trace_file, "t.txt");
  EXPECT_EQ(cl->echo_timeout_ms, 500);
  EXPECT_TRUE(cl->sweep);
  EXPECT_EQ(cl->cycles, 3);
  EXPECT_TRUE(cl->log_data && cl->log_images);
  EXPECT_TRUE(cl->headless_job());

  cl = parse_command_line({"--simulate", "--upload-list", "list.txt"}, &error);
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->simulate->latency_ms, 0);
  EXPECT_EQ(cl->upload_list, "list.txt");
}

TEST(CommandLine, BadInputIsRefusedWithAMessage) {
  std::string error;
  EXPECT_FALSE(parse_command_line({"--echo-timeout", "soon"}, &error));
  EXPECT_NE(error.find("soon"), std::string::npos);
  EXPECT_FALSE(parse_command_line({"--simulate=latency"}, &error));
  EXPECT_FALSE(parse_command_line({"--trace"}, &error));
  EXPECT_FALSE(parse_command_line({"--cycles", "0"}, &error));
  EXPECT_FALSE(parse_command_line({"--frobnicate"}, &error));
  EXPECT_NE(error.find("--frobnicate"), std::string::npos);
  EXPECT_NE(command_line_help().find("--upload-list"), std::string::npos);
}

}  // namespace
}  // namespace brevane
