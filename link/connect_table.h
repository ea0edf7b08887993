// The connection page's controls described once (ids, kinds, texts, places
// in dialog units), for the windows that build their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& connectPageTable();

}  // namespace velmora
