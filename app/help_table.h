// The help page's controls described once, for the windows that build
// their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

namespace help_id {
inline constexpr int kEditId = 1041;  // the help text's view
}  // namespace help_id

const PageTable& helpPageTable();

}  // namespace velmora
