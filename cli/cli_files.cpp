#include "cli/cli_files.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "base/text.h"
#include "base/tr_text.h"
#include "cli/cli_output.h"
#include "config/config_unit.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
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

namespace {

// One element a line: a script reads it as JSON, a person line by line.
std::string arrayOfLines(const nlohmann::ordered_json& list) {
  if (list.empty()) return "[]\n";
  std::string out = "[\n";
  for (size_t i = 0; i < list.size(); ++i) out += "  " + list[i].dump() + (i + 1 < list.size() ? ",\n" : "\n");
  return out + "]\n";
}

}  // namespace

std::string dumpJson(const std::vector<uint8_t>& image) {
  ListPageUnits units;
  units.load(image.data(), static_cast<int32_t>(image.size()));
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ListPageUnits::Row& row : units.rows()) {
    nlohmann::ordered_json entry;
    entry["index"] = parseDecimal(row.index);
    entry["type"] = row.kind;
    entry["parameters"] = row.parameters;
    list.push_back(std::move(entry));
  }
  return arrayOfLines(list);
}

std::string addressJson(int address) { return nlohmann::ordered_json{{"address", address}}.dump() + "\n"; }

std::string scanJson(const std::vector<std::string>& hosts) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const std::string& host : hosts) list.push_back(nlohmann::ordered_json{{"host", host}});
  return arrayOfLines(list);
}

bool loadConfiguration(const std::string& path, std::vector<uint8_t>& image) {
  ImageFileRead file = readImageFile(path);
  if (!file.ok()) {
    printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), path.c_str()));
    return false;
  }
  ImageJsonImport document = loadConfigurationBytes(path, std::move(file.bytes));
  if (!document.ok) {
    printReason(path + ": " + document.path + ": " + document.reason);
    return false;
  }
  image = std::move(document.image);
  return true;
}

}  // namespace velmora::cli
