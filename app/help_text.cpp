#include "app/help_text.h"

#include "base/tr_text.h"

namespace velmora {

std::string helpTextFor(std::string_view text, HelpPlatform platform) {
  constexpr std::string_view kLinux = "[linux] ", kWindows = "[windows] ";
  const std::string_view own = platform == HelpPlatform::Windows ? kWindows : kLinux;
  const std::string_view other = platform == HelpPlatform::Windows ? kLinux : kWindows;
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(0, next);  // with its line end
    text.remove_prefix(next);
    if (line.starts_with(other)) continue;
    if (line.starts_with(own)) line.remove_prefix(own.size());
    out += line;
  }
  return out;
}

std::string helpTextOrFallback(const std::string& utf8) {
  // Undecodable sequences are shown as replacement characters, not refused.
  if (utf8.empty()) return trText("HelpText", kHelpLoadFailed);
  return helpTextFor(utf8, kThisHelpPlatform);
}

}  // namespace velmora
