// The image rules every window and the command line share, apart from any
// window: how a page is gathered into the image, and the configuration
// file's fixed texts and limits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/dialog_child_base.h"
#include "config/image_host.h"
#include "base/tr_text.h"

namespace velmora {

// The open and save dialogs' filter, in the "desc|pattern|...||" form.
inline constexpr const char* kConfigFileFilter =
    VELMORA_TR_NOOP("ImageRules", "配置文件 (*.vmc)|*.vmc|所有文件 (*.*)|*.*||");
inline constexpr const char* kConfigFileExtension = "vmc";
inline constexpr const char* kConfigFileDefaultName = "config.vmc";
// The window also reads and writes the image as a JSON document; .vmc stays
// the first choice and the default.
inline constexpr const char* kConfigFileFilterWithJson =
    VELMORA_TR_NOOP("ImageRules", "配置文件 (*.vmc)|*.vmc|配置文件 JSON (*.json)|*.json|所有文件 (*.*)|*.*||");
inline constexpr const char* kConfigJsonExtension = "json";
// The file commands' refusals.
inline constexpr const char* kOpenFileFailed = VELMORA_TR_NOOP("ImageRules", "打开文件失败");
inline constexpr const char* kOpenFileEmpty = VELMORA_TR_NOOP("ImageRules", "打开文件为空");
inline constexpr const char* kSaveFileFailed = VELMORA_TR_NOOP("ImageRules", "保存文件失败");
// No configuration comes near this; a bigger file would only stall the pages.
inline constexpr int64_t kMaxOpenFileBytes = 1024 * 1024;

// "desc|pattern|desc|pattern||" becomes "desc;;desc" for a Qt file dialog
// (Qt takes the pattern from the description's parentheses).
std::string fileDialogFilter(std::string_view barSeparated);
// And back, for a Win32 dialog: "desc (*.a *.b);;desc" becomes
// "desc (*.a *.b)|*.a;*.b|desc|*||", the pattern from the description's
// last parentheses (every file when it has none).
std::string barSeparatedFilter(std::string_view qtFilter);

// True for a path whose name ends in ".json" (any case): such a file holds
// the JSON document, every other the image's bytes.
bool isJsonConfigPath(std::string_view path);

// Gathers page into image: the page stores into a 2048-byte copy, and the
// result becomes the image. Refuses (logging through log) an image over
// 2048 bytes; a page that answers KeepImage leaves the image as it was and
// its reason, if any, is logged. False when nothing was taken.
bool gatherPageIntoImage(std::vector<uint8_t>& image, DialogChildBase& page,
                         const std::function<void(const std::string&)>& log);

}  // namespace velmora
