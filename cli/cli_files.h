// The parameter list's rows as text, for velmora-cli dump.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::cli {

// One line per whole unit, "index<TAB>kind<TAB>description\n", as the
// parameter list page shows the image; a trailing partial unit is left out.
std::string dumpText(const std::vector<uint8_t>& image);
// Why image is not whole units ("3 bytes after the last whole unit"); empty
// when it is.
std::string partialUnitReason(const std::vector<uint8_t>& image);

}  // namespace velmora::cli
