#include "link/scan_table.h"

#include "base/tr_text.h"
#include "link/scan_logic.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace scan_id;

constexpr ControlRow kScan[] = {
    {0, K::Label, VELMORA_TR_NOOP("DialogScan", "扫描到的设备:"), 7, 7, 120, 10},
    {kDeviceList, K::SortedList, nullptr, 7, 20, 146, 110},
    {kScanButton, K::Button, VELMORA_TR_NOOP("DialogScan", "扫描"), 7, 136, 50, 14},
    {kOkButton, K::Button, VELMORA_TR_NOOP("DialogScan", "确定"), 103, 136, 50, 14},
};

}  // namespace

const PageTable& scanDialogTable() {
  static constexpr PageTable t{"DialogScan", 160, 156, kScan};
  return t;
}

}  // namespace velmora
