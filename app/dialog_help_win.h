// The help page of velmora.exe: the help text the program carries as its
// resource 200 of type TEXT (201 in English), read-only.
#pragma once

#include "ui/ui_kit_win.h"

namespace velmora {

class DialogHelpWin final : public winui::TablePage {
 public:
  DialogHelpWin(HWND parent, int windowId, HFONT font);
};

}  // namespace velmora
