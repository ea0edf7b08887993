#include "config/replace_units.h"

#include <algorithm>
#include <cstring>

namespace velmora {

UnitPredicate unitsOfKind(UnitKind kind) {
  return [kind](const ConfigUnit& unit) { return isUnitOfKind(unit, kind); };
}

void replaceUnitsOfKind(uint8_t* buffer, int32_t& length, int32_t capacity, const UnitPredicate& owns,
                        std::span<const ConfigUnit> units) {
  if (buffer == nullptr || capacity < kUnitBytes) {
    length = 0;
    return;
  }
  const int32_t incoming = std::clamp(length, 0, capacity);
  const int32_t unitCount = incoming / kUnitBytes;

  int32_t kept = 0;
  for (int32_t i = 0; i < unitCount; ++i) {
    const ConfigUnit unit = unitAt(buffer, i);
    if (owns && owns(unit)) continue;
    std::memcpy(buffer + kept, unit.data(), kUnitBytes);
    kept += kUnitBytes;
  }
  for (const ConfigUnit& unit : units) {
    if (capacity - kept < kUnitBytes) break;
    std::memcpy(buffer + kept, unit.data(), kUnitBytes);
    kept += kUnitBytes;
  }
  length = kept;
}

}  // namespace velmora
