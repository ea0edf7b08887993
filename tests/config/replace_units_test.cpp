#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "config/replace_units.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {
ConfigUnit unitOf(uint8_t kind, uint8_t tag) { return {kind, tag, 0, 0, 0, 0, 0, tag}; }

Bytes image(std::initializer_list<ConfigUnit> units) {
  Bytes out;
  for (const ConfigUnit& u : units) out.insert(out.end(), u.begin(), u.end());
  return out;
}

// Runs a store into a 2048-byte working copy, as the main window does.
Bytes store(const Bytes& before, const UnitPredicate& owns, const std::vector<ConfigUnit>& units,
            int32_t capacity = 2048, std::optional<int32_t> length = std::nullopt) {
  Bytes buffer(2048, 0xEE);
  std::memcpy(buffer.data(), before.data(), before.size());
  int32_t n = length.value_or(static_cast<int32_t>(before.size()));
  replaceUnitsOfKind(buffer.data(), n, capacity, owns, units);
  return Bytes(buffer.begin(), buffer.begin() + n);
}
const UnitPredicate kSerial = unitsOfKind(UnitKind::SerialPort);
}  // namespace

TEST(ReplaceUnitsOfKind, ForeignUnitsKeepTheirOrderAndOwnUnitsGoToTheEnd) {
  const Bytes before = image({unitOf(2, 1), unitOf(1, 2), unitOf(7, 3), unitOf(1, 4), unitOf(3, 5)});
  EXPECT_EQ(store(before, kSerial, {unitOf(1, 9), unitOf(1, 10)}),
            image({unitOf(2, 1), unitOf(7, 3), unitOf(3, 5), unitOf(1, 9), unitOf(1, 10)}));

  // A narrower owner (the address page) is network_address_records_test's.
}

TEST(ReplaceUnitsOfKind, PartialUnitsExcessOrNegativeLengthAndFullImages) {
  Bytes before = image({unitOf(2, 1), unitOf(3, 2)});
  before.insert(before.end(), {0x01, 0x02});
  EXPECT_EQ(store(before, unitsOfKind(UnitKind::HoldingRegister), {}), image({unitOf(2, 1), unitOf(3, 2)}));
  const Bytes full = image({unitOf(2, 1), unitOf(3, 2), unitOf(3, 3)});
  EXPECT_EQ(store(full, kSerial, {}, 16, 100), image({unitOf(2, 1), unitOf(3, 2)})) << "cut to the capacity";
  EXPECT_EQ(store(full, kSerial, {unitOf(1, 1)}, 2048, -5), image({unitOf(1, 1)})) << "negative is empty";

  // Capacity 20: the foreign unit plus one whole appended unit.
  EXPECT_EQ(store(image({unitOf(2, 1), unitOf(1, 2)}), kSerial, {unitOf(1, 3), unitOf(1, 4)}, 20),
            image({unitOf(2, 1), unitOf(1, 3)}));
  Bytes foreign;
  for (int i = 0; i < 256; ++i) {
    const ConfigUnit u = unitOf(2, static_cast<uint8_t>(i));
    foreign.insert(foreign.end(), u.begin(), u.end());
  }
  EXPECT_EQ(store(foreign, kSerial, {unitOf(1, 1)}), foreign) << "no room at all";

  int32_t length = 16;
  const ConfigUnit u = unitOf(1, 1);
  replaceUnitsOfKind(nullptr, length, 2048, kSerial, {&u, 1});
  EXPECT_EQ(length, 0);
  uint8_t small[8] = {};
  length = 8;
  replaceUnitsOfKind(small, length, 7, kSerial, {&u, 1});
  EXPECT_EQ(length, 0);
}
