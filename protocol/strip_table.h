// The transfer strip's controls described once (ids, kinds, texts, places in
// dialog units), for the windows that build it from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& transferStripTable();

}  // namespace velmora
