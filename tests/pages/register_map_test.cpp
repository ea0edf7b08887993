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
