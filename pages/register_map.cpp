#include "pages/register_map.h"

#include <algorithm>

#include "base/text.h"

namespace velmora {

RegisterMap registerMap(const HoldingRegisterTable& records) {
  RegisterMap map;
  for (const HoldingRegisterRecord& r : records)
    if (r.group >= 1 && r.group <= kRegisterRows) map.rowEnabled[static_cast<size_t>(r.group - 1)] = r.enable;
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

RegisterMap shownRegisterMap(const HoldingRegisterRecords& records, const HoldingRegisterControls& controls) {
  HoldingRegisterRecords shown = records;
  shown.captureRegisters(controls);
  return registerMap(shown.records());
}

MapLayout mapLayout(int fontHeight, int nameWidth, int widgetWidth) {
  MapLayout l;
  l.lane = fontHeight + 8;
  l.left = kRegisterMapMargin + nameWidth + kRegisterMapGap;
  l.width = std::max(1, widgetWidth - l.left - kRegisterMapMargin);
  l.axisY = kRegisterMapMargin + kRegisterRows * l.lane;
  l.height = 2 * kRegisterMapMargin + kRegisterRows * l.lane + 6 + fontHeight;
  return l;
}

std::string registerRangeText(uint32_t begin, uint32_t end) {
  if (end - begin == 1) return strprintf("%u", static_cast<unsigned>(begin));
  return strprintf("%u–%u", static_cast<unsigned>(begin), static_cast<unsigned>(end - 1));
}

MapSpan mapSpan(const RegisterMap& map, uint32_t begin, uint32_t end, int width) {
  const int left = axisPosition(map, begin, width);
  return {left, std::max(left + 3, axisPosition(map, end, width))};
}

LabelPlace labelPlace(MapSpan bar, int textWidth, int width) {
  if (textWidth <= bar.right - bar.left) return LabelPlace::Inside;
  return bar.right - 1 + textWidth <= width ? LabelPlace::Right : LabelPlace::Left;
}

MapSpan labelSpan(MapSpan bar, int textWidth, LabelPlace place) {
  switch (place) {
    case LabelPlace::Inside:
      return bar;
    case LabelPlace::Right:
      return {bar.right, bar.right + textWidth};
    case LabelPlace::Left:
      break;
  }
  return {bar.left - textWidth, bar.left};
}

}  // namespace velmora
