// The editor pages' controls described once (ids, kinds, texts, places in
// dialog units), for the windows that build their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& serialParamTable();
const PageTable& netAddressTable();
const PageTable& netServerTable();
const PageTable& maintainRegisterTable();
const PageTable& listPageTable();

// The holding-register page's row controls: group row r (0..3), field f
// (0 enable, 1 address, 2 count, 3 width list).
inline constexpr int registerRowControlId(int row, int field) { return 8002 + 4 * row + field; }

}  // namespace velmora
