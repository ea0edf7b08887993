// Small helpers for building images and running a page's store the way the
// main window does: into a 2048-byte working copy of the image.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "config/config_unit.h"

namespace velmora::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes imageOf(std::initializer_list<ConfigUnit> units) {
  Bytes out;
  for (const ConfigUnit& u : units) out.insert(out.end(), u.begin(), u.end());
  return out;
}

inline Bytes unitsOfImage(const Bytes& image, uint8_t kind) {
  Bytes out;
  for (size_t i = 0; i + 8 <= image.size(); i += 8)
    if (image[i] == kind) out.insert(out.end(), image.begin() + static_cast<long>(i), image.begin() + static_cast<long>(i) + 8);
  return out;
}

// store(buffer, length, capacity) runs against a copy of before; the result
// is what the caller would take as the new image (empty for a length below 0).
template <typename Store>
Bytes storedImage(const Bytes& before, Store&& store, int32_t capacity = 2048) {
  Bytes buffer(2048, 0xEE);
  if (!before.empty()) std::memcpy(buffer.data(), before.data(), std::min<size_t>(before.size(), buffer.size()));
  int32_t length = static_cast<int32_t>(before.size());
  store(buffer.data(), length, capacity);
  if (length < 0) return before;
  return Bytes(buffer.begin(), buffer.begin() + length);
}

}  // namespace velmora::testing
