#include "cli/cli_files.h"

#include "pages/list_page_units.h"

namespace velmora::cli {

std::string dumpText(const std::vector<uint8_t>& image) {
  ListPageUnits units;
  units.load(image.data(), static_cast<int32_t>(image.size()));
  std::string text;
  for (const ListPageUnits::Row& row : units.rows()) text += row.index + '\t' + row.kind + '\t' + row.parameters + '\n';
  return text;
}

}  // namespace velmora::cli
