#include "app/main_window_win.h"

#include <algorithm>
#include <vector>

#include "app/dialog_compare_win.h"
#include "app/dialog_help_win.h"
#include "app/file_commands.h"
#include "app/main_menu.h"
#include "app/write_check.h"
#include "base/tr_text.h"
#include "config/image_check.h"
#include "config/image_rules.h"
#include "diag/diag_pages_win.h"
#include "link/dialog_connect_win.h"
#include "link/dialog_scan_win.h"
#include "pages/editor_pages_win.h"
#include "protocol/dialog_configuration_win.h"

namespace velmora {

namespace {

constexpr wchar_t kMainClass[] = L"VelmoraMain";
constexpr wchar_t kTabHostClass[] = L"VelmoraTabHost";
// The least the window ever allows.
constexpr int kMinimumWidth = 700;
constexpr int kMinimumHeight = 500;
// The client area's layout: a margin all round, and below the tab host the
// room the transfer strip takes (110 high, 6 above and below).
constexpr int kClientMargin = 6;
constexpr int kStripRoom = 128;

void registerClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

std::string fullPath(const std::string& path) {
  const std::wstring wide = winui::wide(path);
  wchar_t full[MAX_PATH * 4] = {};
  const DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr);
  return n > 0 && n < MAX_PATH * 4 ? winui::utf8(full) : path;
}

}  // namespace

MainWindowWin::MainWindowWin(MainWindowOptions options) : options_(std::move(options)) {}

MainWindowWin::~MainWindowWin() {
  // The strip goes first, then the pages; the window itself is gone by now.
  strip_.reset();
  for (auto& page : pages_) page.reset();
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
  if (font_ != nullptr) DeleteObject(font_);
}

bool MainWindowWin::create(int show) {
  // Every file dialog of the window answers the tests' path, the pages' too.
  winui::setFileAnswer(options_.fileAnswer);
  registerClass(kMainClass, &MainWindowWin::procedure);
  registerClass(kTabHostClass, &MainWindowWin::tabHostProcedure);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainClass, winui::wide(trText("MainDialog", "设备配置工具 V1.00")).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) return false;
  font_ = winui::createPageFont(window_);
  units_ = winui::dialogUnitsOf(font_);
  buildMenu();

  // The first size follows the template (455 × 412 dialog units), kept on the screen.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = std::clamp(units_.x(455), kMinimumWidth, std::max<int>(kMinimumWidth, (work.right - work.left) * 9 / 10));
  const int height =
      std::clamp(units_.y(412), kMinimumHeight, std::max<int>(kMinimumHeight, (work.bottom - work.top) * 9 / 10));
  buildPages();
  minimumTrack_ = neededWindowSize(work);
  SetWindowPos(window_, nullptr, work.left + 20, work.top + 20, std::max<int>(width, minimumTrack_.cx),
               std::max<int>(height, minimumTrack_.cy), SWP_NOZORDER);
  layoutChildren();
  logMessage(trText("MainDialog", "程序启动"));
  // The strip's own start-up line follows, so "程序启动" stays the log's first line.
  strip_->start();
  ShowWindow(window_, show);
  UpdateWindow(window_);
  if (!options_.openAtStart.empty())
    openConfigFile(image_, options_.openAtStart, fullPath(options_.openAtStart), *this,
                   [this](const std::string& text) { winui::messageBox(window_, text); });
  return true;
}

void MainWindowWin::buildMenu() {
  HMENU bar = CreateMenu();
  std::vector<ACCEL> keys;
  for (const MenuPopup& popup : mainMenu()) {
    HMENU menu = CreatePopupMenu();
    for (const MenuEntry& item : popup.items) {
      if (item.id == 0) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), winui::wide(trText("MainDialog", item.caption)).c_str());
      // A caption that shows a key gets that key: a menu must not promise
      // a shortcut that does nothing.
      if (const char letter = ctrlShortcutLetter(item.caption))
        keys.push_back({FCONTROL | FVIRTKEY, static_cast<WORD>(letter), static_cast<WORD>(item.id)});
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), winui::wide(trText("MainDialog", popup.caption)).c_str());
  }
  SetMenu(window_, bar);
  if (!keys.empty()) accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

void MainWindowWin::buildPages() {
  tabHost_ = CreateWindowExW(WS_EX_CONTROLPARENT, kTabHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             units_.x(445), units_.y(294), window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabHostId)), GetModuleHandleW(nullptr), this);
  tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_HOTTRACK,
                          0, 0, units_.x(445), units_.y(294), tabHost_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControlId)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);

  const auto pageId = [](int slot) { return kFirstPageId + slot; };
  auto connect = std::make_unique<DialogConnectWin>(tabHost_, pageId(0), font_, mailbox_, this);
  connectPage_ = connect.get();
  pages_[0] = std::move(connect);
  pages_[1] = std::make_unique<DialogSerialParamWin>(tabHost_, pageId(1), font_);
  pages_[2] = std::make_unique<DialogNetAddressWin>(tabHost_, pageId(2), font_);
  pages_[3] = std::make_unique<DialogNetServerWin>(tabHost_, pageId(3), font_);
  pages_[4] = std::make_unique<DialogMaintainRegisterWin>(tabHost_, pageId(4), font_, this);
  pages_[5] = std::make_unique<DialogDataTestWin>(tabHost_, pageId(5), font_);
  pages_[6] = std::make_unique<DialogListWin>(tabHost_, pageId(6), font_);
  auto log = std::make_unique<DialogLogWin>(tabHost_, pageId(kLogSlot), font_);
  logPage_ = log.get();
  pages_[kLogSlot] = std::move(log);
  pages_[kHelpSlot] = std::make_unique<DialogHelpWin>(tabHost_, pageId(kHelpSlot), font_);
  auto monitor = std::make_unique<DialogMonitorWin>(tabHost_, pageId(9), font_);
  monitorPage_ = monitor.get();
  pages_[9] = std::move(monitor);

  for (int slot = 0; slot < kSlotCount; ++slot) {
    std::wstring caption = winui::wide(trText("TabManager", kTabCaptions[static_cast<size_t>(slot)]));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(slot), reinterpret_cast<LPARAM>(&item));
    // The pages stand above the tab control, which only frames them.
    SetWindowPos(pages_[static_cast<size_t>(slot)]->handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  showSlot(0);

  // Every slot is selected once, so the image starts out holding what the
  // pages store from their initial state.
  image_.setSlots(this);
  for (int slot = 0; slot < kSlotCount; ++slot) selectPage(slot);
  selectPage(0);

  strip_ = std::make_unique<DialogConfigurationWin>(window_, kStripId, font_, this);
  ShowWindow(strip_->handle(), SW_SHOW);
  strip_->setMainWindow(&image_);
  strip_->setPauseHook([this] { showHeldViews(); });
  showComparisonMessage_ = mailbox_.addMessage([this](WPARAM, LPARAM) { showComparison(); });
  strip_->engine().setTransferEnded([this](const TransferOutcome& outcome) {
    showHeldViews();
    // The result waits until the engine has finished with the answer that ended the read.
    if (outcome.kind == TransferKind::Read && comparison_.readEnded())
      PostMessageW(mailbox_.handle(), showComparisonMessage_, 0, 0);
  });
  strip_->engine().setWriteApproval([this](const std::vector<uint8_t>& image) {
    const WriteCheckReport report = writeCheckReport(checkImage(image));
    for (const std::string& line : report.logLines) logMessage(line);
    if (report.question.empty() || winui::askYesNo(window_, report.question)) return true;
    logMessage(trText("WriteCheck", kWriteCheckDeclined));
    return false;
  });
  connectPage_->setPanel(strip_.get());
  strip_->setConnectionPage(&connectPage_->deviceLink());
  strip_->engine().setFrameObserver(monitorPage_);
  connectPage_->setFrameObserver(monitorPage_);
}

DialogChildBase* MainWindowWin::imagePage(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  return dynamic_cast<DialogChildBase*>(pages_[static_cast<size_t>(slot)].get());
}

void MainWindowWin::showSlot(int slot) {
  if (currentPage_ >= 0 && pages_[static_cast<size_t>(currentPage_)])
    ShowWindow(pages_[static_cast<size_t>(currentPage_)]->handle(), SW_HIDE);
  currentPage_ = slot;
  placePage(slot);
  ShowWindow(pages_[static_cast<size_t>(slot)]->handle(), SW_SHOW);
}

void MainWindowWin::selectPage(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  image_.changePage(slot);
  SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(slot), 0);  // raises no TCN_SELCHANGE
  if (pages_[static_cast<size_t>(slot)]) showSlot(slot);
}

void MainWindowWin::onTabChanged() {
  const int slot = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
  if (slot < 0 || slot >= kSlotCount) {
    image_.gatherCurrentPage();
    return;
  }
  image_.changePage(slot);
  if (pages_[static_cast<size_t>(slot)]) showSlot(slot);
}

// Never smaller than the largest page's template and the strip need (nor
// than 700 × 500), on however small a screen the work area allows: cut
// controls and half captions would help nobody.
SIZE MainWindowWin::neededWindowSize(const RECT& work) const {
  int pageWidth = 0, pageHeight = 0;
  for (const auto& page : pages_)
    if (page) {
      pageWidth = std::max(pageWidth, page->units().x(page->templateWidth()));
      pageHeight = std::max(pageHeight, page->units().y(page->templateHeight()));
    }
  RECT tabs{0, 0, 1000, 1000};
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&tabs));
  RECT window{0, 0, pageWidth + 4 + (1000 - (tabs.right - tabs.left)) + 2 * kClientMargin,
              pageHeight + 4 + (1000 - (tabs.bottom - tabs.top)) + kStripRoom};
  AdjustWindowRectEx(&window, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_CONTROLPARENT);
  return {std::min<LONG>(window.right - window.left, work.right - work.left),
          std::min<LONG>(window.bottom - window.top, work.bottom - work.top)};
}

void MainWindowWin::layoutChildren() {
  RECT client{};
  GetClientRect(window_, &client);
  const int w = client.right, h = client.bottom;
  if (tabHost_ != nullptr)
    SetWindowPos(tabHost_, nullptr, kClientMargin, kClientMargin, w - 2 * kClientMargin, h - kStripRoom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (strip_)
    SetWindowPos(strip_->handle(), nullptr, kClientMargin, h - kStripRoom + 2 * kClientMargin, w - 2 * kClientMargin,
                 kStripRoom - 3 * kClientMargin, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The tab control fills the host; the page on show gets the tab's display
// area less 2 pixels a side. A hidden page is placed when it shows: placing
// all ten at every size change made the start-up and each resize slow.
void MainWindowWin::layoutPages() {
  if (tabs_ == nullptr) return;
  RECT area{};
  GetClientRect(tabHost_, &area);
  SetWindowPos(tabs_, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  if (currentPage_ >= 0) placePage(currentPage_);
}

void MainWindowWin::placePage(int slot) {
  const auto& page = pages_[static_cast<size_t>(slot)];
  if (!page || tabs_ == nullptr) return;
  RECT area{};
  GetClientRect(tabs_, &area);
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  InflateRect(&area, -2, -2);
  // In the host's coordinates, as the page's own rectangle.
  RECT now{};
  GetWindowRect(page->handle(), &now);
  MapWindowPoints(HWND_DESKTOP, tabHost_, reinterpret_cast<POINT*>(&now), 2);
  if (EqualRect(&now, &area)) return;
  SetWindowPos(page->handle(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindowWin::logMessage(const std::string& text) {
  if (logPage_ == nullptr) return;
  // A transfer's lines and frames are shown in its pauses, not between a
  // frame and the reading of its answer.
  if (strip_ && strip_->engine().fields().operationState != kIdle) {
    logPage_->hold();
    if (monitorPage_ != nullptr) monitorPage_->hold();
  }
  logPage_->appendLog(text);
}

void MainWindowWin::showHeldViews() {
  if (logPage_ != nullptr) logPage_->release();
  if (monitorPage_ != nullptr) monitorPage_->release();
  // Painted now, inside the pause: a paint left for after the next frame
  // went out would hold up the reading of its answer, and the pause counts
  // from the answer's arrival as this thread sees it.
  if (window_ != nullptr) RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::string MainWindowWin::askFilePath(bool save, const std::string& startFolder) {
  winui::FileRequest request;
  request.save = save;
  request.filter = trText("ImageRules", kConfigFileFilterWithJson);
  request.defaultSuffix = kConfigFileExtension;
  request.folder = startFolder;
  if (save) request.initialName = kConfigFileDefaultName;
  return winui::fileDialog(window_, request);
}

void MainWindowWin::openFile() {
  const std::string path = askFilePath(false);
  if (path.empty()) return;
  openConfigFile(image_, path, fullPath(path), *this, [this](const std::string& text) { winui::messageBox(window_, text); });
}

void MainWindowWin::compareWithDevice() {
  // A refusal reports itself as the end of this read at once.
  if (strip_) strip_->engine().startRead(&comparison_.begin());
}

void MainWindowWin::showComparison() {
  const std::optional<DeviceComparison::Result> result = comparison_.take(image_);
  if (!result) return;
  logMessage(result->logLine);
  DialogCompareWin dialog(window_, font_, result->heading, result->lines);
  if (dialog.run()) DeviceComparison::loadDevice(image_, *this, result->device);
}

void MainWindowWin::restoreBackup() {
  const std::string path = askFilePath(false, backupStartFolder());
  if (path.empty()) return;
  if (!openConfigFile(image_, path, fullPath(path), *this, [this](const std::string& text) { winui::messageBox(window_, text); }))
    return;
  logMessage(backupLoadedLine());
  compareWithDevice();
}

void MainWindowWin::saveFile() {
  const auto box = [this](const std::string& text) { winui::messageBox(window_, text); };
  if (!prepareSave(image_, box)) return;
  const std::string path = askFilePath(true);
  if (path.empty()) return;
  saveConfigFile(image_, path, fullPath(path), *this, box);
}

void MainWindowWin::runDeviceScan() {
  DialogScanWin scan(window_, font_, mailbox_, options_.scanHost, options_.scanPort, {});
  // The device picked in the list is the one the user wants to connect to.
  if (const std::optional<std::string> address = scan.run()) connectPage_->useScannedAddress(*address);
}

void MainWindowWin::onCommand(int id) {
  using namespace command_id;
  switch (id) {
    case kFileNew:
      image_.newImage();
      break;
    case kFileOpen:
      openFile();
      break;
    case kFileSave:
      saveFile();
      break;
    case kAppExit:
      PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
    case kDeviceScan:
      runDeviceScan();
      break;
    case kAppHelp:
      selectPage(kHelpSlot);
      break;
    case kCompareDevice:
      compareWithDevice();
      break;
    case kRestoreBackup:
      restoreBackup();
      break;
    default:
      // IDOK and IDCANCEL (Enter and Escape) and 设备配置 do nothing.
      break;
  }
}

LRESULT MainWindowWin::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (l == 0) onCommand(LOWORD(w));
      return 0;
    case WM_SIZE:
      layoutChildren();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(l);
      info->ptMinTrackSize.x = std::max<LONG>(kMinimumWidth, minimumTrack_.cx);
      info->ptMinTrackSize.y = std::max<LONG>(kMinimumHeight, minimumTrack_.cy);
      return 0;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the page font at the new size,
      // every page placed again in its units, the size Windows suggests.
      HFONT font = winui::createPageFontForDpi(HIWORD(w));
      SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      for (auto& page : pages_)
        if (page) page->useFont(font);
      if (strip_) strip_->useFont(font);
      DeleteObject(font_);
      font_ = font;
      units_ = winui::dialogUnitsOf(font_);
      const auto* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      minimumTrack_ = neededWindowSize(work);
      layoutPages();
      return 0;
    }
    case WM_CLOSE:
      if (winui::askYesNo(window_, trText("MainDialog", "确定要退出程序吗？"))) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, w, l);
  }
}

LRESULT CALLBACK MainWindowWin::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindowWin*>(reinterpret_cast<const CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindowWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK MainWindowWin::tabHostProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(l)->lpCreateParams));
  auto* self = reinterpret_cast<MainWindowWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    if (message == WM_NOTIFY) {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->idFrom == kTabControlId && header->code == TCN_SELCHANGE) {
        self->onTabChanged();
        return 0;
      }
    }
    if (message == WM_SIZE) {
      self->layoutPages();
      return 0;
    }
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace velmora
