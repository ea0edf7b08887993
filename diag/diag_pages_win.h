// The diagnostic pages of velmora.exe: the log, the raw bytes ("数据测试")
// and the traffic monitor, each the controls of its table over its logic.
#pragma once

#include <string>

#include "config/dialog_child_base.h"
#include "diag/data_test_text.h"
#include "diag/log_text.h"
#include "diag/monitor_log.h"
#include "diag/save_offer.h"
#include "protocol/frame_trace.h"
#include "ui/ui_kit_win.h"

namespace velmora {

class DialogLogWin final : public winui::TablePage {
 public:
  DialogLogWin(HWND parent, int windowId, HFONT font);
  // One stamped line at the end; the view follows the newest line.
  void appendLog(const std::string& text);
  const std::string& text() const { return log_.text(); }
  // While a transfer runs the lines are kept (stamped as they come) and
  // shown in the pauses between frames, which the device needs anyway.
  void hold() { holding_ = true; }
  void release();

 private:
  void onCommand(int id, int code) override;

  LogText log_;
  bool holding_ = false;
  std::string held_;
  bool heldTrim_ = false;
};

class DialogDataTestWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogDataTestWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  void onCommand(int id, int code) override;
  void show(const DataTestText::Shown& shown);

  DataTestText text_;
};

class DialogMonitorWin final : public winui::TablePage, public FrameObserver {
 public:
  DialogMonitorWin(HWND parent, int windowId, HFONT font);
  void onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
               const FrameInfo& info) override;
  const MonitorLog& log() const { return rows_; }
  // Rows are shown in batches (MonitorLog::kBatchMs), and during a transfer
  // in its pauses, which release them before the batch is due: never
  // between a frame and the reading of its answer.
  void hold() { holding_ = true; }
  void release();

 private:
  void onCommand(int id, int code) override;
  bool onNotify(const NMHDR& header) override;
  void onResized() override;
  bool onMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) override;

  MonitorLog rows_;
  bool paused_ = false;
  bool holding_ = false;
  bool batchDue_ = false;  // the batch timer is armed
  // What the list was last told: its row count and the rows dropped before.
  size_t shown_ = 0;
  uint64_t droppedSeen_ = 0;
  std::wstring cell_;  // the text the list asked for last; it reads it after the answer
};

}  // namespace velmora
