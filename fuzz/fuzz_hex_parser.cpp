// The data test page's hex parser on arbitrary text: bounded by capacity,
// what it reads, shown again as hex, reads back the same, and a refusal
// says where.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "diag/hex_view.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t capacity = data[0] * 16u;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const HexTextRead read = readHexText(text, capacity);
  const auto& bytes = read.bytes;
  if (bytes.size() > capacity) std::abort();
  // A refusal always points inside the text and says why.
  if (!read.ok() && (!bytes.empty() || read.pair == 0 || read.line == 0 || read.column == 0 ||
                     read.pairText.empty() || read.pairText.size() > text.size() ||
                     describeHexTextError(read).empty()))
    std::abort();
  if (!bytes.empty()) {
    const std::string shown = formatHexView(bytes.data(), bytes.size());
    if (readHexText(shown, bytes.size()).bytes != bytes) std::abort();
  }
  return 0;
}
