#include "pages/list_page_units.h"

#include <cstring>

#include "pages/unit_description.h"

namespace velmora {

void ListPageUnits::load(const uint8_t* data, int32_t length) { units_ = wholeUnits(data, length); }

bool ListPageUnits::store(uint8_t* buffer, int32_t& length, int32_t capacity) const {
  length = 0;
  if (buffer == nullptr) return true;
  const int64_t bytes = static_cast<int64_t>(units_.size()) * kUnitBytes;
  if (bytes > capacity) return false;
  for (size_t i = 0; i < units_.size(); ++i) std::memcpy(buffer + i * kUnitBytes, units_[i].data(), kUnitBytes);
  length = static_cast<int32_t>(bytes);
  return true;
}

std::vector<ListPageUnits::Row> ListPageUnits::rows() const {
  std::vector<Row> rows;
  rows.reserve(units_.size());
  for (size_t i = 0; i < units_.size(); ++i)
    rows.push_back({std::to_string(i), unitKindName(units_[i][0]), describeUnit(units_[i])});
  return rows;
}

}  // namespace velmora
