// What the holding-register page's map draws, apart from painting: one bar
// per enabled group with registers, the span they cover together, and the
// registers two groups share.
#pragma once

#include <cstdint>
#include <vector>

#include "pages/holding_register_records.h"

namespace velmora {

struct RegisterBar {
  int row = 0;          // the page's row, group - 1
  uint32_t begin = 0;   // first register
  uint32_t end = 0;     // one past the last; beyond 65536 when address + count runs past 65535
  bool operator==(const RegisterBar&) const = default;
};

// Registers [begin, end) held by the bars of two rows, rowA < rowB.
struct RegisterOverlap {
  int rowA = 0;
  int rowB = 0;
  uint32_t begin = 0;
  uint32_t end = 0;
  bool operator==(const RegisterOverlap&) const = default;
};

struct RegisterMap {
  std::vector<RegisterBar> bars;          // in row order
  std::vector<RegisterOverlap> overlaps;  // every pair that shares registers, by rowA then rowB
  // [least begin, greatest end) of the bars; 0/0 without bars.
  uint32_t spanBegin = 0;
  uint32_t spanEnd = 0;
};

// Groups 1..4 only: the all-enable group has no range. A disabled group or
// one of 0 registers has no bar.
RegisterMap registerMap(const HoldingRegisterTable& records);

// The pixel of register boundary address on an axis width pixels wide
// spanning the map: spanBegin at 0, spanEnd at width.
int axisPosition(const RegisterMap& map, uint32_t address, int width);

}  // namespace velmora
