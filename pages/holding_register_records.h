// The holding-register page's records and rules, apart from its window:
// five groups, edited in the controls and taken only on confirmation.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/config_unit.h"
#include "base/tr_text.h"

namespace velmora {

inline constexpr int kRegisterGroups = 5;
// Groups 1..4 have a row of controls; group 5 only its enable switch.
inline constexpr int kRegisterRows = 4;

// The rows' names, in group order.
inline constexpr std::array<const char*, kRegisterRows> kRegisterRowNames{
    VELMORA_TR_NOOP("HoldingRegisterRecords", "输入"), VELMORA_TR_NOOP("HoldingRegisterRecords", "输出"),
    VELMORA_TR_NOOP("HoldingRegisterRecords", "全局整数"), VELMORA_TR_NOOP("HoldingRegisterRecords", "位变量")};

// Shown beside "修改确认" while the controls hold edits it has not taken,
// and logged once when such edits are left behind.
inline constexpr const char* kPendingEditsNote = VELMORA_TR_NOOP("HoldingRegisterRecords", "有未确认的修改");
inline constexpr const char* kPendingEditsDropped =
    VELMORA_TR_NOOP("HoldingRegisterRecords", "保持寄存器配置：未确认的修改未生效");

struct HoldingRegisterRecord {
  uint8_t group = 0;
  bool enable = false;
  uint16_t address = 0;
  uint16_t count = 0;
  bool widthFlag = false;
  bool operator==(const HoldingRegisterRecord&) const = default;
};
using HoldingRegisterTable = std::array<HoldingRegisterRecord, kRegisterGroups>;

// Every group enabled; inputs at 500, outputs at 1000, global integers at
// 1600, bit variables at 2500, 100 registers each; the all-enable group 0/0.
HoldingRegisterTable defaultHoldingRegisters();

// A typed address or count: trimmed, read as a signed decimal number from
// its leading characters (no digits give 0), then held to 0..65535.
uint16_t registerValueFromText(std::string_view text);

// One row of controls (groups 1..4).
struct RegisterRowControls {
  bool enable = false;
  std::string addressText;
  std::string countText;
  int widthSelection = 0;  // item 1 stands for a set width flag
  bool operator==(const RegisterRowControls&) const = default;
};
struct HoldingRegisterControls {
  bool functionEnable = false;  // group 5
  std::array<RegisterRowControls, kRegisterRows> rows;
  bool operator==(const HoldingRegisterControls&) const = default;
};

// The two items of each row's width list, rows in group order.
inline constexpr std::array<std::array<const char*, 2>, kRegisterRows> kWidthItems{{
    {VELMORA_TR_NOOP("HoldingRegisterRecords", "1(每个输入占据1位，每个寄存器表示16个输入)"),
     VELMORA_TR_NOOP("HoldingRegisterRecords", "16(每个输入占据16位，每个寄存器表示1个输入)")},
    {VELMORA_TR_NOOP("HoldingRegisterRecords", "1(每个输出占据1位，每个寄存器表示16个输出)"),
     VELMORA_TR_NOOP("HoldingRegisterRecords", "16(每个输出占据16位，每个寄存器表示1个输出)")},
    {VELMORA_TR_NOOP("HoldingRegisterRecords", "半字(每个寄存器表示一个全局整数)"),
     VELMORA_TR_NOOP("HoldingRegisterRecords", "全字(每2个寄存器表示一个全局整数)")},
    {VELMORA_TR_NOOP("HoldingRegisterRecords", "1(每个位变量占据1位，每个寄存器表示16个位变量)"),
     VELMORA_TR_NOOP("HoldingRegisterRecords", "16(每个位变量占据16位，每个寄存器表示1个位变量)")},
}};

class HoldingRegisterRecords {
 public:
  HoldingRegisterRecords() : records_(defaultHoldingRegisters()) {}

  const HoldingRegisterTable& records() const { return records_; }

  // The records as the controls show them.
  HoldingRegisterControls showRegisters() const;
  // The confirmation: the controls become the records (group 5 keeps its
  // address, count and width, which have no control).
  void captureRegisters(const HoldingRegisterControls& controls);
  // True when confirming controls would change the records: edits that a
  // load or a page change would drop unconfirmed. A text that reads as the
  // same number ("0500" for 500) is no edit.
  bool wouldChange(const HoldingRegisterControls& controls) const;

  // Back to the defaults, then the kind-4 units of a whole image with a
  // group of 1..5, later units winning.
  void load(const uint8_t* data, int32_t length);
  // Drops every kind-4 unit, whatever its group, and appends groups 1..5.
  void store(uint8_t* buffer, int32_t& length, int32_t capacity) const;

 private:
  HoldingRegisterTable records_;
};

// Edits in the controls that 修改确认 has not taken. Both windows tell it of
// every control change; while there are such edits the button is marked and
// the note shows beside it, and a load or a page change that leaves them
// behind logs one line for them.
class PendingRegisterEdits {
 public:
  // The controls hold controls now (an edit, a confirmation, records shown
  // anew). True when the pending state started or ended.
  bool controlsChanged(const HoldingRegisterRecords& records, const HoldingRegisterControls& controls);
  bool pending() const { return pending_; }
  // The edits are left behind: the line to log, once for the same edits (a
  // new edit is news again); empty without edits.
  std::string droppedLine();

 private:
  bool pending_ = false;
  bool logged_ = false;
};

}  // namespace velmora
