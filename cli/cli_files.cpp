#include "cli/cli_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "config/image_rules.h"
#include "pages/list_page_units.h"

namespace velmora::cli {

FileBytes readConfigFile(const std::string& path) {
  FileBytes result;
  std::error_code ec;
  // Only regular files: a directory or a device would open but not read sensibly.
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
    result.error = "打开文件失败";
    return result;
  }
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > static_cast<uintmax_t>(kMaxOpenFileBytes)) {
    result.error = "打开文件失败";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "打开文件失败";
    return result;
  }
  // Read to the end rather than trust the size: the file may change under us.
  std::vector<uint8_t> bytes;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > static_cast<size_t>(kMaxOpenFileBytes)) {
      result.error = "打开文件失败";
      return result;
    }
  }
  if (in.bad()) {
    result.error = "打开文件失败";
    return result;
  }
  if (bytes.empty()) {
    result.error = "打开文件为空";
    return result;
  }
  result.bytes = std::move(bytes);
  return result;
}

std::string dumpText(const std::vector<uint8_t>& image) {
  ListPageUnits units;
  units.load(image.data(), static_cast<int32_t>(image.size()));
  std::string text;
  for (const ListPageUnits::Row& row : units.rows()) text += row.index + '\t' + row.kind + '\t' + row.parameters + '\n';
  return text;
}

}  // namespace velmora::cli
