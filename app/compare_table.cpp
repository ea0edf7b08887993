#include "app/compare_table.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace compare_id;

// The heading and the lines are the comparison's; the list grows with the dialog.
constexpr ControlRow kCompare[] = {
    {kHeading, K::Label, nullptr, 7, 7, 306, 18, kGrowRight},
    {kList, K::TextView, nullptr, 7, 28, 306, 142, kGrowRight | kGrowDown},
    {kLoadButton, K::Button, VELMORA_TR_NOOP("DialogCompare", "载入设备配置"), 185, 177, 70, 14, kMoveRight | kMoveDown},
    {kCloseButton, K::Button, VELMORA_TR_NOOP("DialogCompare", "关闭"), 263, 177, 50, 14, kMoveRight | kMoveDown},
};

}  // namespace

const PageTable& compareDialogTable() {
  static constexpr PageTable t{"DialogCompare", 320, 198, kCompare};
  return t;
}

}  // namespace velmora
