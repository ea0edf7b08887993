#include <gtest/gtest.h>

#include "pages/register_map.h"

using namespace velmora;

namespace {
struct Row {
  bool enable;
  uint16_t address;
  uint16_t count;
};
HoldingRegisterTable table(Row input, Row output, Row global, Row bits) {
  HoldingRegisterTable t = defaultHoldingRegisters();
  const Row rows[] = {input, output, global, bits};
  for (int i = 0; i < kRegisterRows; ++i) t[i] = {static_cast<uint8_t>(i + 1), rows[i].enable, rows[i].address, rows[i].count, false};
  return t;
}
constexpr Row kOff{false, 0, 100};
}  // namespace

TEST(RegisterMap, BarsSpanAndOverlaps) {
  struct Case {
    const char* name;
    HoldingRegisterTable records;
    std::vector<RegisterBar> bars;
    std::vector<RegisterOverlap> overlaps;
    uint32_t spanBegin, spanEnd;
  };
  const Case cases[] = {
      {"defaults", defaultHoldingRegisters(),
       {{0, 500, 600}, {1, 1000, 1100}, {2, 1600, 1700}, {3, 2500, 2600}}, {}, 500, 2600},
      // Disabled rows and rows of no registers have no bar, even where they would overlap.
      {"disabled and empty", table(kOff, {true, 10, 0}, {true, 40, 20}, {false, 45, 5}), {{2, 40, 60}}, {}, 40, 60},
      // Touching ranges share nothing; three rows over one spot give every pair.
      {"touching and three-way", table({true, 0, 10}, {true, 10, 10}, {true, 5, 10}, {true, 8, 1}),
       {{0, 0, 10}, {1, 10, 20}, {2, 5, 15}, {3, 8, 9}},
       {{0, 2, 5, 10}, {0, 3, 8, 9}, {1, 2, 10, 15}, {2, 3, 8, 9}}, 0, 20},
      // A range that runs past the last register keeps its true end.
      {"past 65535", table({true, 65500, 100}, kOff, kOff, {true, 65535, 1}),
       {{0, 65500, 65600}, {3, 65535, 65536}}, {{0, 3, 65535, 65536}}, 65500, 65600},
      {"none", table(kOff, kOff, kOff, kOff), {}, {}, 0, 0},
  };
  for (const Case& c : cases) {
    const RegisterMap map = registerMap(c.records);
    EXPECT_EQ(map.bars, c.bars) << c.name;
    EXPECT_EQ(map.overlaps, c.overlaps) << c.name;
    EXPECT_EQ(map.spanBegin, c.spanBegin) << c.name;
    EXPECT_EQ(map.spanEnd, c.spanEnd) << c.name;
  }
}

TEST(RegisterMap, AxisPositionsScaleTheSpanAndHoldToIt) {
  const RegisterMap map = registerMap(table({true, 65000, 536}, kOff, kOff, {true, 0, 1}));
  ASSERT_EQ(map.spanEnd, 65536u);
  EXPECT_EQ(axisPosition(map, 0, 800), 0);
  EXPECT_EQ(axisPosition(map, 65536, 800), 800);
  EXPECT_EQ(axisPosition(map, 32768, 800), 400) << "no 32-bit overflow in the scaling";
  EXPECT_EQ(axisPosition(map, 70000, 800), 800);
  EXPECT_EQ(axisPosition(RegisterMap{}, 10, 800), 0) << "an empty span";
}

TEST(RegisterMap, RowsKnowWhetherTheirGroupIsEnabled) {
  const RegisterMap map = registerMap(table({true, 0, 0}, kOff, {true, 40, 20}, kOff));
  EXPECT_EQ(map.rowEnabled, (std::array<bool, kRegisterRows>{true, false, true, false})) << "enabled with no registers still counts";
}

// The map follows the controls, confirmed or not, and leaves the records alone.
TEST(RegisterMap, ShownMapIsWhatAConfirmationWouldTake) {
  const HoldingRegisterRecords records;
  HoldingRegisterControls c = records.showRegisters();
  c.rows[1].addressText = "550";
  c.rows[3].enable = false;
  const RegisterMap map = shownRegisterMap(records, c);
  EXPECT_EQ(map.bars, (std::vector<RegisterBar>{{0, 500, 600}, {1, 550, 650}, {2, 1600, 1700}}));
  EXPECT_EQ(map.overlaps, (std::vector<RegisterOverlap>{{0, 1, 550, 600}}));
  EXPECT_FALSE(map.rowEnabled[3]);
  EXPECT_EQ(records.records(), defaultHoldingRegisters());
}

TEST(RegisterMap, RangeTextsNameFirstAndLastRegister) {
  EXPECT_EQ(registerRangeText(500, 600), "500–599");
  EXPECT_EQ(registerRangeText(7, 8), "7");
  EXPECT_EQ(registerRangeText(65535, 65536), "65535");
}

// The geometry both painters use: lanes of the font's height and 8, the
// axis right of the names, its length what the widget leaves.
TEST(RegisterMap, LayoutSpansAndLabelPlaces) {
  const MapLayout l = mapLayout(20, 60, 600);
  EXPECT_EQ(l.lane, 28);
  EXPECT_EQ(l.left, kRegisterMapMargin + 60 + kRegisterMapGap);
  EXPECT_EQ(l.width, 600 - l.left - kRegisterMapMargin);
  EXPECT_EQ(l.axisY, kRegisterMapMargin + 4 * 28);
  EXPECT_EQ(l.height, 2 * kRegisterMapMargin + 4 * 28 + 6 + 20);
  EXPECT_EQ(l.rowTop(2), kRegisterMapMargin + 56);
  EXPECT_EQ(mapLayout(20, 60, 10).width, 1) << "never less than a pixel";

  const RegisterMap map = registerMap(table({true, 0, 1000}, {true, 999, 1}, kOff, kOff));
  const MapSpan wide = mapSpan(map, 0, 1000, 500);
  EXPECT_EQ(wide.left, 0);
  EXPECT_EQ(wide.right, 500);
  const MapSpan one = mapSpan(map, 999, 1000, 500);
  EXPECT_EQ(one.left, 499);
  EXPECT_EQ(one.right, 502) << "one register still shows, 3 pixels wide";

  EXPECT_EQ(labelPlace(wide, 100, 500), LabelPlace::Inside);
  EXPECT_EQ(labelPlace({10, 20}, 50, 500), LabelPlace::Right);
  EXPECT_EQ(labelPlace({440, 460}, 50, 500), LabelPlace::Left) << "no room right of it";
  EXPECT_EQ(labelPlace({440, 451}, 50, 500), LabelPlace::Right) << "exactly room: the last pixel is the bar's";
  EXPECT_EQ(labelSpan({10, 20}, 50, LabelPlace::Right).left, 20);
  EXPECT_EQ(labelSpan({10, 20}, 50, LabelPlace::Right).right, 70);
  EXPECT_EQ(labelSpan({440, 460}, 50, LabelPlace::Left).left, 390);
  EXPECT_EQ(labelSpan({440, 460}, 50, LabelPlace::Left).right, 440);
  EXPECT_EQ(labelSpan({10, 20}, 5, LabelPlace::Inside).right, 20);
}
