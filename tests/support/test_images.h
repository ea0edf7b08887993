// Configuration images the tests build, on either platform.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora::testing {

// An image of whole units with a different byte pattern in each, for
// byte-exact transfers.
inline std::vector<uint8_t> imageOfUnits(int units) {
  std::vector<uint8_t> image;
  for (int u = 0; u < units; ++u)
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : u * 7 + i));
  return image;
}

}  // namespace velmora::testing
