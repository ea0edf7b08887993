// velmora.exe's result of a comparison with the device: the heading, the
// differing settings one a line, 载入设备配置 and 关闭.
#pragma once

#include <string>
#include <vector>

#include "ui/ui_kit_win.h"

namespace velmora {

class DialogCompareWin final : public winui::TablePage {
 public:
  DialogCompareWin(HWND owner, HFONT font, const std::string& heading, const std::vector<std::string>& lines);

  // Shows the dialog modally; true when 载入设备配置 was pressed.
  bool run();

 private:
  void onCommand(int id, int code) override;
  bool onMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) override;

  HWND owner_;
  bool done_ = false;
  bool load_ = false;
};

}  // namespace velmora
