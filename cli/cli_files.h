// The files velmora-cli reads: a .vmc file taken in as the window's Open
// takes it, and the parameter list's rows as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::cli {

struct FileBytes {
  std::vector<uint8_t> bytes;
  // Empty on success; otherwise the window's text for the failure:
  // "打开文件失败" (missing, not a regular file, over 1 MiB, unreadable) or
  // "打开文件为空".
  std::string error;
};

FileBytes readConfigFile(const std::string& path);

// One line per whole unit, "index<TAB>kind<TAB>description\n", as the
// parameter list page shows the image; a trailing partial unit is left out.
std::string dumpText(const std::vector<uint8_t>& image);

}  // namespace velmora::cli
