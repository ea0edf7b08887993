#include "cli/cli_files.h"

#include "config/config_unit.h"
#include "pages/list_page_units.h"

namespace velmora::cli {

std::string dumpText(const std::vector<uint8_t>& image) {
  ListPageUnits units;
  units.load(image.data(), static_cast<int32_t>(image.size()));
  std::string text;
  for (const ListPageUnits::Row& row : units.rows()) text += row.index + '\t' + row.kind + '\t' + row.parameters + '\n';
  return text;
}

std::string partialUnitReason(const std::vector<uint8_t>& image) {
  const size_t rest = image.size() % kUnitBytes;
  if (rest == 0) return {};
  return std::to_string(rest) + (rest == 1 ? " byte" : " bytes") + " after the last whole unit (a unit is " +
         std::to_string(kUnitBytes) + " bytes)";
}

}  // namespace velmora::cli
