#include "pages/holding_register_records.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "config/replace_units.h"

namespace velmora {

HoldingRegisterTable defaultHoldingRegisters() {
  return {{
      {kGroupInput, true, 500, 100, false},
      {kGroupOutput, true, 1000, 100, false},
      {kGroupGlobalInteger, true, 1600, 100, false},
      {kGroupBitVariable, true, 2500, 100, false},
      {kGroupAllEnable, true, 0, 0, false},
  }};
}

uint16_t registerValueFromText(std::string_view text) {
  return static_cast<uint16_t>(std::clamp(parseDecimal(trim(text)), 0, 65535));
}

HoldingRegisterControls HoldingRegisterRecords::showRegisters() const {
  HoldingRegisterControls c;
  for (const HoldingRegisterRecord& r : records_) {
    if (r.group == kGroupAllEnable) {
      c.functionEnable = r.enable;
    } else if (r.group >= 1 && r.group <= kRegisterRows) {
      RegisterRowControls& row = c.rows[static_cast<size_t>(r.group - 1)];
      row.enable = r.enable;
      row.addressText = strprintf("%u", static_cast<unsigned>(r.address));
      row.countText = strprintf("%u", static_cast<unsigned>(r.count));
      row.widthSelection = r.widthFlag ? 1 : 0;
    }
  }
  return c;
}

void HoldingRegisterRecords::captureRegisters(const HoldingRegisterControls& c) {
  for (HoldingRegisterRecord& r : records_) {
    if (r.group == kGroupAllEnable) {
      r.enable = c.functionEnable;
    } else if (r.group >= 1 && r.group <= kRegisterRows) {
      const RegisterRowControls& row = c.rows[static_cast<size_t>(r.group - 1)];
      r.enable = row.enable;
      r.address = registerValueFromText(row.addressText);
      r.count = registerValueFromText(row.countText);
      r.widthFlag = row.widthSelection == 1;
    }
  }
}

bool HoldingRegisterRecords::wouldChange(const HoldingRegisterControls& controls) const {
  HoldingRegisterRecords confirmed = *this;
  confirmed.captureRegisters(controls);
  return confirmed.records_ != records_;
}

void HoldingRegisterRecords::load(const uint8_t* data, int32_t length) {
  records_ = defaultHoldingRegisters();
  if (!isWholeImage(data, length)) return;
  for (const ConfigUnit& unit : wholeUnits(data, length)) {
    if (!isUnitOfKind(unit, UnitKind::HoldingRegister)) continue;
    const HoldingRegisterUnit f = decodeHoldingRegister(unit);
    if (f.group < 1 || f.group > kRegisterGroups) continue;
    records_[static_cast<size_t>(f.group - 1)] = {f.group, f.enable != 0, f.address, f.count, f.widthFlag != 0};
  }
}

void HoldingRegisterRecords::store(uint8_t* buffer, int32_t& length, int32_t capacity) const {
  std::vector<ConfigUnit> units;
  for (const HoldingRegisterRecord& r : records_)
    units.push_back(encodeHoldingRegister({r.group, static_cast<uint8_t>(r.enable ? 1 : 0), r.address, r.count,
                                           static_cast<uint8_t>(r.widthFlag ? 1 : 0)}));
  replaceUnitsOfKind(buffer, length, capacity, unitsOfKind(UnitKind::HoldingRegister), units);
}

bool PendingRegisterEdits::controlsChanged(const HoldingRegisterRecords& records, const HoldingRegisterControls& controls) {
  logged_ = false;
  const bool pending = records.wouldChange(controls);
  if (pending == pending_) return false;
  pending_ = pending;
  return true;
}

std::string PendingRegisterEdits::droppedLine() {
  if (!pending_ || logged_) return {};
  logged_ = true;
  return trText("HoldingRegisterRecords", kPendingEditsDropped);
}

}  // namespace velmora
