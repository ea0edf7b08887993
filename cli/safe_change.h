// What makes a write safe to repeat and to undo, apart from the link: where
// the configuration read before a write is kept (a JSON document named by
// the device's serial number or target and the time, written whole or not
// at all), and the one object write --json prints.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/image_json.h"

namespace velmora::cli {

// How a write ended, as write --json and apply's report name it.
enum class ChangeResult { Ok, Unchanged, WouldChange, Failed, RolledBack };
const char* changeResultName(ChangeResult result);

// The file name of a backup: the serial number, or else the target with
// what a file name cannot hold replaced, then the local time to the
// millisecond: "20.24.6.17-20261209-173015.123.json".
std::string backupFileName(const std::optional<std::string>& serial, const std::string& target,
                           const std::string& stamp);

// Keeps image as a JSON document in folder (made when missing). The file's
// path, or empty with the reason in why.
std::string saveBackup(const std::string& folder, const std::vector<uint8_t>& image, const std::string& target,
                       std::string& why);

// What a write knows of the device's side beyond the difference: the
// serial number and settings it held when it was read first, and the
// settings it was to get (the lines of settingsLines), for callers that
// show a before/after view of their own.
struct ChangeSides {
  std::optional<std::string> serial;
  std::optional<std::vector<std::string>> before, after;
};

// write --json's object: changed, diff (the diff objects), backup (null
// when none), result, reason, then serial, before and after (null when
// unknown); one line.
std::string changeJson(bool changed, const std::string& diffJsonArray, const std::string& backup, ChangeResult result,
                       const std::string& reason, const ChangeSides& sides = {});

}  // namespace velmora::cli
