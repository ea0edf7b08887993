#include "cli/safe_change.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/clock.h"
#include "base/text.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
#include "fleet/fleet.h"

namespace velmora::cli {

const char* changeResultName(ChangeResult result) {
  switch (result) {
    case ChangeResult::Ok: return "ok";
    case ChangeResult::Unchanged: return "unchanged";
    case ChangeResult::WouldChange: return "would_change";
    case ChangeResult::Failed: return "failed";
    case ChangeResult::RolledBack: return "rolled_back";
  }
  return "failed";
}

std::string backupFileName(const std::optional<std::string>& serial, const std::string& target,
                           const std::string& stamp) {
  std::string name = serial ? *serial : target;
  for (char& c : name)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-'))
      c = '_';
  return name + "-" + stamp + ".json";
}

namespace {

std::string stampNow() {
  const LocalTime t = localTimeNow();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch()).count() % 1000;
  return strprintf("%04d%02d%02d-%02d%02d%02d.%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                   static_cast<int>(ms));
}

}  // namespace

std::string saveBackup(const std::string& folder, const std::vector<uint8_t>& image, const std::string& target,
                       std::string& why) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    why = folder + ": " + error.message();
    return {};
  }
  const std::filesystem::path path =
      std::filesystem::path(folder) / backupFileName(serialNumberOf(image), target, stampNow());
  if (!writeTextFile(path.string(), exportImageJson(image), why)) return {};
  return path.string();
}

std::string changeJson(bool changed, const std::string& diffJsonArray, const std::string& backup, ChangeResult result,
                       const std::string& reason, const ChangeSides& sides) {
  nlohmann::ordered_json j;
  j["changed"] = changed;
  j["diff"] = nlohmann::ordered_json::parse(diffJsonArray.empty() ? "[]" : diffJsonArray, nullptr, false);
  if (j["diff"].is_discarded()) j["diff"] = nlohmann::ordered_json::array();
  j["backup"] = backup.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(backup);
  j["result"] = changeResultName(result);
  j["reason"] = reason;
  j["serial"] = sides.serial ? nlohmann::ordered_json(*sides.serial) : nlohmann::ordered_json(nullptr);
  j["before"] = sides.before ? nlohmann::ordered_json(*sides.before) : nlohmann::ordered_json(nullptr);
  j["after"] = sides.after ? nlohmann::ordered_json(*sides.after) : nlohmann::ordered_json(nullptr);
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace velmora::cli
