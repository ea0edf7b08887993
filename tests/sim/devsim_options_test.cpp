#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "sim/devsim_options.h"

using namespace velmora::sim;
using Args = std::vector<std::string>;

TEST(DevsimOptions, EveryOptionReachesItsField) {
  const ParsedOptions p = parseDevsimOptions(
      {"--tcp", "127.0.0.1:0", "--udp", "[::1]:988", "--pty", "--address", "200", "--image", "a.vmc", "--save",
       "b.vmc", "--baud", "9600", "--drop", "3", "--corrupt", "4", "--duplicate", "5", "--delay", "6:2500",
       "--reply-address", "7", "--close-after", "8", "--garbage", "2:100", "--store-wrong-byte", "0", "--log"});
  ASSERT_TRUE(p.options) << p.error;
  const DevsimOptions& o = *p.options;
  ASSERT_TRUE(o.tcp && o.udp);
  EXPECT_EQ(std::tie(o.tcp->host, o.tcp->port, o.udp->host, o.udp->port, o.udp->ipv6),
            std::make_tuple("127.0.0.1", 0, "::1", 988, true));
  EXPECT_EQ(std::tie(o.pty, o.address, o.imageFile, o.saveFile, o.baud, o.log),
            std::make_tuple(true, 200, "a.vmc", "b.vmc", 9600, true));
  EXPECT_EQ(std::tie(o.faults.dropAt, o.faults.corruptAt, o.faults.duplicateAt, o.faults.delayAt, o.faults.closeAfter,
                     o.faults.garbageAt, o.faults.garbageBytes, o.faults.replyAddressAt),
            std::make_tuple(3, 4, 5, 6, 8, 2, 100, 0));
  EXPECT_EQ(o.faults.delay.count(), 2500);
  EXPECT_EQ(o.faults.replyAddress, 7);
  EXPECT_EQ(o.faults.storeWrongByte, 0u) << "byte 0 is a byte, not \"off\"";
  EXPECT_FALSE(parseDevsimOptions({"--pty"}).options->faults.storeWrongByte);

  // The other forms: a burst before every answer, one reply address at the Nth.
  const ParsedOptions every = parseDevsimOptions({"--pty", "--garbage", "64", "--reply-address", "3:9"});
  ASSERT_TRUE(every.options) << every.error;
  const FaultPlan& f = every.options->faults;
  EXPECT_EQ(std::tie(f.garbageAt, f.garbageBytes, f.replyAddressAt), std::make_tuple(0, 64, 3));
  EXPECT_EQ(f.replyAddress, 9);
  EXPECT_TRUE(parseDevsimOptions({"--help"}).options->help);

  // Random faults: per cent with one decimal at most, and a seed.
  const ParsedOptions soak = parseDevsimOptions({"--pty", "--random-faults", "2.5:9"});
  ASSERT_TRUE(soak.options) << soak.error;
  EXPECT_EQ(std::tie(soak.options->faults.randomPerMille, soak.options->faults.randomSeed), std::make_tuple(25, 9u));
  EXPECT_EQ(parseDevsimOptions({"--pty", "--random-faults", "100"}).options->faults.randomPerMille, 1000);
  for (const char* bad : {"0", "0.0", "100.1", "2.55", "2.", ".5", "x", "3:", "3:-1", "3:4294967296"})
    EXPECT_FALSE(parseDevsimOptions({"--pty", "--random-faults", bad}).options) << bad;
  EXPECT_NE(devsimUsage().find("--close-after N"), std::string::npos);
  EXPECT_NE(devsimUsage().find("--store-wrong-byte I"), std::string::npos);
}

// Only loopback unless allowed: the program must never be the reason a test
// reaches a real network. Every refusal is one line.
TEST(DevsimOptions, WhatIsTakenAndWhatIsRefused) {
  const std::vector<Args> taken = {
      {"--tcp", "127.0.0.1:6000"}, {"--tcp", "127.8.9.10:1"}, {"--tcp", "localhost:5"}, {"--tcp", "[::1]:7"},
      {"--tcp", "[0:0:0:0:0:0:0:1]:7"}, {"--tcp", "192.168.1.110:6000", "--allow-nonlocal"}};
  const std::vector<Args> refused = {
      {"--udp", "192.168.1.110:6000"}, {"--udp", "0.0.0.0:6000"}, {"--udp", "10.0.0.1:1"}, {"--udp", "[::]:7"},
      {"--udp", "[::2]:7"}, {"--udp", "[::ffff:127.0.0.1]:7"},
      {},                                 // nothing to serve
      {"--tcp", "gateway.example:6000"},  // no name lookups
      {"--tcp", "127.0.0.1"}, {"--tcp", "127.0.0.1:65536"}, {"--tcp", "127.0.0.1:-1"}, {"--tcp", "127.0.0.1:80x"},
      {"--tcp", "127.0.0.256:80"}, {"--tcp", "127.0.0:80"}, {"--tcp", "::1:80"}, {"--tcp", "[::1:80"},
      {"--pty", "--address", "0"}, {"--pty", "--address", "256"}, {"--pty", "--baud", "0"}, {"--pty", "--drop", "0"},
      {"--pty", "--drop", "-1"}, {"--pty", "--delay", "3"}, {"--pty", "--delay", "0:100"}, {"--pty", "--delay", "3:x"},
      {"--pty", "--reply-address", "256"}, {"--pty", "--garbage", "0"}, {"--pty", "--garbage", "65537"},
      {"--pty", "--store-wrong-byte", "2048"}, {"--pty", "--store-wrong-byte", "-1"},
      {"--pty", "--frobnicate"}, {"--pty", "--image"}};
  for (const Args& args : taken) EXPECT_TRUE(parseDevsimOptions(args).options) << ::testing::PrintToString(args);
  for (const Args& args : refused) {
    const ParsedOptions p = parseDevsimOptions(args);
    EXPECT_FALSE(p.options) << ::testing::PrintToString(args);
    EXPECT_FALSE(p.error.empty());
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
  }
}

TEST(DevsimOptions, SeveralDevicesAndFaultsForOne) {
  const ParsedOptions p = parseDevsimOptions(
      {"--tcp", "127.0.0.1:6000", "--count", "20", "--fault-device", "19", "--drop", "all", "--save", "d-%d.vmc"});
  ASSERT_TRUE(p.options) << p.error;
  EXPECT_EQ(std::tie(p.options->count, p.options->faultDevice, p.options->faults.dropEvery, p.options->faults.dropAt),
            std::make_tuple(20, std::optional<int>{19}, true, 0));
  EXPECT_EQ(parseDevsimOptions({"--pty"}).options->count, 1);
  EXPECT_EQ(saveFileOf("out/d-%d.vmc", 17), "out/d-17.vmc");
  EXPECT_EQ(saveFileOf("%d-%d", 3), "3-3");
  EXPECT_EQ(saveFileOf("plain.vmc", 3), "plain.vmc");

  const std::vector<Args> taken = {
      {"--tcp", "127.0.0.1:0", "--count", "1000"}, {"--tcp", "127.0.0.1:64536", "--count", "1000"},
      {"--pty", "--count", "1", "--fault-device", "0"}, {"--tcp", "[::1]:0", "--count", "2", "--save", "%d"}};
  const std::vector<Args> refused = {
      {"--tcp", "127.0.0.1:0", "--count", "0"}, {"--tcp", "127.0.0.1:0", "--count", "1001"},
      {"--tcp", "127.0.0.1:64537", "--count", "1000"},               // past the last port
      {"--pty", "--count", "2"}, {"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--count", "2"},
      {"--tcp", "127.0.0.1:0", "--count", "2", "--save", "one.vmc"},  // both would write one file
      {"--tcp", "127.0.0.1:0", "--count", "3", "--fault-device", "3"}, {"--pty", "--fault-device", "-1"},
      {"--pty", "--drop", "every"}};
  for (const Args& args : taken) EXPECT_TRUE(parseDevsimOptions(args).options) << ::testing::PrintToString(args);
  for (const Args& args : refused) {
    const ParsedOptions r = parseDevsimOptions(args);
    EXPECT_FALSE(r.options) << ::testing::PrintToString(args);
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
}
