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

TEST(ServerPortRecords, ThreeAddsGiveConsecutivePortsWithNoProtocol) {
  ServerPortRecords r;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(r.addEntry());
  EXPECT_EQ(r.count(), 3);
  EXPECT_EQ(r.selected(), 2);
  EXPECT_EQ(serverPortRowTexts(r.record(0)), (std::array<std::string, 2>{"3000", "无协议"}));
  EXPECT_EQ(serverPortRowTexts(r.record(2)), (std::array<std::string, 2>{"3002", "无协议"}));
  EXPECT_EQ(store(r), imageOf({serverUnit(0, 3000, 0), serverUnit(1, 3001, 0), serverUnit(2, 3002, 0)}));
}

TEST(ServerPortRecords, AddAfterTheHighestPortStaysAtIt) {
  ServerPortRecords r;
  r.addEntry();
  ServerPortControls c = r.showServerPort(0);
  c.portText = "65535";
  ASSERT_TRUE(r.controlsChanged(c));
  r.addEntry();
  EXPECT_EQ(r.record(1).port, 65535);
}

TEST(ServerPortRecords, AtMostThirtyTwoEntries) {
  ServerPortRecords r;
  for (int i = 0; i < 32; ++i) ASSERT_TRUE(r.addEntry());
  EXPECT_FALSE(r.addEntry());
  EXPECT_EQ(r.count(), 32);
  EXPECT_EQ(tooManyServerPortsMessage(), "已达到最大端口数量 (32)");
}

TEST(ServerPortRecords, DeletingTheMiddleEntrySelectsTheNextAndRenumbers) {
  ServerPortRecords r;
  for (int i = 0; i < 3; ++i) r.addEntry();
  ASSERT_TRUE(r.selectEntry(1));
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.count(), 2);
  EXPECT_EQ(r.selected(), 1);
  EXPECT_EQ(r.record(1).port, 3002);
  EXPECT_EQ(r.record(1).index, 1);
  EXPECT_EQ(r.record(2), ServerPortRecord{});  // the freed slot is cleared
  EXPECT_EQ(store(r), imageOf({serverUnit(0, 3000, 0), serverUnit(1, 3002, 0)}));

  // Deleting the last entry selects the new last one.
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.selected(), 0);
  ASSERT_TRUE(r.deleteSelected());
  EXPECT_EQ(r.count(), 0);
  EXPECT_EQ(r.selected(), -1);
  EXPECT_FALSE(r.hasSelection());
  EXPECT_FALSE(r.deleteSelected());
}

TEST(ServerPortRecords, SelectOnlyExistingRows) {
  ServerPortRecords r;
  EXPECT_FALSE(r.selectEntry(0));
  r.addEntry();
  r.addEntry();
  EXPECT_TRUE(r.selectEntry(0));
  EXPECT_FALSE(r.selectEntry(2));
  EXPECT_FALSE(r.selectEntry(-1));
  EXPECT_EQ(r.selected(), 0);
}

TEST(ServerPortRecords, LoadRebuildsFromImageOrderIgnoringEntryIndex) {
  ServerPortRecords r;
  r.addEntry();
  load(r, imageOf({{0x01, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D}, serverUnit(5, 0, 0x12), serverUnit(0, 502, 0x06)}));
  ASSERT_EQ(r.count(), 2);
  EXPECT_EQ(r.selected(), 0);
  EXPECT_EQ(r.record(0), (ServerPortRecord{0, 3000, 0x12}));
  EXPECT_EQ(serverPortRowTexts(r.record(0))[1], "Modbus RTU协议 临时数据包");
  EXPECT_EQ(r.record(1), (ServerPortRecord{1, 502, 0x06}));
  EXPECT_EQ(serverPortRowTexts(r.record(1))[1], "Modbus RTU协议 Modbus TCP协议");

  // Any image empties the list first, a malformed one leaves it empty.
  Bytes bad = imageOf({serverUnit(0, 80, 1)});
  bad.push_back(0);
  load(r, bad);
  EXPECT_EQ(r.count(), 0);
  EXPECT_EQ(r.selected(), -1);
  r.addEntry();
  r.load(nullptr, 0);
  EXPECT_EQ(r.count(), 0);
}

TEST(ServerPortRecords, ThirtyThreeUnitsLeaveThirtyTwo) {
  Bytes image;
  for (int i = 0; i < 33; ++i) {
    const ConfigUnit u = serverUnit(static_cast<uint8_t>(i), static_cast<uint16_t>(100 + i), 0);
    image.insert(image.end(), u.begin(), u.end());
  }
  ServerPortRecords r;
  load(r, image);
  EXPECT_EQ(r.count(), 32);
  const Bytes stored = store(r, image);
  EXPECT_EQ(stored.size(), 32u * 8);
  EXPECT_EQ(stored[31 * 8 + 3], 100 + 31);
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

TEST(ServerPortRecords, ShowSetsEveryBitIndependently) {
  ServerPortRecords r;
  load(r, imageOf({serverUnit(0, 1, 0x17)}));
  const ServerPortControls c = r.showServerPort(0);
  EXPECT_EQ(c.portText, "1");
  EXPECT_FALSE(c.noProtocol);
  EXPECT_TRUE(c.protocol55 && c.modbusRtu && c.modbusTcp && c.temporaryPackets);
  EXPECT_FALSE(c.programDownload);
  EXPECT_EQ(ServerPortRecords::clearedControls(), ServerPortControls{});
  EXPECT_TRUE(ServerPortRecords::clearedControls().noProtocol);
  ServerPortRecords none;
  EXPECT_FALSE(none.controlsChanged(c));
}
