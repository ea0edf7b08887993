// The main window's menu described once: the popups and their commands in
// order, with the captions both windows show. A caption's "\tCtrl+X" part
// names the key that gives the command.
#pragma once

#include <span>

namespace velmora {

namespace command_id {
inline constexpr int kFileNew = 32771;
inline constexpr int kFileOpen = 32772;
inline constexpr int kFileSave = 32773;
inline constexpr int kAppExit = 32774;
inline constexpr int kDeviceScan = 32775;
inline constexpr int kDeviceConfig = 32776;
inline constexpr int kAppHelp = 32777;
inline constexpr int kCompareDevice = 32778;
inline constexpr int kRestoreBackup = 32779;
}  // namespace command_id

struct MenuEntry {
  int id;               // 0: a separator
  const char* caption;  // source text, context "MainDialog"
};

struct MenuPopup {
  const char* caption;  // source text, context "MainDialog"
  std::span<const MenuEntry> items;
};

std::span<const MenuPopup> mainMenu();

// The key of a caption's "\tCtrl+N" part: the letter, or 0 when it names none.
char ctrlShortcutLetter(const char* caption);

}  // namespace velmora
