// The connection page's port box as a live list: it follows plug and unplug
// (inotify on the port folders, no polling), shows the stable links first
// with the device node beside them, keeps the chosen port when the list
// changes and marks a chosen port that went away as gone. It only shows:
// nothing here opens or closes a port.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "link/port_watch_posix.h"
#include "link/serial_ports.h"

class QComboBox;
class QSocketNotifier;
class QTimer;

namespace velmora {

class LivePortList {
 public:
  // box is the page's port box; the lines about ports that came and went
  // go to log (none when null). Watches the folders VELMORA_SERIAL_DIRS
  // names, or /dev and /dev/serial/by-id.
  LivePortList(QComboBox* box, LogSink* log);
  ~LivePortList();
  LivePortList(const LivePortList&) = delete;
  LivePortList& operator=(const LivePortList&) = delete;

  // Watches and lists folders instead, at once (the first port selected).
  void watch(std::vector<std::string> folders);
  // Replaces the search by lister's paths (tests); empty restores the system's.
  void setLister(std::function<std::vector<std::string>()> lister) { search_.lister = std::move(lister); }

  // Searches again: the ports' paths, for the page's refresh.
  std::vector<std::string> scan();
  // Fills the box with paths as the refresh does: the first one selected.
  void showRefreshed(const std::vector<std::string>& paths);
  // The path to open for the box's text.
  std::string pathOf(const QString& text) const { return list_.pathOf(text.toStdString()); }
  // When ports came and went, for the port doctor.
  const PortHistory& history() const { return list_.history(); }

 private:
  void arm(std::vector<std::string> folders);
  void changed();
  void fill(const PortList::Shown& shown);

  QComboBox* box_;
  LogSink* log_;
  PortSearch search_;
  PortList list_;
  FolderWatch folderWatch_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QTimer> settle_;
};

}  // namespace velmora
