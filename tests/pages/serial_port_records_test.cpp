#include <gtest/gtest.h>

#include "pages/serial_port_records.h"
#include "tests/pages/image_helpers.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
ConfigUnit dataPort(uint8_t number, uint8_t lineFormat = 0x80, uint8_t flags = 0x0D, uint32_t baud = 9600) {
  return {0x01, number, static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
          static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud), lineFormat, flags};
}

struct OpenPage {
  SerialPortRecords records;
  OpenPage() { records.open(); }
  // What the controls hold while the selected port is shown unchanged.
  SerialPortControls shown() const { return records.showPort(records.selected()); }
  void load(const Bytes& image) { records.load(image.data(), static_cast<int32_t>(image.size())); }
  Bytes store(const Bytes& before, const SerialPortControls& controls) {
    return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { records.store(b, n, c, controls); });
  }
  Bytes store(const Bytes& before = {}) { return store(before, shown()); }
};
}  // namespace

TEST(SerialPortRecords, FreshPageStoresOneDefaultPort) {
  OpenPage page;
  EXPECT_EQ(page.records.count(), 1);
  EXPECT_EQ(page.store(), imageOf({{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D}}));
  // After an empty image (the New command) the port is still there.
  EXPECT_FALSE(page.records.load(nullptr, 0));
  const Bytes empty;
  EXPECT_EQ(page.store(empty), imageOf({{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D}}));
}

TEST(SerialPortRecords, LineFormatRulesOnLoading) {
  OpenPage page;
  page.load(imageOf({dataPort(1, 0x8D), dataPort(2, 0x84), dataPort(3, 0x3A), dataPort(4, 0x5B)}));
  // 0x8D: 8 data bits, stop code 3 read as one stop bit, even parity.
  EXPECT_EQ(page.records.record(0).dataBits, 8);
  EXPECT_EQ(page.records.record(0).stopBitsCode, 0);
  EXPECT_EQ(page.records.record(0).parityCode, 1);
  // 0x84: 8 data bits, 1.5 stop bits, no parity.
  EXPECT_EQ(page.records.record(1).stopBitsCode, 1);
  EXPECT_EQ(page.records.record(1).parityCode, 0);
  // Data bits outside 5..8 read as 8; 5 is kept.
  EXPECT_EQ(page.records.record(2).dataBits, 8);
  EXPECT_EQ(page.records.record(2).stopBitsCode, 2);
  EXPECT_EQ(page.records.record(2).parityCode, 2);
  EXPECT_EQ(page.records.record(3).dataBits, 5);
  EXPECT_EQ(page.records.record(3).parityCode, 3);

  // A kept 5-bit port stores back as loaded, the stop code 3 does not.
  const Bytes stored = unitsOfImage(page.store(), 1);
  EXPECT_EQ(stored[6], 0x8D & ~0x0C);
  EXPECT_EQ(stored[8 * 3 + 6], 0x5B);
}

TEST(SerialPortRecords, DataBitsTheListCannotShowAreKeptUntilEightIsChosen) {
  OpenPage page;
  page.load(imageOf({dataPort(1, 0x60)}));
  SerialPortControls controls = page.shown();
  EXPECT_EQ(controls.dataBitsSelection, -1);
  EXPECT_EQ(controls.dataBitsText, "6");
  EXPECT_EQ(unitsOfImage(page.store(), 1)[6], 0x60) << "storing the page as shown keeps 6 data bits";
  controls.dataBitsSelection = 0;
  page.records.capturePort(0, controls);
  EXPECT_EQ(page.records.record(0).dataBits, 8);
  EXPECT_EQ(page.shown().dataBitsSelection, 0);
}

TEST(SerialPortRecords, CountFollowsTheLastUnitTakenAndLaterUnitsWin) {
  OpenPage page;
  page.load(imageOf({dataPort(1), dataPort(2), dataPort(3)}));
  EXPECT_EQ(page.records.count(), 3);

  page.load(imageOf({dataPort(5, 0x80, 0x01, 1200), dataPort(2, 0x80, 0x01, 2400), dataPort(2, 0x80, 0x02, 4800)}));
  EXPECT_EQ(page.records.count(), 2);
  EXPECT_EQ(page.records.record(1).baudRate, 4800);
  EXPECT_EQ(page.records.record(1).protocolFlags, 0x02);
  EXPECT_EQ(page.records.record(4).baudRate, 1200);  // filled, but neither listed nor stored
  const Bytes stored = unitsOfImage(page.store(), 1);
  ASSERT_EQ(stored.size(), 16u);
  EXPECT_EQ(stored[1], 1);
  EXPECT_EQ(stored[9], 2);
}

TEST(SerialPortRecords, PortNumbersOutsideOneToThirtyTwoArePassedOver) {
  OpenPage page;
  EXPECT_FALSE(page.records.load(imageOf({dataPort(0), dataPort(33)}).data(), 16));
  EXPECT_EQ(page.records.count(), 1);
  const Bytes image = imageOf({dataPort(33), dataPort(32, 0x80, 0x01), dataPort(0)});
  EXPECT_TRUE(page.records.load(image.data(), static_cast<int32_t>(image.size())));
  EXPECT_EQ(page.records.count(), 32);
  EXPECT_EQ(page.records.record(31).protocolFlags, 0x01);
}

TEST(SerialPortRecords, ImageNotOfWholeUnitsChangesNothing) {
  OpenPage page;
  Bytes image = imageOf({dataPort(3)});
  image.push_back(0);
  EXPECT_FALSE(page.records.load(image.data(), static_cast<int32_t>(image.size())));
  EXPECT_EQ(page.records.count(), 1);
  const Bytes others = imageOf({{2, 0, 0, 0, 1, 1, 1, 1}});
  EXPECT_FALSE(page.records.load(others.data(), 8));
  EXPECT_EQ(page.records.count(), 1);
}

TEST(SerialPortRecords, StoreMovesPortsBehindForeignUnits) {
  OpenPage page;
  const ConfigUnit net{2, 0, 0, 0, 10, 0, 0, 1};
  const ConfigUnit server{3, 0, 0x0B, 0xB8, 0, 0, 0, 0};
  const Bytes image = imageOf({net, dataPort(1, 0x80, 0x01), server});
  page.load(image);
  EXPECT_EQ(page.store(image), imageOf({net, server, dataPort(1, 0x80, 0x01)}));
}

TEST(SerialPortRecords, TypedBaudRateAndItsFallbacks) {
  OpenPage page;
  SerialPortControls c = page.shown();
  c.baudText = "600";
  ASSERT_TRUE(page.records.controlsChanged(c));
  EXPECT_EQ(dataPortRowTexts(page.records.record(0))[1], "600");
  EXPECT_EQ(page.store(), imageOf({dataPort(1, 0x80, 0x0D, 600)}));
  const Bytes unit = page.store();
  EXPECT_EQ(Bytes(unit.begin() + 2, unit.begin() + 6), (Bytes{0x00, 0x00, 0x02, 0x58}));

  // A rate not in the list shows at 9600's place with the typed text.
  const SerialPortControls shown = page.records.showPort(0);
  EXPECT_EQ(shown.baudSelection, 3);
  EXPECT_EQ(shown.baudText, "600");

  c.baudText = "  19200 ";
  page.records.capturePort(0, c);
  EXPECT_EQ(page.records.record(0).baudRate, 19200);
  c.baudText = "abc";
  c.baudSelection = 7;
  page.records.capturePort(0, c);
  EXPECT_EQ(page.records.record(0).baudRate, 115200);
  c.baudText = "-300";
  c.baudSelection = 0;
  page.records.capturePort(0, c);
  EXPECT_EQ(page.records.record(0).baudRate, 1200);
  c.baudText = "";
  c.baudSelection = -1;
  page.records.capturePort(0, c);
  EXPECT_EQ(page.records.record(0).baudRate, 9600);
}

TEST(SerialPortRecords, BaudIndexPlacesUnknownRatesAtNineSixHundred) {
  EXPECT_EQ(baudIndex(1200), 0);
  EXPECT_EQ(baudIndex(9600), 3);
  EXPECT_EQ(baudIndex(19200), 4);
  EXPECT_EQ(baudIndex(115200), 7);
  EXPECT_EQ(baudIndex(600), 3);
  EXPECT_EQ(baudIndex(-1), 3);
}

TEST(SerialPortRecords, ProtocolBitsAndExtraFunction) {
  OpenPage page;
  SerialPortControls c = page.shown();
  c.protocolBits = {true, true, false, false};
  c.noExtraFunction = false;
  c.remoteControl = true;
  c.modbusTcp = true;  // Modbus TCP wins over remote control
  page.records.controlsChanged(c);
  EXPECT_EQ(page.records.record(0).protocolFlags, 0x23);
  const std::string text = dataPortRowTexts(page.records.record(0))[5];
  EXPECT_EQ(text, "55协议 Modbus RTU协议 Modbus TCP协议");

  c.modbusTcp = false;
  page.records.controlsChanged(c);
  EXPECT_EQ(page.records.record(0).protocolFlags, 0x13);

  // Shown back: one extra-function choice; a nibble of 3 or more checks none.
  SerialPortControls shown = page.records.showPort(0);
  EXPECT_FALSE(shown.noExtraFunction);
  EXPECT_TRUE(shown.remoteControl);
  EXPECT_FALSE(shown.modbusTcp);
  page.load(imageOf({dataPort(1, 0x80, 0x3F)}));
  shown = page.records.showPort(0);
  EXPECT_FALSE(shown.noExtraFunction || shown.remoteControl || shown.modbusTcp);
  EXPECT_EQ(shown.protocolBits, (std::array<bool, 4>{true, true, true, true}));
}

TEST(SerialPortRecords, ShowPortPutsRecordValuesIntoControls) {
  OpenPage page;
  page.load(imageOf({dataPort(1), dataPort(2, 0x89, 0x04, 57600)}));
  const SerialPortControls c = page.records.showPort(1);
  EXPECT_EQ(c.portName, "数据口2");
  EXPECT_EQ(c.baudSelection, 6);
  EXPECT_EQ(c.baudText, "57600");
  EXPECT_EQ(c.stopSelection, 2);
  EXPECT_EQ(c.paritySelection, 1);
  EXPECT_EQ(c.protocolBits, (std::array<bool, 4>{false, false, true, false}));
  EXPECT_TRUE(c.noExtraFunction);
  EXPECT_EQ(dataPortRowTexts(page.records.record(1)),
            (std::array<std::string, 6>{"数据口2", "57600", "8", "2", "偶校验", "程序下载"}));
}

TEST(SerialPortRecords, AddUpToThirtyTwoPorts) {
  OpenPage page;
  SerialPortControls c = page.shown();
  c.baudText = "4800";
  page.records.controlsChanged(c);
  for (int i = 2; i <= 32; ++i) {
    ASSERT_TRUE(page.records.addPort());
    EXPECT_EQ(page.records.count(), i);
    EXPECT_EQ(page.records.selected(), i - 1);
  }
  EXPECT_FALSE(page.records.addPort());
  EXPECT_EQ(page.records.count(), 32);
  EXPECT_EQ(tooManyDataPortsMessage(), "已达到最大数据口数量 (32)");
  // New ports are fresh; the first keeps its edit.
  EXPECT_EQ(page.records.record(0).baudRate, 4800);
  EXPECT_EQ(page.records.record(31).number, 32);
  EXPECT_EQ(page.records.record(31).baudRate, 9600);
  EXPECT_EQ(page.records.record(31).protocolFlags, 13);
}

TEST(SerialPortRecords, RemoveTakesTheLastPortAndKeepsAtLeastOne) {
  OpenPage page;
  EXPECT_FALSE(page.records.removePort());
  page.records.addPort();
  page.records.addPort();
  ASSERT_TRUE(page.records.selectPort(0, page.shown()));
  ASSERT_TRUE(page.records.removePort());
  EXPECT_EQ(page.records.count(), 2);
  EXPECT_EQ(page.records.selected(), 0);
  ASSERT_TRUE(page.records.selectPort(1, page.shown()));
  ASSERT_TRUE(page.records.removePort());
  EXPECT_EQ(page.records.selected(), 0);
  EXPECT_EQ(page.records.count(), 1);
  EXPECT_EQ(unitsOfImage(page.store(), 1).size(), 8u);
}

TEST(SerialPortRecords, ReAddedSlotIsFreshAgain) {
  OpenPage page;
  page.records.addPort();
  SerialPortControls c = page.shown();
  c.baudText = "38400";
  page.records.controlsChanged(c);
  page.records.removePort();
  EXPECT_EQ(page.records.record(1).baudRate, 38400);  // kept until used again
  page.records.addPort();
  EXPECT_EQ(page.records.record(1).baudRate, 9600);
}

TEST(SerialPortRecords, SelectingAnotherPortKeepsTheEditsOfTheOneLeft) {
  OpenPage page;
  page.records.addPort();
  SerialPortControls c = page.shown();  // port 2 shown
  c.paritySelection = 2;
  ASSERT_TRUE(page.records.selectPort(0, c));
  EXPECT_EQ(page.records.record(1).parityCode, 2);
  EXPECT_EQ(page.records.selected(), 0);
  EXPECT_FALSE(page.records.selectPort(32, c));
  EXPECT_FALSE(page.records.selectPort(-1, c));
  EXPECT_EQ(page.records.selected(), 0);
}

TEST(SerialPortRecords, StoreTakesTheControlsOfTheSelectedPort) {
  OpenPage page;
  SerialPortControls c = page.shown();
  c.stopSelection = 1;
  c.protocolBits = {false, false, false, false};
  EXPECT_EQ(unitsOfImage(page.store({}, c), 1), imageOf({dataPort(1, 0x84, 0x00)}));
}

TEST(SerialPortRecords, SelectionBeyondALoadedCountMovesToTheLastPort) {
  OpenPage page;
  for (int i = 0; i < 4; ++i) page.records.addPort();
  ASSERT_EQ(page.records.selected(), 4);
  page.load(imageOf({dataPort(1), dataPort(2)}));
  EXPECT_EQ(page.records.selected(), 1);
  // Within the count the selection is left where it was.
  page.records.selectPort(0, page.shown());
  page.load(imageOf({dataPort(2)}));
  EXPECT_EQ(page.records.selected(), 0);
}

TEST(SerialPortRecords, BeforeOpeningNothingIsSelected) {
  SerialPortRecords records;
  EXPECT_FALSE(records.hasSelection());
  EXPECT_FALSE(records.controlsChanged(SerialPortControls{}));
  EXPECT_EQ(records.record(0).baudRate, 9600);
}
