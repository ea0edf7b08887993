#include "protocol/strip_table.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace strip_id;

constexpr ControlRow kStrip[] = {
    {kStatusTextId, K::Label, VELMORA_TR_NOOP("DialogConfiguration", "状态：未连接"), 6, 5, 300, 10, kGrowRight},
    {kReadButtonId, K::Button, VELMORA_TR_NOOP("DialogConfiguration", "读取配置"), 316, 2, 60, 14, kMoveRight},
    {kWriteButtonId, K::Button, VELMORA_TR_NOOP("DialogConfiguration", "下发配置"), 382, 2, 60, 14, kMoveRight},
    {kStateTextId, K::Label, VELMORA_TR_NOOP("DialogConfiguration", "空闲"), 6, 24, 90, 10},
    {kProgressId, K::Progress, nullptr, 100, 23, 342, 10, kGrowRight},
};

}  // namespace

const PageTable& transferStripTable() {
  static constexpr PageTable t{"DialogConfiguration", 448, 36, kStrip};
  return t;
}

}  // namespace velmora
