#include "app/main_menu.h"

#include <cstring>

#include "base/tr_text.h"

namespace velmora {

namespace {

using namespace command_id;

constexpr MenuEntry kFile[] = {
    {kFileNew, VELMORA_TR_NOOP("MainDialog", "新建(&N)\tCtrl+N")},
    {kFileOpen, VELMORA_TR_NOOP("MainDialog", "打开(&O)...\tCtrl+O")},
    {kFileSave, VELMORA_TR_NOOP("MainDialog", "保存(&S)...\tCtrl+S")},
    {0, nullptr},
    {kAppExit, VELMORA_TR_NOOP("MainDialog", "退出(&X)")},
};
constexpr MenuEntry kEdit[] = {
    {kDeviceScan, VELMORA_TR_NOOP("MainDialog", "设备地址扫描(&N)...")},
    {kDeviceConfig, VELMORA_TR_NOOP("MainDialog", "设备配置(&S)...")},
    {kCompareDevice, VELMORA_TR_NOOP("MainDialog", "与设备比较(&C)...")},
    {kRestoreBackup, VELMORA_TR_NOOP("MainDialog", "恢复备份(&R)...")},
};
constexpr MenuEntry kHelp[] = {
    {kAppHelp, VELMORA_TR_NOOP("MainDialog", "软件帮助(&H)...")},
};
constexpr MenuPopup kMenu[] = {
    {VELMORA_TR_NOOP("MainDialog", "文件(&F)"), kFile},
    {VELMORA_TR_NOOP("MainDialog", "编辑(&E)"), kEdit},
    {VELMORA_TR_NOOP("MainDialog", "帮助(&H)"), kHelp},
};

}  // namespace

std::span<const MenuPopup> mainMenu() { return kMenu; }

char ctrlShortcutLetter(const char* caption) {
  if (caption == nullptr) return 0;
  const char* tab = std::strchr(caption, '\t');
  if (tab == nullptr || std::strncmp(tab + 1, "Ctrl+", 5) != 0) return 0;
  const char letter = tab[6];
  return (letter >= 'A' && letter <= 'Z' && tab[7] == '\0') ? letter : 0;
}

}  // namespace velmora
