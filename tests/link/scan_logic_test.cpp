#include <gtest/gtest.h>

#include "link/scan_logic.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

TEST(ScanReplyBlock, LayoutAndEntry) {
  const uint8_t payload[] = {'o', 'k', 0xFF};
  const Bytes block = buildScanReplyBlock("10.0.0.7", payload, 3);
  EXPECT_EQ(block, (Bytes{3, 0, 0, 0, '1', '0', '.', '0', '.', '0', '.', '7', 0, 'o', 'k', 0xFF}));
  EXPECT_EQ(scanReplyEntry(block.data(), static_cast<int32_t>(block.size())), "10.0.0.7");
  // A length above 255 needs all four little-endian bytes.
  const Bytes big(1000, 0xAA);
  const Bytes b2 = buildScanReplyBlock("127.0.0.1", big.data(), 1000);
  EXPECT_EQ((Bytes{b2[0], b2[1], b2[2], b2[3]}), (Bytes{0xE8, 0x03, 0, 0}));
  EXPECT_EQ(b2.size(), 1000u + 9u + 5u);

  // Short or unterminated blocks are read safely.
  const Bytes tiny = {1, 0, 0, 0, 'a', 'b'};
  for (int32_t size : {4, 0, -1}) EXPECT_EQ(scanReplyEntry(tiny.data(), size), std::nullopt) << size;
  EXPECT_EQ(scanReplyEntry(nullptr, 10), std::nullopt);
  EXPECT_EQ(scanReplyEntry(tiny.data(), 6), "ab");  // no terminator: the text stops at the block's end
  EXPECT_EQ(scanReplyEntry(tiny.data(), 5), "a");
  const Bytes empty = {0, 0, 0, 0, 0};
  EXPECT_EQ(scanReplyEntry(empty.data(), 5), std::nullopt);
}

TEST(FoundDevicesList, CaseInsensitiveDedupeInArrivalOrder) {
  FoundDevices found;
  for (const char* entry : {"192.168.1.9", "Device-A", "192.168.1.9", "device-a", "DEVICE-A", "192.168.1.10"})
    found.add(entry);
  EXPECT_EQ(found.entries(), (Strings{"192.168.1.9", "Device-A", "192.168.1.10"}));
  EXPECT_FALSE(found.add("device-a"));
  found.clear();
  EXPECT_TRUE(found.add("device-a"));
  EXPECT_FALSE(equalsIgnoringCase("ab", "abc"));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));  // not letters: no folding across the gap
}

TEST(ScanDestinations, LimitedBroadcastThenUsableInterfacesOnceOrTheGivenTargetAlone) {
  int asked = 0;
  const InterfaceSource table = [&] {
    ++asked;
    return std::vector<NetInterface>{
        {"lo", true, true, {0x7FFFFFFF}},                                 // loopback
        {"eth0", true, false, {0xC0A801FF}},                              // 192.168.1.255
        {"eth1", false, false, {0x0A0000FF}},                             // down
        {"tun0", true, false, {}},                                        // no broadcast address
        {"wlan0", true, false, {0xAC10FFFF, 0xC0A801FF, 0, 0xFFFFFFFF}},  // 172.16.255.255, repeats
    };
  };
  EXPECT_EQ(scanDestinations("", table), (Strings{"255.255.255.255", "192.168.1.255", "172.16.255.255"}));
  EXPECT_EQ(scanDestinations("", {}), Strings{"255.255.255.255"});
  // A given target goes out alone and the interfaces are not even asked.
  EXPECT_EQ(scanDestinations("127.0.0.1", table), Strings{"127.0.0.1"});
  EXPECT_EQ(asked, 1);
}
