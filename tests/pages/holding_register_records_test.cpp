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

TEST(HoldingRegisterRecords, FiveDefaultGroupsWholeUnitsInGroupOrder) {
  HoldingRegisterRecords r;
  EXPECT_EQ(store(r), kDefaultUnits);
  EXPECT_EQ(r.showRegisters().rows[0], (RegisterRowControls{true, "500", "100", 0}));
  EXPECT_TRUE(r.showRegisters().functionEnable);
  const Bytes small = storedImage({}, [&](uint8_t* b, int32_t& n, int32_t) { r.store(b, n, 20); });
  EXPECT_EQ(small, Bytes(kDefaultUnits.begin(), kDefaultUnits.begin() + 16));
}

// Every load starts from the defaults; a later unit of a group wins, groups
// 0 and 6 are ignored, and a store leaves one unit per group at the end.
TEST(HoldingRegisterRecords, LoadStartsFromTheDefaultsAndStoreLeavesOnePerGroupAtTheEnd) {
  HoldingRegisterRecords r;
  const ConfigUnit other{0x01, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D};
  const Bytes image = imageOf({registerUnit(2, 0, 10, 20, 1), other, registerUnit(2, 1, 30, 40, 0),
                               registerUnit(0, 0, 1, 1, 1), registerUnit(6, 0, 2, 2, 1)});
  load(r, image);
  EXPECT_EQ(r.records()[1], (HoldingRegisterRecord{2, true, 30, 40, false}));
  Bytes expected = imageOf({other});
  const Bytes rest = imageOf({registerUnit(1, 1, 500, 100, 0), registerUnit(2, 1, 30, 40, 0), registerUnit(3, 1, 1600, 100, 0),
                              registerUnit(4, 1, 2500, 100, 0), registerUnit(5, 1, 0, 0, 0)});
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(store(r, image), expected);

  load(r, imageOf({registerUnit(1, 0, 7, 8, 1), registerUnit(5, 0, 9, 9, 3)}));
  EXPECT_EQ(r.records()[0], (HoldingRegisterRecord{1, false, 7, 8, true}));
  EXPECT_EQ(r.records()[1], defaultHoldingRegisters()[1]);
  EXPECT_EQ(r.records()[4], (HoldingRegisterRecord{5, false, 9, 9, true})) << "group 5 carries its fields as loaded";

  // A partial unit at the end: defaults shown, the part dropped on store.
  Bytes partial = imageOf({registerUnit(1, 0, 7, 8, 1)});
  partial.push_back(0x04);
  load(r, partial);
  EXPECT_EQ(r.records(), defaultHoldingRegisters());
  EXPECT_EQ(store(r, partial), kDefaultUnits);
  load(r, imageOf({registerUnit(1, 0, 7, 8, 1)}));
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

// What both windows show of unconfirmed edits: the state starts and ends
// with them, and leaving them behind is one log line until the next edit.
TEST(PendingRegisterEdits, FollowTheEditsAndLogTheDroppedOnesOnce) {
  HoldingRegisterRecords records;
  PendingRegisterEdits pending;
  HoldingRegisterControls c = records.showRegisters();
  EXPECT_FALSE(pending.controlsChanged(records, c));
  EXPECT_FALSE(pending.pending());
  EXPECT_EQ(pending.droppedLine(), "") << "nothing to drop";

  c.rows[0].addressText = "501";
  EXPECT_TRUE(pending.controlsChanged(records, c)) << "an edit starts the pending state";
  EXPECT_TRUE(pending.pending());
  EXPECT_FALSE(pending.controlsChanged(records, c)) << "a second look changes nothing";
  EXPECT_EQ(pending.droppedLine(), "保持寄存器配置：未确认的修改未生效");
  EXPECT_EQ(pending.droppedLine(), "") << "the same edits are logged once";
  c.rows[0].countText = "7";
  EXPECT_FALSE(pending.controlsChanged(records, c));
  EXPECT_EQ(pending.droppedLine(), "保持寄存器配置：未确认的修改未生效") << "a new edit is news again";

  records.captureRegisters(c);  // 修改确认
  EXPECT_TRUE(pending.controlsChanged(records, c)) << "the confirmation ends it";
  EXPECT_FALSE(pending.pending());
  EXPECT_EQ(pending.droppedLine(), "");
}
