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
}  // namespace

TEST(ReplaceUnitsOfKind, ForeignUnitsKeepTheirOrderAndOwnUnitsGoToTheEnd) {
  const Bytes before = image({unitOf(2, 1), unitOf(1, 2), unitOf(7, 3), unitOf(1, 4), unitOf(3, 5)});
  const Bytes after = store(before, unitsOfKind(UnitKind::SerialPort), {unitOf(1, 9), unitOf(1, 10)});
  EXPECT_EQ(after, image({unitOf(2, 1), unitOf(7, 3), unitOf(3, 5), unitOf(1, 9), unitOf(1, 10)}));

  // Kinds 2, 1, 3 stored by the serial owner give 2, 3 and then its units.
  const Bytes mixed = image({unitOf(2, 0), unitOf(1, 0), unitOf(3, 0)});
  EXPECT_EQ(store(mixed, unitsOfKind(UnitKind::SerialPort), {unitOf(1, 1)}),
            image({unitOf(2, 0), unitOf(3, 0), unitOf(1, 1)}));
}

TEST(ReplaceUnitsOfKind, TrailingPartialUnitAndExcessLengthAreDropped) {
  Bytes before = image({unitOf(2, 1), unitOf(3, 2)});
  before.push_back(0x01);
  before.push_back(0x02);
  EXPECT_EQ(store(before, unitsOfKind(UnitKind::HoldingRegister), {}), image({unitOf(2, 1), unitOf(3, 2)}));

  // A length beyond the capacity is cut to the capacity first.
  const Bytes full = image({unitOf(2, 1), unitOf(3, 2), unitOf(3, 3)});
  EXPECT_EQ(store(full, unitsOfKind(UnitKind::SerialPort), {}, 16, 100), image({unitOf(2, 1), unitOf(3, 2)}));
  // A negative length counts as an empty image.
  EXPECT_EQ(store(full, unitsOfKind(UnitKind::SerialPort), {unitOf(1, 1)}, 2048, -5), image({unitOf(1, 1)}));
}

TEST(ReplaceUnitsOfKind, UnitsThatDoNotFitAreLeftOut) {
  const Bytes before = image({unitOf(2, 1), unitOf(1, 2)});
  // Capacity 20: the foreign unit plus one whole appended unit.
  EXPECT_EQ(store(before, unitsOfKind(UnitKind::SerialPort), {unitOf(1, 3), unitOf(1, 4)}, 20),
            image({unitOf(2, 1), unitOf(1, 3)}));
  // A full image of foreign units leaves no room at all.
  Bytes foreign;
  for (int i = 0; i < 256; ++i) {
    const ConfigUnit u = unitOf(2, static_cast<uint8_t>(i));
    foreign.insert(foreign.end(), u.begin(), u.end());
  }
  EXPECT_EQ(store(foreign, unitsOfKind(UnitKind::SerialPort), {unitOf(1, 1)}), foreign);
}

TEST(ReplaceUnitsOfKind, NoBufferOrTooSmallCapacityEmpties) {
  int32_t length = 16;
  const ConfigUnit u = unitOf(1, 1);
  replaceUnitsOfKind(nullptr, length, 2048, unitsOfKind(UnitKind::SerialPort), {&u, 1});
  EXPECT_EQ(length, 0);

  uint8_t small[8] = {};
  length = 8;
  replaceUnitsOfKind(small, length, 7, unitsOfKind(UnitKind::SerialPort), {&u, 1});
  EXPECT_EQ(length, 0);
}

TEST(ReplaceUnitsOfKind, OwnershipRuleCanBeNarrowerThanTheKind) {
  // An address-page-like owner: kind 2 except selector 3, which stays in place.
  const UnitPredicate owns = [](const ConfigUnit& u) { return u[0] == 2 && u[3] <= 2; };
  const ConfigUnit serialNumber{2, 0, 0, 3, 1, 2, 3, 4};
  const ConfigUnit ip{2, 0, 0, 0, 10, 0, 0, 1};
  const Bytes before = image({ip, unitOf(1, 1), serialNumber, unitOf(3, 1)});
  const Bytes after = store(before, owns, {ip});
  EXPECT_EQ(after, image({unitOf(1, 1), serialNumber, unitOf(3, 1), ip}));
  // Storing again changes nothing more.
  EXPECT_EQ(store(after, owns, {ip}), after);
}
