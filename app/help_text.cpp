#include "app/help_text.h"

#include "base/tr_text.h"

namespace velmora {

std::string helpTextOrFallback(const std::string& utf8) {
  // Undecodable sequences are shown as replacement characters, not refused.
  if (utf8.empty()) return trText("HelpText", kHelpLoadFailed);
  return utf8;
}

}  // namespace velmora
