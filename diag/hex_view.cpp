#include "diag/hex_view.h"

namespace velmora {

static constexpr char kDigits[] = "0123456789ABCDEF";

std::string formatHexView(const uint8_t* data, size_t length) {
  std::string out;
  if (data == nullptr) return out;
  out.reserve(length * 3 + (length / 16) * 2);
  for (size_t i = 0; i < length; ++i) {
    if (i != 0 && i % 16 == 0) out += "\r\n";
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0x0F]);
    out.push_back(' ');
  }
  return out;
}

std::string formatCharView(const uint8_t* data, size_t length) {
  std::string out;
  if (data == nullptr) return out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) out.push_back(data[i] >= 0x20 && data[i] <= 0x7E ? static_cast<char>(data[i]) : '.');
  return out;
}

static int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::vector<uint8_t> parseHexText(std::string_view text, size_t capacity) {
  std::string digits;
  digits.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '-') digits.push_back(c);
  if (digits.empty() || digits.size() % 2 != 0) return {};
  std::vector<uint8_t> bytes;
  bytes.reserve(std::min(digits.size() / 2, capacity));
  for (size_t i = 0; i < digits.size(); i += 2) {
    // Both characters must be digits: a scanf-style read would take "0G" as 00.
    const int high = hexValue(digits[i]);
    const int low = hexValue(digits[i + 1]);
    if (high < 0 || low < 0) return {};
    if (bytes.size() < capacity) bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::vector<uint8_t> demonstrationPattern() {
  std::vector<uint8_t> bytes(180);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

}  // namespace velmora
