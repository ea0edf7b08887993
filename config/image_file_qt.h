// Configuration files on disk, for the window and velmora-cli alike: read
// whole with the window's limits, written so that a failure never leaves a
// truncated file where the previous one was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ImageFileRead {
  std::vector<uint8_t> bytes;
  // Empty on success; otherwise kOpenFileFailed (missing, not a regular
  // file, over kMaxOpenFileBytes, unreadable) or kOpenFileEmpty.
  std::string error;  // the source text (trText("ImageRules", …) shows it)
  bool ok() const { return error.empty(); }
};

ImageFileRead readImageFile(const std::string& path);

// Writes bytes beside path and renames the result over it only when every
// byte reached the disk. False (and path untouched) otherwise, with the
// system's reason in why (a missing folder, no permission, a full disk).
bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& why);
// The same for a text document (UTF-8, written as given).
bool writeTextFile(const std::string& path, std::string_view text, std::string& why);

}  // namespace velmora
