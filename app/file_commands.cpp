#include "app/file_commands.h"

#include "base/text.h"
#include "base/tr_text.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
#include "config/image_rules.h"

namespace velmora {

bool openConfigFile(ImageHost& host, const std::string& path, const std::string& shown, LogSink& log,
                    const MessageBoxFn& box) {
  ImageFileRead file = readImageFile(path);
  if (file.error == kOpenFileEmpty) {
    log.logMessage(trText("ImageRules", kOpenFileEmpty));
    return false;
  }
  if (!file.ok()) {
    box(trText("ImageRules", kOpenFileFailed));
    return false;
  }
  const size_t fileBytes = file.bytes.size();
  const ImageJsonImport document = loadConfigurationBytes(path, std::move(file.bytes));
  if (!document.ok) {
    log.logMessage(strprintf("%s: %s", trText("ImageRules", kOpenFileFailed), shown.c_str()));
    log.logMessage(
        strprintf(trText("MainDialog", "JSON 内容有误: %s: %s"), document.path.c_str(), document.reason.c_str()));
    box(trText("ImageRules", kOpenFileFailed));
    return false;
  }
  // A document without units is as empty as an empty .vmc.
  if (document.image.empty()) {
    log.logMessage(trText("ImageRules", kOpenFileEmpty));
    return false;
  }
  host.loadImage(document.image.data(), static_cast<int32_t>(document.image.size()));
  log.logMessage(strprintf(trText("MainDialog", "打开文件: %s (%llu 字节)"), shown.c_str(),
                           static_cast<unsigned long long>(fileBytes)));
  return true;
}

bool prepareSave(ImageHost& host, const MessageBoxFn& box) {
  host.gatherCurrentPage();
  if (!host.configImage().empty()) return true;
  box(trText("MainDialog", "没有要保存的数据"));
  return false;
}

bool saveConfigFile(const ImageHost& host, const std::string& path, const std::string& shown, LogSink& log,
                    const MessageBoxFn& box) {
  // A failed save never destroys the previous file.
  std::string why;
  const std::vector<uint8_t>& image = host.configImage();
  const bool json = isJsonConfigPath(path);
  const std::string document = json ? exportImageJson(image) : std::string();
  const bool written = json ? writeTextFile(path, document, why) : writeImageFile(path, image, why);
  if (!written) {
    log.logMessage(strprintf("%s: %s", trText("ImageRules", kSaveFileFailed), shown.c_str()));
    if (!why.empty()) log.logMessage(strprintf(trText("MainDialog", "原因: %s"), why.c_str()));
    box(trText("ImageRules", kSaveFileFailed));
    return false;
  }
  log.logMessage(strprintf(trText("MainDialog", "保存文件: %s (%d 字节)"), shown.c_str(),
                           static_cast<int>(json ? document.size() : image.size())));
  return true;
}

}  // namespace velmora
