#include "diag/data_test_text.h"

#include <cstring>
#include <vector>

#include "diag/hex_view.h"

namespace velmora {

DataTestText::Shown DataTestText::opening() {
  const std::vector<uint8_t> pattern = demonstrationPattern();
  return {formatHexView(pattern.data(), pattern.size()), false};
}

DataTestText::Shown DataTestText::load(const uint8_t* data, int32_t length) {
  showsCharacters_ = false;
  if (data == nullptr || length <= 0) return {};
  if (hexMode_) return {formatHexView(data, static_cast<size_t>(length)), false};
  showsCharacters_ = true;
  // The character view shows the end of the text.
  return {formatCharView(data, static_cast<size_t>(length)), true};
}

StoreResult DataTestText::store(const std::string& text, uint8_t* buffer, int32_t& length, int32_t capacity) const {
  if (showsCharacters_) return StoreResult::keepImage();
  length = 0;
  if (buffer == nullptr || capacity <= 0) return StoreResult::stored();
  const HexTextRead read = readHexText(text, static_cast<size_t>(capacity));
  if (!read.ok()) return StoreResult::keepImage(describeHexTextError(read));
  if (!read.bytes.empty()) std::memcpy(buffer, read.bytes.data(), read.bytes.size());
  length = static_cast<int32_t>(read.bytes.size());
  return StoreResult::stored();
}

}  // namespace velmora
