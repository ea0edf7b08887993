// The diagnostic pages' saves apart from the dialog that asks where: what
// each proposes (filter, suffix, name), the bytes the file gets, and the
// order of asking, writing and saying a failure. Both windows call these,
// so a log or a capture saved on Linux and on Windows is the same file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "diag/monitor_log.h"

namespace velmora {

struct SaveOffer {
  std::string filter;       // "desc (*.txt);;desc (*.*)", translated
  std::string suffix;       // without the dot; given to a name typed without one
  std::string initialName;  // translated
  std::string bytes;        // written as they are
};

SaveOffer textFileOffer(std::string initialName, std::string text);
SaveOffer captureFileOffer(std::string initialName, std::string bytes);

// 日志 → 保存...: the log's stamped lines as kept.
SaveOffer logSaveOffer(const std::string& logText);
// 通信监视 → 保存... and 保存抓包...: the rows as tabbed lines, and as a
// capture for Wireshark.
SaveOffer monitorTextOffer(const MonitorLog& log);
SaveOffer monitorCaptureOffer(const MonitorLog& log);

struct SaveSteps {
  // The chosen path, or empty when the user cancelled.
  std::function<std::string(const SaveOffer&)> askPath;
  // Writes the file whole or not at all (writeTextFile).
  std::function<bool(const std::string& path, std::string_view bytes, std::string& why)> write;
  std::function<void(const std::string& text)> box;
};

// Asks where and writes the offer's bytes there; a failed write is said in
// a box (保存文件失败). The path written, or empty when cancelled or failed.
std::string saveOffered(const SaveOffer& offer, const SaveSteps& steps);

}  // namespace velmora
