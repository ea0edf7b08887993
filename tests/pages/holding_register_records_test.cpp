#include <gtest/gtest.h>

#include "pages/holding_register_records.h"
#include "tests/pages/image_helpers.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
ConfigUnit registerUnit(uint8_t group, uint8_t enable, uint16_t address, uint16_t count, uint8_t width) {
  return {0x04, group, enable, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
          static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), width};
}

const Bytes kDefaultUnits = imageOf({registerUnit(1, 1, 500, 100, 0), registerUnit(2, 1, 1000, 100, 0),
                                     registerUnit(3, 1, 1600, 100, 0), registerUnit(4, 1, 2500, 100, 0),
                                     registerUnit(5, 1, 0, 0, 0)});

void load(HoldingRegisterRecords& r, const Bytes& image) { r.load(image.data(), static_cast<int32_t>(image.size())); }

Bytes store(const HoldingRegisterRecords& r, const Bytes& before = {}) {
  return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { r.store(b, n, c); });
}
}  // namespace

TEST(HoldingRegisterRecords, EmptyBufferReceivesTheFiveDefaultGroups) {
  HoldingRegisterRecords r;
  EXPECT_EQ(store(r), kDefaultUnits);
  const HoldingRegisterControls c = r.showRegisters();
  EXPECT_TRUE(c.functionEnable);
  EXPECT_EQ(c.rows[0], (RegisterRowControls{true, "500", "100", 0}));
  EXPECT_EQ(c.rows[1].addressText, "1000");
  EXPECT_EQ(c.rows[2].addressText, "1600");
  EXPECT_EQ(c.rows[3].addressText, "2500");
}

TEST(HoldingRegisterRecords, LaterUnitOfAGroupWinsAndStoreLeavesOnePerGroupAtTheEnd) {
  HoldingRegisterRecords r;
  const ConfigUnit other{0x01, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D};
  const Bytes image = imageOf({registerUnit(2, 0, 10, 20, 1), other, registerUnit(2, 1, 30, 40, 0)});
  load(r, image);
  EXPECT_EQ(r.records()[1], (HoldingRegisterRecord{2, true, 30, 40, false}));
  const Bytes stored = store(r, image);
  ASSERT_EQ(stored.size(), 48u);
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 8), imageOf({other}));
  for (int g = 1; g <= 5; ++g) EXPECT_EQ(stored[static_cast<size_t>(g) * 8 + 1], g);
  EXPECT_EQ(Bytes(stored.begin() + 16, stored.begin() + 24), imageOf({registerUnit(2, 1, 30, 40, 0)}));
}

TEST(HoldingRegisterRecords, UnitsOfGroupZeroOrSixAreIgnoredAndRemoved) {
  HoldingRegisterRecords r;
  const Bytes image = imageOf({registerUnit(0, 0, 1, 1, 1), registerUnit(6, 0, 2, 2, 1)});
  load(r, image);
  EXPECT_EQ(r.records(), defaultHoldingRegisters());
  EXPECT_EQ(store(r, image), kDefaultUnits);
}

TEST(HoldingRegisterRecords, LoadStartsFromTheDefaultsEveryTime) {
  HoldingRegisterRecords r;
  load(r, imageOf({registerUnit(1, 0, 7, 8, 1), registerUnit(5, 0, 9, 9, 3)}));
  EXPECT_EQ(r.records()[0], (HoldingRegisterRecord{1, false, 7, 8, true}));
  // Group 5 carries its address, count and width as loaded.
  EXPECT_EQ(r.records()[4], (HoldingRegisterRecord{5, false, 9, 9, true}));

  // A partial unit at the end: defaults shown, the part dropped on store.
  Bytes partial = imageOf({registerUnit(1, 0, 7, 8, 1)});
  partial.push_back(0x04);
  load(r, partial);
  EXPECT_EQ(r.records(), defaultHoldingRegisters());
  EXPECT_EQ(store(r, partial), kDefaultUnits);
  r.load(nullptr, 0);
  EXPECT_EQ(r.records(), defaultHoldingRegisters());
}

TEST(HoldingRegisterRecords, ConfirmationClampsTypedValues) {
  HoldingRegisterRecords r;
  HoldingRegisterControls c = r.showRegisters();
  c.rows[0].addressText = "70000";
  c.rows[0].countText = "-5";
  c.rows[1].addressText = "";
  c.rows[1].countText = "12abc";
  c.rows[2].addressText = " 65535 ";
  c.rows[2].countText = "99999999999999";
  c.rows[2].widthSelection = 1;
  c.rows[3].enable = false;
  c.functionEnable = false;
  r.captureRegisters(c);
  EXPECT_EQ(r.records()[0].address, 65535);
  EXPECT_EQ(r.records()[0].count, 0);
  EXPECT_EQ(r.records()[1].address, 0);
  EXPECT_EQ(r.records()[1].count, 12);
  EXPECT_EQ(r.records()[2], (HoldingRegisterRecord{3, true, 65535, 65535, true}));
  EXPECT_FALSE(r.records()[3].enable);
  EXPECT_FALSE(r.records()[4].enable);
  const Bytes stored = store(r);
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 8), imageOf({registerUnit(1, 1, 65535, 0, 0)}));
  EXPECT_EQ(Bytes(stored.begin() + 32, stored.end()), imageOf({registerUnit(5, 0, 0, 0, 0)}));

  EXPECT_EQ(registerValueFromText("+42"), 42);
  EXPECT_EQ(registerValueFromText("-2147483649"), 0);
  EXPECT_EQ(registerValueFromText("\t 7 \r\n"), 7);
}

TEST(HoldingRegisterRecords, PendingMeansConfirmingWouldChangeSomething) {
  HoldingRegisterRecords r;
  HoldingRegisterControls c = r.showRegisters();
  EXPECT_FALSE(r.wouldChange(c));
  c.rows[0].addressText = " 0500";  // reads as the same number
  EXPECT_FALSE(r.wouldChange(c));
  for (auto edit : std::initializer_list<void (*)(HoldingRegisterControls&)>{
           [](HoldingRegisterControls& x) { x.rows[1].countText = "abc"; },  // becomes 0
           [](HoldingRegisterControls& x) { x.rows[2].widthSelection = 1; },
           [](HoldingRegisterControls& x) { x.rows[3].enable = false; },
           [](HoldingRegisterControls& x) { x.functionEnable = false; }}) {
    HoldingRegisterControls edited = c;
    edit(edited);
    EXPECT_TRUE(r.wouldChange(edited));
    HoldingRegisterRecords confirmed = r;
    confirmed.captureRegisters(edited);
    EXPECT_FALSE(confirmed.wouldChange(edited)) << "confirmed edits are no longer pending";
  }
}

TEST(HoldingRegisterRecords, SmallBufferTakesWholeUnitsInGroupOrder) {
  HoldingRegisterRecords r;
  const Bytes stored = storedImage({}, [&](uint8_t* b, int32_t& n, int32_t) { r.store(b, n, 20); });
  EXPECT_EQ(stored, Bytes(kDefaultUnits.begin(), kDefaultUnits.begin() + 16));
}
