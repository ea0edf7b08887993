// The parameter list page's private copy of the image: every whole unit of
// the last image loaded, shown read-only and handed back as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_unit.h"

namespace velmora {

class ListPageUnits {
 public:
  struct Row {
    std::string index;       // position from 0, in decimal
    std::string kind;        // unitKindName
    std::string parameters;  // describeUnit
  };

  // Replaces the copy by the image's whole units; a trailing partial unit is
  // ignored, and no image (null, length 0 or less) empties the copy.
  void load(const uint8_t* data, int32_t length);

  // Writes the copy to the start of buffer, whatever the buffer held. When
  // the copy does not fit, false: the caller keeps its image rather than
  // taking an empty one. A null buffer stores nothing (length 0).
  bool store(uint8_t* buffer, int32_t& length, int32_t capacity) const;

  const std::vector<ConfigUnit>& units() const { return units_; }
  std::vector<Row> rows() const;

 private:
  std::vector<ConfigUnit> units_;
};

}  // namespace velmora
