// The transfer strip's controls described once (ids, kinds, texts, places in
// dialog units), for the windows that build it from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

// The strip's controls its code reaches, by the ids the table gives them.
namespace strip_id {
inline constexpr int kStatusTextId = 1011;
inline constexpr int kReadButtonId = 1012;
inline constexpr int kWriteButtonId = 1013;
inline constexpr int kStateTextId = 1014;
inline constexpr int kProgressId = 1015;
}  // namespace strip_id

const PageTable& transferStripTable();

}  // namespace velmora
