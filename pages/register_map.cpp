#include "pages/register_map.h"

#include <algorithm>

namespace velmora {

RegisterMap registerMap(const HoldingRegisterTable& records) {
  RegisterMap map;
  for (const HoldingRegisterRecord& r : records) {
    if (r.group < 1 || r.group > kRegisterRows || !r.enable || r.count == 0) continue;
    map.bars.push_back({r.group - 1, r.address, uint32_t{r.address} + r.count});
  }
  std::sort(map.bars.begin(), map.bars.end(), [](const RegisterBar& a, const RegisterBar& b) { return a.row < b.row; });
  for (size_t i = 0; i < map.bars.size(); ++i) {
    const RegisterBar& a = map.bars[i];
    map.spanBegin = i == 0 ? a.begin : std::min(map.spanBegin, a.begin);
    map.spanEnd = std::max(map.spanEnd, a.end);
    for (size_t j = i + 1; j < map.bars.size(); ++j) {
      const RegisterBar& b = map.bars[j];
      const uint32_t begin = std::max(a.begin, b.begin);
      const uint32_t end = std::min(a.end, b.end);
      if (begin < end) map.overlaps.push_back({a.row, b.row, begin, end});
    }
  }
  return map;
}

int axisPosition(const RegisterMap& map, uint32_t address, int width) {
  if (map.spanEnd <= map.spanBegin || width <= 0) return 0;
  const uint32_t at = std::clamp(address, map.spanBegin, map.spanEnd);
  return static_cast<int>(int64_t{at - map.spanBegin} * width / (map.spanEnd - map.spanBegin));
}

}  // namespace velmora
