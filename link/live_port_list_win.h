// The connection page's port box as a live list on Windows: it follows the
// system's notice that a device came or went (WM_DEVICECHANGE, which a
// hidden top-level window of its own receives: a message-only window gets
// no broadcasts), reads the COM ports again a moment later, keeps the
// chosen port and marks a chosen port that went away as gone. It only
// shows: nothing here opens or closes a port.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "link/serial_ports.h"

namespace velmora {

class WinLivePortList {
 public:
  // box is the page's port box (a drop-down combo box); the lines about
  // ports that came and went go to log (none when null).
  WinLivePortList(HWND box, LogSink* log);
  ~WinLivePortList();
  WinLivePortList(const WinLivePortList&) = delete;
  WinLivePortList& operator=(const WinLivePortList&) = delete;

  // Replaces the system's COM port list by lister's names (tests); empty restores it.
  void setLister(std::function<std::vector<std::string>()> lister) { search_.lister = std::move(lister); }

  // Searches again: the ports' names, for the page's refresh.
  std::vector<std::string> scan();
  // Fills the box with names as the refresh does: the first one selected.
  void showRefreshed(const std::vector<std::string>& paths);
  // The port to open for the box's text.
  std::string pathOf(const std::string& text) const { return list_.pathOf(text); }
  // When ports came and went, for the port doctor.
  const PortHistory& history() const { return list_.history(); }
  // The window the system's device notices come to.
  HWND noticeWindow() const { return window_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  void notice(WPARAM event, LPARAM data);
  void changed();
  void fill(const PortList::Shown& shown);

  HWND box_;
  LogSink* log_;
  HWND window_ = nullptr;
  HDEVNOTIFY registration_ = nullptr;
  PortSearch search_;
  PortList list_;
};

}  // namespace velmora
