#include "app/device_comparison.h"

#include <filesystem>

#include "base/text.h"
#include "base/tr_text.h"
#include "config/image_diff.h"
#include "config/image_json.h"
#include "config/unit_names.h"

namespace velmora {

ImageHost& DeviceComparison::begin() {
  copy_.forget();
  comparing_ = true;
  return copy_;
}

bool DeviceComparison::readEnded() {
  if (!comparing_) return false;
  comparing_ = false;
  // Nothing arrived when the read failed (its log says why) or when the
  // read button restarted it as a plain read into the pages.
  return copy_.arrived();
}

std::optional<DeviceComparison::Result> DeviceComparison::take(ImageHost& window) {
  if (!copy_.arrived()) return std::nullopt;
  Result result;
  result.device = copy_.configImage();
  copy_.forget();
  window.gatherCurrentPage();
  result.lines = diffLines(diffImages(window.configImage(), result.device), diffLanguageOfWindow());
  result.logLine = result.lines.empty()
                       ? std::string(trText("MainDialog", "与设备比较：配置一致"))
                       : strprintf(trText("MainDialog", "与设备比较：%d 处不同"), static_cast<int>(result.lines.size()));
  result.heading = compareHeading(result.lines.size());
  return result;
}

void DeviceComparison::loadDevice(ImageHost& window, LogSink& log, const std::vector<uint8_t>& device) {
  window.loadImage(device.data(), static_cast<int32_t>(device.size()));
  log.logMessage(strprintf(trText("MainDialog", "已载入设备配置 (%d 字节)"), static_cast<int>(device.size())));
}

std::string compareHeading(size_t differences) {
  if (differences == 0) return trText("DialogCompare", "当前配置与设备配置一致。");
  std::string heading = trText("DialogCompare", "当前配置与设备配置有 %1 处不同（当前 → 设备）：");
  const size_t at = heading.find("%1");
  if (at != std::string::npos) heading.replace(at, 2, std::to_string(differences));
  return heading;
}

std::string backupStartFolder() {
  const std::string folder = backupFolder({});
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(std::u8string(folder.begin(), folder.end())), error) ? folder : std::string();
}

const char* backupLoadedLine() {
  return trText("MainDialog", "已载入备份，与设备比较后可点击“下发配置”写回设备");
}

}  // namespace velmora
