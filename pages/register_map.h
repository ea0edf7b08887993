// What the holding-register page's map draws, apart from painting: one bar
// per enabled group with registers, the span they cover together, and the
// registers two groups share.
#pragma once

#include <array>
#include <cstdint>
#include <string>
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
  // Each row's group is enabled (its name is drawn in the normal colour).
  std::array<bool, kRegisterRows> rowEnabled{};
};

// Groups 1..4 only: the all-enable group has no range. A disabled group or
// one of 0 registers has no bar.
RegisterMap registerMap(const HoldingRegisterTable& records);

// The map of what confirming controls would make of records: the page's map
// follows the typing.
RegisterMap shownRegisterMap(const HoldingRegisterRecords& records, const HoldingRegisterControls& controls);

// The pixel of register boundary address on an axis width pixels wide
// spanning the map: spanBegin at 0, spanEnd at width.
int axisPosition(const RegisterMap& map, uint32_t address, int width);

// How the map is drawn, apart from the painter: the rows' colours (told apart
// also by those who mix up red and green; red is kept for the overlaps),
// the margin round it, the gap between the names and the axis, the text
// without bars.
struct MapColour {
  uint8_t red, green, blue;
};
inline constexpr std::array<MapColour, kRegisterRows> kRegisterRowColours{
    {{0x3b, 0x7d, 0xd8}, {0x2a, 0x9d, 0x8f}, {0xe0, 0x8a, 0x1e}, {0x8e, 0x5c, 0xc4}}};
inline constexpr MapColour kRegisterOverlapColour{0xd6, 0x27, 0x28};
inline constexpr MapColour kRegisterOverlapBacking{255, 235, 235};
inline constexpr int kRegisterMapMargin = 6;
inline constexpr int kRegisterMapGap = 8;
inline constexpr const char* kNoRegisterBarsText = VELMORA_TR_NOOP("RegisterMapWidget", "无已使能的寄存器组");

// The map's geometry in a widget widgetWidth pixels wide, for a font
// fontHeight high whose widest row name is nameWidth: a lane a row, the axis
// below them, a tick label below the axis.
struct MapLayout {
  int lane = 0;    // a row's height
  int left = 0;    // where the axis starts
  int width = 1;   // the axis' length
  int axisY = 0;
  int height = 0;  // the least height the map needs
  int rowTop(int row) const { return kRegisterMapMargin + row * lane; }
};
MapLayout mapLayout(int fontHeight, int nameWidth, int widgetWidth);

// The range a bar's label names: "500–599", or "7" for one register.
std::string registerRangeText(uint32_t begin, uint32_t end);

// Pixels [left, right) along the axis, counted from its start.
struct MapSpan {
  int left = 0;
  int right = 0;
};
// Registers [begin, end) on an axis width pixels wide; at least 3 pixels, so
// a bar or a shared part of one register in 65536 still shows.
MapSpan mapSpan(const RegisterMap& map, uint32_t begin, uint32_t end, int width);
// Where a bar's label of textWidth pixels (its margin included) goes: inside
// the bar when it fits, else right of it when the axis has room, else left.
enum class LabelPlace { Inside, Right, Left };
LabelPlace labelPlace(MapSpan bar, int textWidth, int width);
MapSpan labelSpan(MapSpan bar, int textWidth, LabelPlace place);

}  // namespace velmora
