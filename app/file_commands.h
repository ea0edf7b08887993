// The 文件 menu's Open and Save apart from any window: what is read and
// written, and which line or box tells the user. The window asks for the
// path with its own dialog and says it in its own form (shown).
#pragma once

#include <functional>
#include <string>

#include "base/log_sink.h"
#include "config/image_host.h"

namespace velmora {

// A modal box with an OK button.
using MessageBoxFn = std::function<void(const std::string& text)>;

// Opens a .vmc file or a JSON document into the image and its pages; false
// when nothing was loaded (said in the log or a box).
bool openConfigFile(ImageHost& host, const std::string& path, const std::string& shown, LogSink& log,
                    const MessageBoxFn& box);

// Save's first half: the page on show stores, then an empty image is
// refused ("没有要保存的数据"). True when there is something to save.
bool prepareSave(ImageHost& host, const MessageBoxFn& box);
// Save's second half: the image to path (as a document when it ends in
// .json); a failure leaves the old file and is said. True when written.
bool saveConfigFile(const ImageHost& host, const std::string& path, const std::string& shown, LogSink& log,
                    const MessageBoxFn& box);

}  // namespace velmora
