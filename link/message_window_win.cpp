#include "link/message_window_win.h"

#include <utility>

namespace velmora {

namespace {

constexpr wchar_t kClassName[] = L"VelmoraMessageWindow";

}  // namespace

MessageWindow::MessageWindow() {
  static const ATOM registered = [] {
    WNDCLASSW c{};
    c.lpfnWndProc = &MessageWindow::procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClassName;
    return RegisterClassW(&c);
  }();
  (void)registered;
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
  for (const auto& entry : timers_) KillTimer(window_, entry.first);
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

UINT MessageWindow::addMessage(Handler handler) {
  // Numbers are never reused: a message a removed handler left queued must
  // not reach the next one.
  const UINT message = nextMessage_++;
  handlers_[message] = std::move(handler);
  return message;
}

void MessageWindow::removeMessage(UINT message) { handlers_.erase(message); }

UINT_PTR MessageWindow::addTimer(std::function<void()> handler) {
  const UINT_PTR id = nextTimer_++;
  timers_[id] = std::move(handler);
  return id;
}

void MessageWindow::startTimer(UINT_PTR id, int ms) {
  if (timers_.count(id) != 0) SetTimer(window_, id, static_cast<UINT>(ms < 1 ? 1 : ms), nullptr);
}

void MessageWindow::stopTimer(UINT_PTR id) { KillTimer(window_, id); }

void MessageWindow::removeTimer(UINT_PTR id) {
  KillTimer(window_, id);
  timers_.erase(id);
}

bool MessageWindow::handleOne() {
  MSG msg;
  if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return false;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

LRESULT CALLBACK MessageWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    if (message == WM_TIMER) {
      const auto it = self->timers_.find(static_cast<UINT_PTR>(w));
      if (it != self->timers_.end()) {
        // A copy: the handler may remove its own timer.
        const std::function<void()> fired = it->second;
        fired();
      }
      return 0;
    }
    const auto it = self->handlers_.find(message);
    if (it != self->handlers_.end()) {
      const Handler handler = it->second;
      handler(w, l);
      return 0;
    }
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace velmora
