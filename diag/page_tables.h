// The diagnostic pages' controls described once (ids, kinds, texts, places
// in dialog units), for the windows that build their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& logPageTable();
const PageTable& dataTestTable();
const PageTable& monitorTable();

}  // namespace velmora
