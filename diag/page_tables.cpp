#include "diag/page_tables.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace diag_id;
constexpr uint8_t kRightDown = kGrowRight | kGrowDown;

// The views start 60 pixels below the page's top; on a page of the
// template's size that is about 32 dialog units at 14 points.
constexpr ControlRow kLog[] = {
    {0, K::Label, VELMORA_TR_NOOP("DialogLog", "日志消息输出"), 8, 12, 120, 10},
    // At the right edge beside the heading, as on Linux.
    {kLogSaveId, K::Button, VELMORA_TR_NOOP("DialogLog", "保存..."), 376, 10, 58, 14, kMoveRight},
    {kLogEditId, K::TextView, nullptr, 6, 32, 428, 200, kRightDown},
};

constexpr ControlRow kDataTest[] = {
    {kHexRadioId, K::RadioFirst, "HEX", 8, 12, 40, 10},
    {kAsciiRadioId, K::Radio, "ASCII", 56, 12, 44, 10},
    {kClearId, K::Button, VELMORA_TR_NOOP("DialogRawBytes", "清空"), 112, 10, 50, 14},
    {kRawEditId, K::TextEdit, nullptr, 6, 32, 428, 200, kRightDown},
};

constexpr ControlRow kMonitor[] = {
    {kMonitorPauseId, K::Button, VELMORA_TR_NOOP("DialogMonitor", "暂停"), 8, 10, 50, 14},
    {kMonitorClearId, K::Button, VELMORA_TR_NOOP("DialogMonitor", "清空"), 64, 10, 50, 14},
    {kMonitorSaveId, K::Button, VELMORA_TR_NOOP("DialogMonitor", "保存..."), 120, 10, 58, 14},
    {kMonitorSaveCaptureId, K::Button, VELMORA_TR_NOOP("DialogMonitor", "保存抓包..."), 184, 10, 72, 14},
    {kMonitorViewId, K::VirtualList, nullptr, 6, 32, 428, 200, kRightDown},
};

// The page measures the widths again from its font; these are the start.
constexpr ColumnRow kMonitorColumns[] = {
    {kMonitorViewId, VELMORA_TR_NOOP("DialogMonitor", "时间 (ms)"), 48},
    {kMonitorViewId, VELMORA_TR_NOOP("DialogMonitor", "方向"), 28},
    {kMonitorViewId, VELMORA_TR_NOOP("DialogMonitor", "报文"), 230},
    {kMonitorViewId, VELMORA_TR_NOOP("DialogMonitor", "含义"), 110},
};

}  // namespace

const PageTable& logPageTable() {
  static constexpr PageTable t{"DialogLog", 440, 236, kLog};
  return t;
}
const PageTable& dataTestTable() {
  static constexpr PageTable t{"DialogRawBytes", 440, 236, kDataTest};
  return t;
}
const PageTable& monitorTable() {
  static constexpr PageTable t{"DialogMonitor", 440, 236, kMonitor, kMonitorColumns};
  return t;
}

}  // namespace velmora
