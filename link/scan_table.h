// The device scan dialog's controls described once, for the windows that
// build it from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

const PageTable& scanDialogTable();

}  // namespace velmora
