#include "diag/save_offer.h"

#include <utility>

#include "base/tr_text.h"
#include "config/image_rules.h"

namespace velmora {

SaveOffer textFileOffer(std::string initialName, std::string text) {
  return {trText("DialogMonitor", "文本文件 (*.txt);;所有文件 (*.*)"), "txt", std::move(initialName), std::move(text)};
}

SaveOffer captureFileOffer(std::string initialName, std::string bytes) {
  return {trText("DialogMonitor", "抓包文件 (*.pcap);;所有文件 (*.*)"), "pcap", std::move(initialName),
          std::move(bytes)};
}

SaveOffer logSaveOffer(const std::string& logText) { return textFileOffer(trText("DialogLog", "日志.txt"), logText); }

SaveOffer monitorTextOffer(const MonitorLog& log) {
  return textFileOffer(trText("DialogMonitor", "通信监视.txt"), log.text());
}

SaveOffer monitorCaptureOffer(const MonitorLog& log) {
  return captureFileOffer(trText("DialogMonitor", "通信监视.pcap"), log.pcap());
}

std::string saveOffered(const SaveOffer& offer, const SaveSteps& steps) {
  const std::string path = steps.askPath(offer);
  if (path.empty()) return {};
  std::string why;
  if (!steps.write(path, offer.bytes, why)) {
    steps.box(trText("ImageRules", kSaveFileFailed));
    return {};
  }
  return path;
}

}  // namespace velmora
