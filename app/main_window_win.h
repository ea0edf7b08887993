// velmora.exe's main window: the menu with its keys, the tab host with the
// ten pages in their slots, the transfer strip along the bottom, and the
// image the pages share (PageImage). The window only wires these together;
// what each does is the logic's.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "app/device_comparison.h"
#include "app/page_image.h"
#include "base/log_sink.h"
#include "link/message_window_win.h"
#include "ui/ui_kit_win.h"

namespace velmora {

class DialogConfigurationWin;
class DialogConnectWin;
class DialogLogWin;
class DialogMonitorWin;

struct MainWindowOptions {
  // The open and save dialogs answer this path without being shown (tests).
  std::string fileAnswer;
  // A configuration file opened at start (a .vmc file opened from Explorer).
  std::string openAtStart;
  // Where the device scan sends its probe: empty, the LAN's broadcasts;
  // a host named here is the only destination.
  std::string scanHost;
  uint16_t scanPort = 988;
};

class MainWindowWin final : public LogSink, private PageSlots {
 public:
  static constexpr int kSlotCount = PageImage::kSlotCount;
  static constexpr int kTabHostId = 111;
  static constexpr int kTabControlId = 1003;
  static constexpr int kStripId = 103;
  // Each page's own window id in the tab host: 200 + its slot.
  static constexpr int kFirstPageId = 200;
  static constexpr int kLogSlot = 7;
  static constexpr int kHelpSlot = 8;

  explicit MainWindowWin(MainWindowOptions options);
  ~MainWindowWin() override;

  // Creates and shows the window; false when it could not be made.
  bool create(int show);
  HWND handle() const { return window_; }
  HACCEL accelerators() const { return accelerators_; }

  void logMessage(const std::string& text) override;
  // Shows what a transfer's log lines and frames added.
  void showHeldViews();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK tabHostProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void buildMenu();
  void buildPages();
  void onCommand(int id);
  SIZE neededWindowSize(const RECT& work) const;
  void layoutChildren();
  void layoutPages();
  // The page in slot over the tab's display area, when it is not there yet.
  void placePage(int slot);
  // A page change by the program: store, load, tab and page shown.
  void selectPage(int slot);
  // The user picked a tab; the tab control has changed already.
  void onTabChanged();
  void showSlot(int slot);
  // folder: where the dialog starts; empty, the program's own folder.
  std::string askFilePath(bool save, const std::string& folder = {});
  void openFile();
  // 编辑 menu: the device's configuration read apart from the pages and
  // the differences shown; 恢复备份 opens a backup, then compares.
  void compareWithDevice();
  void restoreBackup();
  void showComparison();
  void runDeviceScan();
  void saveFile();

  // PageSlots
  DialogChildBase* imagePage(int slot) const override;
  int currentPage() const override { return currentPage_; }

  MainWindowOptions options_;
  HWND window_ = nullptr;
  HWND tabHost_ = nullptr;
  HWND tabs_ = nullptr;
  HFONT font_ = nullptr;
  HACCEL accelerators_ = nullptr;
  winui::DialogUnits units_;
  MessageWindow mailbox_;
  PageImage image_{[this](const std::string& line) { logMessage(line); }};
  DeviceComparison comparison_;
  UINT showComparisonMessage_ = 0;
  std::array<std::unique_ptr<winui::TablePage>, kSlotCount> pages_{};
  std::unique_ptr<DialogConfigurationWin> strip_;
  DialogConnectWin* connectPage_ = nullptr;
  DialogLogWin* logPage_ = nullptr;
  DialogMonitorWin* monitorPage_ = nullptr;
  int currentPage_ = -1;
  SIZE minimumTrack_{0, 0};
};

}  // namespace velmora
