#include <gtest/gtest.h>

#include "pages/server_port_records.h"
#include "tests/pages/image_helpers.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
ConfigUnit serverUnit(uint8_t index, uint16_t port, uint32_t flags) {
  return {0x03, index, static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port), static_cast<uint8_t>(flags >> 24),
          static_cast<uint8_t>(flags >> 16), static_cast<uint8_t>(flags >> 8), static_cast<uint8_t>(flags)};
}

void load(ServerPortRecords& r, const Bytes& image) { r.load(image.data(), static_cast<int32_t>(image.size())); }

Bytes store(const ServerPortRecords& r, const Bytes& before = {}) {
  return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { r.store(b, n, c); });
}
}  // namespace

// The limit of 32 and its box are DialogNetServerWindow's.
TEST(ServerPortRecords, AddsGiveConsecutivePorts) {
  ServerPortRecords r;
  EXPECT_FALSE(r.selectEntry(0));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(r.addEntry());
  EXPECT_EQ(r.selected(), 2);
  EXPECT_EQ(serverPortRowTexts(r.record(2)), (std::array<std::string, 2>{"3002", "无协议"}));
  EXPECT_EQ(store(r), imageOf({serverUnit(0, 3000, 0), serverUnit(1, 3001, 0), serverUnit(2, 3002, 0)}));
  EXPECT_FALSE(r.selectEntry(3) || r.selectEntry(-1));
  // After the highest port the next one stays at it.
  ServerPortRecords high;
  high.addEntry();
  ServerPortControls c = high.showServerPort(0);
  c.portText = "65535";
  ASSERT_TRUE(high.controlsChanged(c));
  high.addEntry();
  EXPECT_EQ(high.record(1).port, 65535);
}

TEST(ServerPortRecords, DeletingSelectsTheNextRenumbersAndClearsTheFreedSlot) {
  ServerPortRecords r;
  for (int i = 0; i < 3; ++i) r.addEntry();
  ASSERT_TRUE(r.selectEntry(1));
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.selected(), 1);
  EXPECT_EQ(r.record(1), (ServerPortRecord{1, 3002, 0}));
  EXPECT_EQ(r.record(2), ServerPortRecord{});
  EXPECT_EQ(store(r), imageOf({serverUnit(0, 3000, 0), serverUnit(1, 3002, 0)}));
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.selected(), 0) << "deleting the last entry selects the new last one";
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.selected(), -1);
  EXPECT_FALSE(r.deleteSelected());
}

TEST(ServerPortRecords, LoadRebuildsFromImageOrderIgnoringEntryIndexUpToThirtyTwo) {
  ServerPortRecords r;
  r.addEntry();
  load(r, imageOf({{0x01, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D}, serverUnit(5, 0, 0x12), serverUnit(0, 502, 0x06)}));
  ASSERT_EQ(r.count(), 2);
  EXPECT_EQ(r.selected(), 0);
  EXPECT_EQ(r.record(0), (ServerPortRecord{0, 3000, 0x12})) << "port 0 reads as the default";
  EXPECT_EQ(r.record(1), (ServerPortRecord{1, 502, 0x06}));

  Bytes image;
  for (int i = 0; i < 33; ++i) {
    const ConfigUnit u = serverUnit(static_cast<uint8_t>(i), static_cast<uint16_t>(100 + i), 0);
    image.insert(image.end(), u.begin(), u.end());
  }
  load(r, image);
  EXPECT_EQ(r.count(), 32);
  const Bytes stored = store(r, image);
  EXPECT_EQ(stored.size(), 32u * 8);
  EXPECT_EQ(stored[31 * 8 + 3], 100 + 31);

  // Any image empties the list first, a malformed one leaves it empty.
  Bytes bad = imageOf({serverUnit(0, 80, 1)});
  bad.push_back(0);
  load(r, bad);
  EXPECT_EQ(r.selected(), -1);
  r.addEntry();
  r.load(nullptr, 0);
  EXPECT_EQ(r.count(), 0);
}

TEST(ServerPortRecords, UnknownBitsSurviveUntilTheEntryIsEdited) {
  ServerPortRecords r;
  const Bytes image = imageOf({serverUnit(0, 8080, 0x0100), serverUnit(1, 8081, 0x09)});
  load(r, image);
  EXPECT_EQ(serverPortRowTexts(r.record(0))[1], "无协议");
  EXPECT_EQ(store(r, image), image);

  // Bit 3 has a hidden control that still carries it through a port edit.
  r.selectEntry(1);
  ServerPortControls c = r.showServerPort(1);
  EXPECT_TRUE(c.programDownload);
  EXPECT_TRUE(c.protocol55);
  c.portText = "9000";
  r.controlsChanged(c);
  EXPECT_EQ(r.record(1), (ServerPortRecord{1, 9000, 0x09}));

  // An edit rebuilds the set from the controls: bits above 4 go.
  r.selectEntry(0);
  c = r.showServerPort(0);
  // The set is not 0, yet no defined bit is set: nothing shows checked.
  EXPECT_EQ(c, (ServerPortControls{"8080", false, false, false, false, false, false}));
  c.portText = "8082";
  r.controlsChanged(c);
  EXPECT_EQ(r.record(0).protocolFlags, 0u);

  load(r, imageOf({serverUnit(0, 1, 0x17)}));  // every defined bit shown on its own
  EXPECT_EQ(r.showServerPort(0), (ServerPortControls{"1", false, true, true, true, false, true}));
  EXPECT_TRUE(ServerPortRecords::clearedControls().noProtocol);
  EXPECT_FALSE(ServerPortRecords().controlsChanged(c)) << "no entry selected";
}

TEST(ServerPortRecords, PortTextOutsideTheRangeKeepsThePort) {
  ServerPortRecords r;
  r.addEntry();
  ServerPortControls c = r.showServerPort(0);
  for (const char* bad : {"0", "65536", "", "x", "-5", "99999999999"}) {
    c.portText = bad;
    r.controlsChanged(c);
    EXPECT_EQ(r.record(0).port, 3000) << bad;
  }
  c.portText = " 1 ";
  r.controlsChanged(c);
  EXPECT_EQ(r.record(0).port, 1);
}
