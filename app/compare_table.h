// The comparison dialog's controls described once: its ids for both
// windows, and the table the Win32 window builds it from.
#pragma once

#include "base/control_table.h"
#include "base/tr_text.h"

namespace velmora {

namespace compare_id {
inline constexpr int kHeading = 1051;
inline constexpr int kList = 1052;
inline constexpr int kLoadButton = 1053;
inline constexpr int kCloseButton = 1054;
}  // namespace compare_id

// The dialog's caption, a source text in the table's context.
inline constexpr const char* kCompareCaption = VELMORA_TR_NOOP("DialogCompare", "与设备比较");

const PageTable& compareDialogTable();

}  // namespace velmora
