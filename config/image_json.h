// The configuration image as a JSON document a person can read and edit,
// and back. The .vmc bytes stay the native form: export then import gives
// the same bytes for every image, odd ones included (duplicate keys, values
// out of range, unknown kinds, bits without a name, a trailing partial unit).
// The document's layout is described in docs/config-json.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The value of the document's "format" member and its layout version.
inline constexpr const char* kImageJsonFormat = "velmora-config";
inline constexpr int kImageJsonVersion = 1;

// The document for image, indented by two, ending in a newline.
std::string exportImageJson(const std::vector<uint8_t>& image);

struct ImageJsonImport {
  bool ok = false;
  std::vector<uint8_t> image;  // set when ok
  std::string path;            // where the document is wrong, "$.units[3].baud"; "$" for the whole
  std::string reason;          // why, one line in English ("must be an integer 0-255")
};

// Reads a document written by exportImageJson (or by hand to the same
// layout). Strict: unknown members, missing members, wrong types and values
// out of range are refused with the first offending path.
ImageJsonImport importImageJson(std::string_view text);

// The one rule by which the window and velmora-cli tell a configuration
// file's form: a JSON document when the name ends in ".json" (any letter
// case) or, whatever the name, when its first byte other than a blank is
// '{'; the image's own bytes otherwise. A sound image starts with a unit's
// kind, 1 to 4, never with '{'.
bool isJsonDocument(std::string_view path, const std::vector<uint8_t>& bytes);
// A configuration file's bytes as an image, by that rule: a document is
// imported (and refused as importImageJson refuses it), a .vmc is taken
// as it is.
ImageJsonImport loadConfigurationBytes(std::string_view path, std::vector<uint8_t> bytes);

// One unit as the document's object (compact JSON text), for the diff's
// JSON output and tests.
std::string unitJson(const uint8_t* unit);

// Where the tool keeps the configurations it read before writing: given
// when not empty, else $XDG_STATE_HOME/velmora/backups, else
// ~/.local/state/velmora/backups (%LOCALAPPDATA%\velmora\backups on Windows).
std::string backupFolder(const std::string& given);

}  // namespace velmora
