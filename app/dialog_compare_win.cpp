#include "app/dialog_compare_win.h"

#include "app/compare_table.h"
#include "base/tr_text.h"

namespace velmora {

using namespace compare_id;

DialogCompareWin::DialogCompareWin(HWND owner, HFONT font, const std::string& heading,
                                   const std::vector<std::string>& lines)
    : TablePage(owner, Popup{trText("DialogCompare", kCompareCaption)}, compareDialogTable(), font), owner_(owner) {
  winui::setWindowText(control(kHeading), heading);
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  winui::setEditText(control(kList), text, false);
  // Nothing to list: the heading says it all.
  if (lines.empty()) ShowWindow(control(kList), SW_HIDE);
  SendMessageW(control(kCloseButton), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

bool DialogCompareWin::run() {
  winui::runModal(owner_, handle(), control(kCloseButton), done_);
  return load_;
}

void DialogCompareWin::onCommand(int id, int code) {
  if (id == kLoadButton && code == BN_CLICKED) load_ = done_ = true;
  // 关闭, Enter (the default button) and Escape all close without loading.
  if ((id == kCloseButton && code == BN_CLICKED) || id == IDOK || id == IDCANCEL) done_ = true;
}

bool DialogCompareWin::onMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_CLOSE) return false;
  done_ = true;
  result = 0;
  return true;
}

}  // namespace velmora
