// The diagnostic pages' controls described once (ids, kinds, texts, places
// in dialog units), for the windows that build their pages from a table.
#pragma once

#include "base/control_table.h"

namespace velmora {

// The controls a page's code reaches, by the ids the tables give them.
namespace diag_id {
inline constexpr int kLogEditId = 1031;
inline constexpr int kLogSaveId = 1032;
inline constexpr int kHexRadioId = 3001;
inline constexpr int kAsciiRadioId = 3002;
inline constexpr int kRawEditId = 3003;
inline constexpr int kClearId = 3004;
inline constexpr int kMonitorViewId = 1051;
inline constexpr int kMonitorPauseId = 1052;
inline constexpr int kMonitorClearId = 1053;
inline constexpr int kMonitorSaveId = 1054;
inline constexpr int kMonitorSaveCaptureId = 1055;
}  // namespace diag_id

const PageTable& logPageTable();
const PageTable& dataTestTable();
const PageTable& monitorTable();

}  // namespace velmora
