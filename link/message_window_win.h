// The loop thread's mailbox on Windows: a message-only window. The serial
// reader posts to it (PostMessageW), sockets deliver their events to it
// (WSAAsyncSelect) and its timers fire on it (SetTimer), so every
// notification arrives on the thread that made the window, in order.
#pragma once

#include <windows.h>

#include <functional>
#include <map>

namespace velmora {

class MessageWindow {
 public:
  using Handler = std::function<void(WPARAM, LPARAM)>;

  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND handle() const { return window_; }
  // A message number of the handler's own (from WM_APP up); messages still
  // queued for a removed number go nowhere.
  UINT addMessage(Handler handler);
  void removeMessage(UINT message);

  // A timer id of the handler's own; start() (re)arms it periodically.
  UINT_PTR addTimer(std::function<void()> handler);
  void startTimer(UINT_PTR id, int ms);
  void stopTimer(UINT_PTR id);
  void removeTimer(UINT_PTR id);

  // Waits for one message and handles it; false once WM_QUIT came.
  static bool handleOne();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

  HWND window_ = nullptr;
  UINT nextMessage_ = WM_APP + 1;
  UINT_PTR nextTimer_ = 1;
  std::map<UINT, Handler> handlers_;
  std::map<UINT_PTR, std::function<void()>> timers_;
};

}  // namespace velmora
