#include <gtest/gtest.h>

#include "cli/cli_options.h"

using namespace velmora::cli;
using Args = std::vector<std::string>;

TEST(CliOptions, LinkSettingsAndCommandsAreTaken) {
  auto r = parseArguments({"--tcp", "127.0.0.1:6000", "--address", "7", "read", "out.vmc", "--force"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->tcpHost, "127.0.0.1");
  EXPECT_EQ(r.options->tcpPort, 6000);
  EXPECT_EQ(r.options->address, 7);
  EXPECT_EQ(r.options->command, Command::Read);
  EXPECT_EQ(r.options->file, "out.vmc");
  EXPECT_TRUE(r.options->force);

  // The codes the connection page's lists give these choices.
  r = parseArguments({"--serial", "/dev/pts/3", "--baud", "115200", "--data-bits", "7", "--stop-bits", "1.5",
                      "--parity", "space", "set-address", "245"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->serialDevice, "/dev/pts/3");
  EXPECT_EQ(r.options->baud, 115200);
  EXPECT_EQ(r.options->dataBits, 7);
  EXPECT_EQ(r.options->stopBitsCode, 1);
  EXPECT_EQ(r.options->parityCode, 4);
  EXPECT_EQ(r.options->newAddress, 245);

  r = parseArguments({"scan", "--target", "127.0.0.1:988", "--wait", "0.5"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->scanPort, 988);
  EXPECT_DOUBLE_EQ(r.options->scanWaitSeconds, 0.5);
}

TEST(CliOptions, UsageErrorsHaveAOneLineReason) {
  const std::vector<Args> bad{
      {},
      {"read", "x.vmc"},                                                 // no link
      {"--tcp", "127.0.0.1:6000", "--serial", "/dev/x", "get-address"},  // two links
      {"--tcp", "127.0.0.1:0", "get-address"},
      {"--tcp", "127.0.0.1:65536", "get-address"},
      {"--tcp", "127.0.0.1:1", "set-address", "0"},
      {"--tcp", "127.0.0.1:1", "set-address", "256"},
      {"--tcp", "127.0.0.1:1", "--address", "0", "get-address"},
      {"--tcp", "127.0.0.1:1", "read"},
      {"--tcp", "127.0.0.1:1", "--parity", "both", "get-address"},
      {"--tcp", "127.0.0.1:1", "--stop-bits", "3", "get-address"},
      {"scan"},
      {"scan", "--target", "127.0.0.1:988", "--wait", "-1"},
      {"--bogus"},
  };
  for (const Args& args : bad) {
    const auto r = parseArguments(args);
    EXPECT_FALSE(r.options) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
}
