#include "base/line_settings.h"

namespace velmora {

namespace {

// The image's parity codes by value; -1 where an image has none.
constexpr int kStoredParity[kParityCount] = {0, 2, 1, 3, -1};

template <typename Value, int Count>
std::optional<Value> valueAt(int index) {
  if (index < 0 || index >= Count) return std::nullopt;
  return static_cast<Value>(index);
}

}  // namespace

std::optional<Parity> parityOfChannelCode(int code) { return valueAt<Parity, kParityCount>(code); }
std::optional<StopBits> stopBitsOfChannelCode(int code) { return valueAt<StopBits, kStopBitsCount>(code); }

std::optional<uint8_t> storedCode(Parity p) {
  const int code = kStoredParity[indexOf(p)];
  if (code < 0) return std::nullopt;
  return static_cast<uint8_t>(code);
}

std::optional<Parity> parityOfStoredCode(int code) {
  for (int i = 0; i < kParityCount; ++i)
    if (code >= 0 && kStoredParity[i] == code) return static_cast<Parity>(i);
  return std::nullopt;
}

std::optional<StopBits> stopBitsOfStoredCode(int code) { return valueAt<StopBits, kStoredStopBitsCodes>(code); }

std::optional<StopBits> stopBitsNamed(std::string_view name) {
  for (int i = 0; i < kStopBitsCount; ++i)
    if (name == kStopBitsNames[i]) return static_cast<StopBits>(i);
  return std::nullopt;
}

std::optional<Parity> parityNamed(std::string_view name) {
  for (int i = 0; i < kParityCount; ++i)
    if (name == kParityNames[i]) return static_cast<Parity>(i);
  return std::nullopt;
}

std::optional<Parity> parityOfLetter(char letter) {
  const char upper = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  for (int i = 0; i < kParityCount; ++i)
    if (upper == kParityLetters[i]) return static_cast<Parity>(i);
  return std::nullopt;
}

std::string parityShortText(Parity p) { return trText("LineSettings", kParityShortTexts[indexOf(p)]); }
std::string parityLongText(Parity p) { return trText("LineSettings", kParityLongTexts[indexOf(p)]); }

}  // namespace velmora
