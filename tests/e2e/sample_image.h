// The configuration the simulated device holds in these tests: units of
// every kind, with values that differ from the pages' defaults and from the
// factory addresses, in the order the editor pages store them when they
// are visited from the first to the last. So a read followed by a walk over
// every page and a write gives back the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::e2e {

using Bytes = std::vector<uint8_t>;

// 15 units, 120 bytes: an envelope of 128 bytes, three packets.
Bytes sampleImage();

// Offsets of fields the edit test changes.
inline constexpr size_t kUnitSize = 8;
inline constexpr size_t kSecondDataPortUnit = 3;   // "数据口2"
inline constexpr size_t kIpUnit = 5;               // network port 0, selector 0
inline constexpr size_t kFirstServerPortUnit = 8;  // entry 0, port 6000
inline constexpr size_t kInputGroupUnit = 10;      // holding-register group 1

// The parameter list page's rows for sampleImage(), "序号|类型|参数".
std::vector<std::string> sampleListRows();

// Big-endian stores into an image.
void putBe16(Bytes& image, size_t offset, uint16_t value);
void putBe32(Bytes& image, size_t offset, uint32_t value);

// Hex pairs with a space after each, as the data test page starts its view.
std::string hexPrefix(const Bytes& bytes, size_t count);

}  // namespace velmora::e2e
