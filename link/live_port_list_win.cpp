#include "link/live_port_list_win.h"

#include <dbt.h>

#include "base/clock.h"
#include "base/win_text_win.h"

namespace velmora {

namespace {

constexpr wchar_t kClassName[] = L"VelmoraPortNotices";
constexpr UINT_PTR kSettleTimer = 1;
// A driver announces its port before it has written the port's name where
// the list reads it, and an adapter's arrival comes as several notices: one
// look after the burst.
constexpr UINT kSettleMs = 150;

// The serial port interface class: USB serial adapters register it, and
// the system notifies a window that asked for it even when the window gets
// no broadcasts.
constexpr GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<std::wstring> boxItems(HWND box) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring item(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    item.resize(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace

WinLivePortList::WinLivePortList(HWND box, LogSink* log)
    : box_(box), log_(log) {
  search_.system = makeSerialPortSystem({});
  static const ATOM registered = [] {
    WNDCLASSW c{};
    c.lpfnWndProc = &WinLivePortList::procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClassName;
    return RegisterClassW(&c);
  }();
  (void)registered;
  // Top-level and never shown: the port notices are broadcast to such windows.
  window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kComPortInterface;
  registration_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

WinLivePortList::~WinLivePortList() {
  if (registration_ != nullptr) UnregisterDeviceNotification(registration_);
  KillTimer(window_, kSettleTimer);
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

LRESULT CALLBACK WinLivePortList::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<WinLivePortList*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && message == WM_DEVICECHANGE) {
    self->notice(w, l);
    return TRUE;
  }
  if (self != nullptr && message == WM_TIMER && w == kSettleTimer) {
    KillTimer(window, kSettleTimer);
    self->changed();
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

void WinLivePortList::notice(WPARAM event, LPARAM data) {
  // A port or the port interface came or went; a drive or a volume is none
  // of the list's business. DBT_DEVNODES_CHANGED names nothing: look.
  bool ports = event == DBT_DEVNODES_CHANGED;
  if ((event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) && data != 0) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    ports = header->dbch_devicetype == DBT_DEVTYP_PORT || header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
  }
  if (ports) SetTimer(window_, kSettleTimer, kSettleMs, nullptr);
}

std::vector<std::string> WinLivePortList::scan() {
  list_.update(search_(), steadyUs());
  return list_.paths();
}

void WinLivePortList::showRefreshed(const std::vector<std::string>& paths) {
  fill(list_.showRefreshed(paths, steadyUs()));
}

void WinLivePortList::changed() {
  const PortList::Followed followed = list_.follow(narrow(windowText(box_)), search_(), steadyUs());
  fill(followed.shown);
  if (log_ == nullptr) return;
  for (const std::string& line : followed.logLines) log_->logMessage(line);
}

void WinLivePortList::fill(const PortList::Shown& shown) {
  std::vector<std::wstring> labels;
  for (const std::string& l : shown.labels) labels.push_back(widen(l));
  const std::wstring text = shown.selected >= 0 ? labels[static_cast<size_t>(shown.selected)] : widen(shown.typed);
  // Nothing changed for the user: the box is left alone (a text being typed
  // keeps its caret).
  if (labels == boxItems(box_) && SendMessageW(box_, CB_GETCURSEL, 0, 0) == shown.selected && windowText(box_) == text)
    return;
  SendMessageW(box_, CB_RESETCONTENT, 0, 0);
  for (const std::wstring& label : labels) SendMessageW(box_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
  SendMessageW(box_, CB_SETCURSEL, static_cast<WPARAM>(shown.selected), 0);
  if (shown.selected < 0) SetWindowTextW(box_, text.c_str());
}

}  // namespace velmora
