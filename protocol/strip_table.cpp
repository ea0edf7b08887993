#include "protocol/strip_table.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

using K = ControlKind;

constexpr ControlRow kStrip[] = {
    {1011, K::Label, VELMORA_TR_NOOP("DialogConfiguration", "状态：未连接"), 6, 5, 300, 10, kGrowRight},
    {1012, K::Button, VELMORA_TR_NOOP("DialogConfiguration", "读取配置"), 316, 2, 60, 14, kMoveRight},
    {1013, K::Button, VELMORA_TR_NOOP("DialogConfiguration", "下发配置"), 382, 2, 60, 14, kMoveRight},
    {1014, K::Label, VELMORA_TR_NOOP("DialogConfiguration", "空闲"), 6, 24, 90, 10},
    {1015, K::Progress, nullptr, 100, 23, 342, 10, kGrowRight},
};

}  // namespace

const PageTable& transferStripTable() {
  static constexpr PageTable t{"DialogConfiguration", 448, 36, kStrip};
  return t;
}

}  // namespace velmora
