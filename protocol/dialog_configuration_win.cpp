#include "protocol/dialog_configuration_win.h"

#include "base/clock.h"
#include "protocol/strip_table.h"

namespace velmora {

using namespace strip_id;

DialogConfigurationWin::DialogConfigurationWin(HWND parent, int windowId, HFONT font, LogSink* log)
    : TablePage(parent, windowId, transferStripTable(), font), engine_(*this, log) {
  // Until start() runs the buttons follow the (disconnected) link.
  EnableWindow(control(kReadButtonId), FALSE);
  EnableWindow(control(kWriteButtonId), FALSE);
}

DialogConfigurationWin::~DialogConfigurationWin() { engine_.stopWatchdogs(); }

void DialogConfigurationWin::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kReadButtonId) engine_.startRead();
  if (id == kWriteButtonId) engine_.startWrite();
}

bool DialogConfigurationWin::onMessage(UINT message, WPARAM w, LPARAM, LRESULT& result) {
  if (message != WM_TIMER) return false;
  engine_.onTimer(static_cast<int>(w));
  result = 0;
  return true;
}

// A real block of the UI thread: the device expects the pause between frames,
// and nothing else may run in between (but the hook's own deferred work).
void DialogConfigurationWin::sleepUs(int64_t us) {
  const uint64_t until = steadyUs() + static_cast<uint64_t>(us > 0 ? us : 0);
  if (pauseHook_) pauseHook_();
  const uint64_t now = steadyUs();
  if (now < until) pauseUs(static_cast<int64_t>(until - now));
}

void DialogConfigurationWin::startTimer(int id, int ms) { SetTimer(handle(), static_cast<UINT_PTR>(id), static_cast<UINT>(ms), nullptr); }
void DialogConfigurationWin::stopTimer(int id) { KillTimer(handle(), static_cast<UINT_PTR>(id)); }

void DialogConfigurationWin::messageBox(const std::string& text) {
  winui::messageBox(GetAncestor(handle(), GA_ROOT), text);
}

void DialogConfigurationWin::setStateText(const std::string& text) {
  winui::setWindowText(control(kStateTextId), text);
}

void DialogConfigurationWin::setLinkStatusText(const std::string& text) {
  winui::setWindowText(control(kStatusTextId), text);
}

// Painted in the next pause (the window's pause hook paints what is due),
// not here: the bar moves right after a frame went out, and painting then
// would hold up the reading of its answer.
void DialogConfigurationWin::setProgress(int percent) {
  SendMessageW(control(kProgressId), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void DialogConfigurationWin::resetProgress() {
  SendMessageW(control(kProgressId), PBM_SETRANGE32, 0, 100);
  SendMessageW(control(kProgressId), PBM_SETPOS, 0, 0);
}

void DialogConfigurationWin::setButtonsEnabled(bool readEnabled, bool writeEnabled) {
  EnableWindow(control(kReadButtonId), readEnabled ? TRUE : FALSE);
  EnableWindow(control(kWriteButtonId), writeEnabled ? TRUE : FALSE);
}

}  // namespace velmora
