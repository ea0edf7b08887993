#include "app/help_table.h"

#include "base/tr_text.h"

namespace velmora {

namespace {

using K = ControlKind;

constexpr ControlRow kHelp[] = {
    {0, K::Label, VELMORA_TR_NOOP("DialogHelp", "软件操作帮助"), 13, 9, 120, 10},
    {help_id::kEditId, K::WrappedView, nullptr, 10, 24, 268, 181, kGrowRight | kGrowDown},
};

}  // namespace

const PageTable& helpPageTable() {
  static constexpr PageTable t{"DialogHelp", 293, 218, kHelp};
  return t;
}

}  // namespace velmora
