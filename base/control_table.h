// A page's controls described once: id, kind, text and place in dialog
// units, and how each follows the page when it grows. The Win32 window
// builds its pages from these tables; the texts are the same source texts
// the Qt pages show (trText with the table's context).
#pragma once

#include <cstdint>
#include <span>

namespace velmora {

enum class ControlKind : uint8_t {
  Label,
  Group,
  Button,
  Check,
  Radio,       // one of a group that starts at the previous RadioFirst
  RadioFirst,  // the first radio button of its group
  Edit,
  NumberEdit,   // digits only
  ReadOnlyEdit,
  TextView,     // multi-line, read-only, scrolls both ways (lines are not broken)
  WrappedView,  // multi-line, read-only, long lines broken at the edge
  TextEdit,     // multi-line, editable, scrolls both ways
  DropList,     // a drop-down list
  DropEdit,     // a drop-down list whose text can be typed
  ReportList,   // a list of rows with columns
  VirtualList,  // the same for thousands of rows: the page gives each text as it shows
  SortedList,   // a list of texts in text order
  Progress,
  Canvas,       // an area the page paints itself (WM_DRAWITEM)
};

// How a control follows the page beyond its template size: its right or
// bottom edge moves with the page's (the control grows), or the whole
// control moves with that edge.
enum ControlGrowth : uint8_t {
  kFixed = 0,
  kGrowRight = 1,
  kGrowDown = 2,
  kMoveRight = 4,
  kMoveDown = 8,
};

struct ControlRow {
  int id;  // 0 for a label or frame that nothing refers to
  ControlKind kind;
  const char* text;  // source text (VELMORA_TR_NOOP with the table's context); may be null
  int16_t x, y, w, h;  // dialog units
  uint8_t growth = kFixed;
  const char* context = nullptr;  // the text's trText context when not the table's
};

// A column of a ReportList control.
struct ColumnRow {
  int listId;
  const char* text;  // source text in the table's context
  int16_t width;     // dialog units
};

struct PageTable {
  const char* context;  // the trText context of the texts
  int16_t width, height;  // the template's size in dialog units
  std::span<const ControlRow> controls;
  std::span<const ColumnRow> columns = {};
};

}  // namespace velmora
