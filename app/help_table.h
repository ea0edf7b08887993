// The help page's controls described once, for the windows that build
// their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& helpPageTable();

}  // namespace velmora
