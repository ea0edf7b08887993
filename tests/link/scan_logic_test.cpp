#include <gtest/gtest.h>

#include "link/scan_logic.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

TEST(ScanReplyBlock, LayoutAndEntry) {
  const uint8_t payload[] = {'o', 'k', 0xFF};
  const Bytes block = buildScanReplyBlock("10.0.0.7", payload, 3);
  const Bytes want = {3, 0, 0, 0, '1', '0', '.', '0', '.', '0', '.', '7', 0, 'o', 'k', 0xFF};
  EXPECT_EQ(block, want);
  EXPECT_EQ(block.size(), 3u + 8u + 5u);
  EXPECT_EQ(scanReplyEntry(block.data(), static_cast<int32_t>(block.size())), "10.0.0.7");

  // A length above 255 needs all four little-endian bytes.
  const Bytes big(1000, 0xAA);
  const Bytes b2 = buildScanReplyBlock("127.0.0.1", big.data(), 1000);
  EXPECT_EQ((Bytes{b2[0], b2[1], b2[2], b2[3]}), (Bytes{0xE8, 0x03, 0, 0}));
  EXPECT_EQ(b2.size(), 1000u + 9u + 5u);
}

TEST(ScanReplyBlock, ShortOrUnterminatedBlocksAreReadSafely) {
  const Bytes block = {1, 0, 0, 0, 'a', 'b'};
  EXPECT_EQ(scanReplyEntry(nullptr, 10), std::nullopt);
  EXPECT_EQ(scanReplyEntry(block.data(), 4), std::nullopt);
  EXPECT_EQ(scanReplyEntry(block.data(), 0), std::nullopt);
  EXPECT_EQ(scanReplyEntry(block.data(), -1), std::nullopt);
  // No terminator: the text stops at the block's end, not beyond.
  EXPECT_EQ(scanReplyEntry(block.data(), 6), "ab");
  EXPECT_EQ(scanReplyEntry(block.data(), 5), "a");
  const Bytes empty = {0, 0, 0, 0, 0};
  EXPECT_EQ(scanReplyEntry(empty.data(), 5), std::nullopt);
}

TEST(FoundDevicesList, CaseInsensitiveDedupeInArrivalOrder) {
  FoundDevices found;
  EXPECT_TRUE(found.add("192.168.1.9"));
  EXPECT_TRUE(found.add("Device-A"));
  EXPECT_FALSE(found.add("192.168.1.9"));
  EXPECT_FALSE(found.add("device-a"));
  EXPECT_FALSE(found.add("DEVICE-A"));
  EXPECT_TRUE(found.add("192.168.1.10"));
  EXPECT_EQ(found.entries(), (std::vector<std::string>{"192.168.1.9", "Device-A", "192.168.1.10"}));
  found.clear();
  EXPECT_TRUE(found.entries().empty());
  EXPECT_TRUE(found.add("device-a"));
  EXPECT_TRUE(equalsIgnoringCase("Ab", "aB"));
  EXPECT_FALSE(equalsIgnoringCase("ab", "abc"));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));  // not letters: no folding across the gap
}

TEST(ScanDestinations, LimitedBroadcastThenUsableInterfacesOnceOrTheGivenTargetAlone) {
  int asked = 0;
  const InterfaceSource table = [&] {
    ++asked;
    return std::vector<NetInterface>{
        {"lo", true, true, {0x7FFFFFFF}},                // loopback
        {"eth0", true, false, {0xC0A801FF}},             // 192.168.1.255, cabled to the device
        {"eth1", false, false, {0x0A0000FF}},            // down
        {"tun0", true, false, {}},                       // no broadcast address
        {"wlan0", true, false, {0xAC10FFFF, 0xC0A801FF, 0, 0xFFFFFFFF}},  // 172.16.255.255, repeats
    };
  };
  EXPECT_EQ(scanDestinations("", table),
            (std::vector<std::string>{"255.255.255.255", "192.168.1.255", "172.16.255.255"}));
  EXPECT_EQ(scanDestinations("", {}), std::vector<std::string>{"255.255.255.255"});
  EXPECT_EQ(asked, 1);
  // A given target goes out alone and the interfaces are not even asked.
  EXPECT_EQ(scanDestinations("127.0.0.1", table), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(asked, 1);
}
