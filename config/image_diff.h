// The differences between two configuration images in terms of their
// settings, not their bytes: units are matched by their key (the data-port
// number; net port, virtual interface and field; the holding-register
// group; server ports by their position among the server ports; unknown
// units by their bytes), so two images with the same settings in another
// order have no difference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_unit.h"
#include "config/unit_names.h"

namespace velmora {

enum class DiffChange { Added, Removed, Changed };

// One changed field of a unit present on both sides; values as the text
// output shows them ("9600", "192.168.1.110", "55 protocol, program download").
struct FieldDifference {
  std::string field;  // the field's member name in the JSON document ("baud")
  std::string before;
  std::string after;
};

struct UnitDifference {
  DiffChange change = DiffChange::Changed;
  ConfigUnit before{};  // Removed, Changed
  ConfigUnit after{};   // Added, Changed
  std::vector<FieldDifference> fields;  // Changed: at least one
  size_t serverPosition = 0;            // Changed server port: its position among the server ports, from 0
};

struct ImageDifference {
  std::vector<UnitDifference> units;  // in the order of the first image, then what only the second has
  // Bytes after the last whole unit, when the two sides differ in them.
  bool trailingDiffers = false;
  std::vector<uint8_t> trailingBefore, trailingAfter;
  bool empty() const { return units.empty() && !trailingDiffers; }
};

ImageDifference diffImages(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);

// One line per difference, without a newline:
//   English: "serial port 2: baud 9600 → 115200", "server port 502 added",
//            "network port 0 IP 192.168.1.110 → 10.0.0.5"
//   Chinese: the same in the window's words ("串口配置 2：波特率 9600 → 115200").
std::vector<std::string> diffLines(const ImageDifference& difference, DiffLanguage language);

// The differences as a JSON array, one object per field change, added or
// removed unit and trailing bytes, one object a line, without a final
// newline; "[]" when there is none (see docs/config-json.md).
std::string diffJson(const ImageDifference& difference);

// Every setting of one image, one line each, in image order: what a
// unified diff of two images' lines shows readably ("serial port 1: baud
// 9600", "network port 0 IP 192.168.1.110", "server port #1: port 6000").
// A unit's key is in its name, so the same setting has the same prefix on
// both sides; bytes after the last whole unit make the last line.
std::vector<std::string> settingsLines(const std::vector<uint8_t>& image, DiffLanguage language);

// Where two images first differ in their bytes, in one line of English
// ("byte 17: 0x05 written, 0xFA read"; "2048 bytes written, 2040 read");
// empty when they are the same bytes.
std::string firstByteDifference(const std::vector<uint8_t>& written, const std::vector<uint8_t>& read);

}  // namespace velmora
