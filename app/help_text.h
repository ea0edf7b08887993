// The help page's text apart from its window.
#pragma once

#include <string>
#include <string_view>

#include "base/tr_text.h"

namespace velmora {

// A line of the help files that begins with "[linux] " or "[windows] " is
// for that system only (the serial ports are /dev/ttyUSB0 on one, COM3 on
// the other): shown there without its tag, left out on the other.
enum class HelpPlatform { Linux, Windows };
#ifdef _WIN32
inline constexpr HelpPlatform kThisHelpPlatform = HelpPlatform::Windows;
#else
inline constexpr HelpPlatform kThisHelpPlatform = HelpPlatform::Linux;
#endif
std::string helpTextFor(std::string_view text, HelpPlatform platform);

// The help page's text: the UTF-8 bytes with this system's lines, or the
// failure text when there are none.
std::string helpTextOrFallback(const std::string& utf8);
inline constexpr const char* kHelpLoadFailed = VELMORA_TR_NOOP("HelpText", "帮助信息加载失败。");

}  // namespace velmora
