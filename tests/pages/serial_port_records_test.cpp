#include <gtest/gtest.h>

#include <tuple>

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
  bool load(const Bytes& image) { return records.load(image.data(), static_cast<int32_t>(image.size())); }
  Bytes store(const Bytes& before = {}) {
    return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { records.store(b, n, c, shown()); });
  }
};
}  // namespace

TEST(SerialPortRecords, OneDefaultPortBeforeAndAfterAnEmptyImage) {
  SerialPortRecords closed;
  EXPECT_FALSE(closed.hasSelection());
  EXPECT_FALSE(closed.controlsChanged(SerialPortControls{})) << "nothing selected before the page opens";
  OpenPage page;
  EXPECT_FALSE(page.records.load(nullptr, 0));  // the New command
  EXPECT_EQ(page.store(), imageOf({{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D}}));
}

TEST(SerialPortRecords, LineFormatRulesOnLoading) {
  OpenPage page;
  page.load(imageOf({dataPort(1, 0x8D), dataPort(2, 0x84), dataPort(3, 0x3A), dataPort(4, 0x5B)}));
  // {data bits, stop code, parity}: stop code 3 reads as one stop bit; data bits outside 5..8 as 8.
  const std::array<int, 3> expected[4] = {{8, 0, 1}, {8, 1, 0}, {8, 2, 2}, {5, 2, 3}};
  for (int i = 0; i < 4; ++i) {
    const SerialPortRecord& r = page.records.record(i);
    EXPECT_EQ((std::array<int, 3>{r.dataBits, r.stopBitsCode, r.parityCode}), expected[i]) << i;
  }
  // A kept 5-bit port stores back as loaded, the stop code 3 does not.
  const Bytes stored = unitsOfImage(page.store(), 1);
  EXPECT_EQ(stored[6], 0x8D & ~0x0C);
  EXPECT_EQ(stored[8 * 3 + 6], 0x5B);
}

TEST(SerialPortRecords, LoadCountsToTheLastUnitLaterUnitsWinAndForeignUnitsStayAhead) {
  OpenPage page;
  const ConfigUnit net{2, 0, 0, 0, 10, 0, 0, 1};
  const Bytes image = imageOf({dataPort(5, 0x80, 0x01, 1200), net, dataPort(2, 0x80, 0x01, 2400),
                               dataPort(2, 0x80, 0x02, 4800)});
  ASSERT_TRUE(page.load(image));
  EXPECT_EQ(page.records.count(), 2);
  EXPECT_EQ(page.records.record(1).baudRate, 4800);
  EXPECT_EQ(page.records.record(4).baudRate, 1200);  // filled, but neither listed nor stored
  EXPECT_EQ(page.store(image), imageOf({net, dataPort(1), dataPort(2, 0x80, 0x02, 4800)}));

  // Port numbers outside 1..32, no data-port unit, or not whole units: nothing changes.
  Bytes partial = imageOf({dataPort(3)});
  partial.push_back(0);
  for (const Bytes& refused : {imageOf({dataPort(0), dataPort(33)}), imageOf({net}), partial})
    EXPECT_FALSE(page.load(refused));
  EXPECT_EQ(page.records.count(), 2);
  EXPECT_TRUE(page.load(imageOf({dataPort(33), dataPort(32, 0x80, 0x01), dataPort(0)})));
  EXPECT_EQ(page.records.count(), 32);
  EXPECT_EQ(page.records.record(31).protocolFlags, 0x01);
}

TEST(SerialPortRecords, TypedBaudRateAndItsFallbacks) {
  OpenPage page;
  SerialPortControls c = page.shown();
  c.baudText = "600";  // its store is dialog_serial_param_test's
  ASSERT_TRUE(page.records.controlsChanged(c));
  // A rate not in the list shows at 9600's place with the typed text.
  EXPECT_EQ(page.records.showPort(0).baudSelection, 3);
  EXPECT_EQ(page.records.showPort(0).baudText, "600");
  for (const auto& [rate, index] : {std::pair{1200, 0}, {19200, 4}, {115200, 7}, {-1, 3}})
    EXPECT_EQ(baudIndex(rate), index) << rate;

  // {typed, selected in the list, rate taken}
  for (const auto& [text, selection, rate] : {std::tuple<const char*, int, int32_t>{"  19200 ", 3, 19200},
                                              {"abc", 7, 115200}, {"-300", 0, 1200}, {"", -1, 9600}}) {
    c.baudText = text;
    c.baudSelection = selection;
    page.records.capturePort(0, c);
    EXPECT_EQ(page.records.record(0).baudRate, rate) << text;
  }
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
  c.modbusTcp = false;
  page.records.controlsChanged(c);
  EXPECT_EQ(page.records.record(0).protocolFlags, 0x13);
  // An extra-function nibble of 3 or more checks no choice.
  page.load(imageOf({dataPort(1, 0x80, 0x3F)}));
  const SerialPortControls shown = page.records.showPort(0);
  EXPECT_FALSE(shown.noExtraFunction || shown.remoteControl || shown.modbusTcp);
  EXPECT_EQ(shown.protocolBits, (std::array<bool, 4>{true, true, true, true}));
}

TEST(SerialPortRecords, AddUpToThirtyTwoRemoveTheLastKeepOneReAddFresh) {
  OpenPage page;
  for (int i = 2; i <= 32; ++i) ASSERT_TRUE(page.records.addPort());
  EXPECT_FALSE(page.records.addPort());
  EXPECT_EQ(page.records.record(31).number, 32);
  // Remove takes the last port whatever is selected.
  ASSERT_TRUE(page.records.selectPort(0, page.shown()));
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(page.records.removePort());
  EXPECT_EQ(page.records.selected(), 0);
  SerialPortControls c = page.records.showPort(1);
  c.baudText = "38400";
  ASSERT_TRUE(page.records.selectPort(1, page.shown()));
  page.records.controlsChanged(c);
  ASSERT_TRUE(page.records.removePort());
  EXPECT_EQ(page.records.selected(), 0) << "a removed selection moves to the last port";
  EXPECT_FALSE(page.records.removePort());
  EXPECT_EQ(unitsOfImage(page.store(), 1).size(), 8u);
  page.records.addPort();  // a re-added port starts fresh
  EXPECT_EQ(page.records.record(1).baudRate, 9600);
  EXPECT_EQ(page.records.record(1).protocolFlags, 13);
}

// Keeping the edits of the port left is dialog_serial_param_test's SwitchingPorts.
TEST(SerialPortRecords, SelectionStaysInRangeAndFollowsTheLoadedCount) {
  OpenPage page;
  EXPECT_FALSE(page.records.selectPort(32, page.shown()) || page.records.selectPort(-1, page.shown()));
  for (int i = 0; i < 4; ++i) page.records.addPort();
  ASSERT_EQ(page.records.selected(), 4);
  page.load(imageOf({dataPort(1), dataPort(2)}));
  EXPECT_EQ(page.records.selected(), 1) << "beyond the loaded count: the last port";
  page.records.selectPort(0, page.shown());
  page.load(imageOf({dataPort(2)}));
  EXPECT_EQ(page.records.selected(), 0) << "within it: left where it was";
}
