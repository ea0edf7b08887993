// The help page's text apart from its window.
#pragma once

#include <string>

#include "base/tr_text.h"

namespace velmora {

// The help page's text: the UTF-8 bytes as they are, or the failure text
// when there are none.
std::string helpTextOrFallback(const std::string& utf8);
inline constexpr const char* kHelpLoadFailed = VELMORA_TR_NOOP("HelpText", "帮助信息加载失败。");

}  // namespace velmora
