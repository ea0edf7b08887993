#include "diag/diag_pages_win.h"

#include "base/clock.h"
#include "base/tr_text.h"
#include "diag/page_tables.h"

namespace velmora {

using namespace diag_id;

namespace {
// An edit control holds a limited text; the log trims itself long before.
constexpr WPARAM kEditLimit = 4 * 1024 * 1024;
}  // namespace

DialogLogWin::DialogLogWin(HWND parent, int windowId, HFONT font) : TablePage(parent, windowId, logPageTable(), font) {
  SendMessageW(control(kLogEditId), EM_SETLIMITTEXT, kEditLimit, 0);
}

void DialogLogWin::appendLog(const std::string& text) {
  const std::string line = formatLogLine(localTimeNow(), text);
  const bool trimmed = log_.appendLine(line);
  if (holding_) {
    held_ += line;
    heldTrim_ = heldTrim_ || trimmed;
  } else if (trimmed) {
    winui::setEditText(control(kLogEditId), log_.text(), true);
  } else {
    winui::appendEditText(control(kLogEditId), line);
  }
}

void DialogLogWin::release() {
  holding_ = false;
  if (heldTrim_)
    winui::setEditText(control(kLogEditId), log_.text(), true);
  else if (!held_.empty())
    winui::appendEditText(control(kLogEditId), held_);
  held_.clear();
  heldTrim_ = false;
}

DialogDataTestWin::DialogDataTestWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, dataTestTable(), font) {
  SendMessageW(control(kRawEditId), EM_SETLIMITTEXT, kEditLimit, 0);
  winui::setChecked(control(kHexRadioId), true);
  show(DataTestText::opening());
}

void DialogDataTestWin::show(const DataTestText::Shown& shown) {
  winui::setEditText(control(kRawEditId), shown.text, shown.caretAtEnd);
}

void DialogDataTestWin::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kHexRadioId) text_.setHexMode(true);
  if (id == kAsciiRadioId) text_.setHexMode(false);
  if (id == kClearId) {
    SetWindowTextW(control(kRawEditId), L"");
    text_.cleared();
  }
}

void DialogDataTestWin::loadFromImage(const uint8_t* data, int32_t length) { show(text_.load(data, length)); }

StoreResult DialogDataTestWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  return text_.store(winui::windowText(control(kRawEditId)), buffer, length, capacity);
}

DialogMonitorWin::DialogMonitorWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, monitorTable(), font) {
  SendMessageW(control(kMonitorViewId), EM_SETLIMITTEXT, kEditLimit, 0);
}

void DialogMonitorWin::onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
                               const FrameInfo& info) {
  if (paused_) return;
  rows_.add(direction, timeUs, bytes, length, info);
  const MonitorRow& row = rows_.row(rows_.size() - 1);
  held_ += MonitorLog::timeText(row) + "\t" + MonitorLog::directionText(row.direction) + "\t" +
           MonitorLog::hexText(row) + "\t" + MonitorLog::meaningText(row) + "\r\n";
  if (!holding_) release();
}

void DialogMonitorWin::release() {
  holding_ = false;
  if (held_.empty()) return;
  winui::appendEditText(control(kMonitorViewId), held_);
  held_.clear();
}

void DialogMonitorWin::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kMonitorPauseId) {
    paused_ = !paused_;
    winui::setWindowText(control(kMonitorPauseId), trText("DialogMonitor", paused_ ? "继续" : "暂停"));
  }
  if (id == kMonitorClearId) {
    rows_.clear();
    held_.clear();
    SetWindowTextW(control(kMonitorViewId), L"");
  }
}

}  // namespace velmora
