#include "diag/diag_pages_win.h"

#include <algorithm>

#include "base/clock.h"
#include "base/tr_text.h"
#include "config/image_file_qt.h"
#include "config/image_rules.h"
#include "diag/page_tables.h"

namespace velmora {

using namespace diag_id;

namespace {
// An edit control holds a limited text; the log trims itself long before.
constexpr WPARAM kEditLimit = 4 * 1024 * 1024;
// The monitor's timer for its next batch of rows.
constexpr UINT_PTR kBatchTimerId = 1;

// The save dialog over the page's window, then the offer written whole.
void saveWithDialog(HWND page, const SaveOffer& offer) {
  HWND owner = GetAncestor(page, GA_ROOT);
  SaveSteps steps;
  steps.askPath = [owner](const SaveOffer& o) {
    winui::FileRequest request;
    request.save = true;
    request.filter = barSeparatedFilter(o.filter);
    request.defaultSuffix = o.suffix;
    request.initialName = o.initialName;
    return winui::fileDialog(owner, request);
  };
  steps.write = writeTextFile;
  steps.box = [owner](const std::string& text) { winui::messageBox(owner, text); };
  saveOffered(offer, steps);
}
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

void DialogLogWin::onCommand(int id, int code) {
  if (code != BN_CLICKED || id != kLogSaveId) return;
  release();
  saveWithDialog(handle(), logSaveOffer(log_.text()));
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
  // The widths the Linux table gives its columns; the bytes take the rest.
  HWND list = control(kMonitorViewId);
  ListView_SetColumnWidth(list, 0, winui::textWidth(list, "000000.000") + 12);
  ListView_SetColumnWidth(list, 1, winui::textWidth(list, trText("DialogMonitor", "方向")) + 16);
  ListView_SetColumnWidth(list, 3, winui::textWidth(list, trText("DialogMonitor", "写入数据包：包 00/42，50 字节")) + 16);
  onResized();
}

void DialogMonitorWin::onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
                               const FrameInfo& info) {
  if (paused_) return;
  rows_.add(direction, timeUs, bytes, length, info);
  // Armed once: a steady stream of frames must not keep putting it off.
  if (!holding_ && !batchDue_) batchDue_ = SetTimer(handle(), kBatchTimerId, MonitorLog::kBatchMs, nullptr) != 0;
}

bool DialogMonitorWin::onMessage(UINT message, WPARAM w, LPARAM, LRESULT& result) {
  if (message != WM_TIMER || w != kBatchTimerId) return false;
  release();
  result = 0;
  return true;
}

void DialogMonitorWin::release() {
  holding_ = false;
  if (batchDue_) KillTimer(handle(), kBatchTimerId);
  batchDue_ = false;
  const bool shifted = rows_.droppedFront() != droppedSeen_;
  if (rows_.size() == shown_ && !shifted) return;
  HWND list = control(kMonitorViewId);
  // Follow the newest row only when the user has not scrolled up.
  const bool atEnd = ListView_GetTopIndex(list) + ListView_GetCountPerPage(list) >= static_cast<int>(shown_);
  ListView_SetItemCountEx(list, static_cast<int>(rows_.size()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (shifted) InvalidateRect(list, nullptr, FALSE);
  shown_ = rows_.size();
  droppedSeen_ = rows_.droppedFront();
  if (atEnd && shown_ > 0) ListView_EnsureVisible(list, static_cast<int>(shown_) - 1, FALSE);
}

bool DialogMonitorWin::onNotify(const NMHDR& header) {
  if (header.idFrom != static_cast<UINT_PTR>(kMonitorViewId) || header.code != LVN_GETDISPINFOW) return false;
  // The list hands a structure to fill in; the const is the kit's.
  LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item;
  if ((item.mask & LVIF_TEXT) == 0 || item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.size()) return true;
  const MonitorRow& row = rows_.row(static_cast<size_t>(item.iItem));
  switch (item.iSubItem) {
    case 0: cell_ = winui::wide(MonitorLog::timeText(row)); break;
    case 1: cell_ = winui::wide(MonitorLog::directionText(row.direction)); break;
    case 2: cell_ = winui::wide(MonitorLog::hexText(row)); break;
    default: cell_ = winui::wide(MonitorLog::meaningText(row)); break;
  }
  item.pszText = cell_.data();
  return true;
}

void DialogMonitorWin::onResized() {
  HWND list = control(kMonitorViewId);
  RECT area{};
  GetClientRect(list, &area);
  const int others = ListView_GetColumnWidth(list, 0) + ListView_GetColumnWidth(list, 1) + ListView_GetColumnWidth(list, 3);
  ListView_SetColumnWidth(list, 2, std::max(units().x(60), static_cast<int>(area.right) - others));
}

void DialogMonitorWin::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kMonitorPauseId) {
    paused_ = !paused_;
    winui::setWindowText(control(kMonitorPauseId), trText("DialogMonitor", paused_ ? "继续" : "暂停"));
  }
  if (id == kMonitorClearId) {
    rows_.clear();
    shown_ = 0;
    droppedSeen_ = 0;
    ListView_SetItemCountEx(control(kMonitorViewId), 0, 0);
  }
  if (id == kMonitorSaveId || id == kMonitorSaveCaptureId) {
    release();
    saveWithDialog(handle(), id == kMonitorSaveId ? monitorTextOffer(rows_) : monitorCaptureOffer(rows_));
  }
}

}  // namespace velmora
