#include "diag/hex_view.h"

#include <algorithm>

#include "base/text.h"
#include "base/tr_text.h"

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

HexTextRead readHexText(std::string_view text, size_t capacity) {
  // One entry per typed character (a UTF-8 sequence kept whole), with where
  // it stands, so a refusal can point at what the user typed.
  struct Typed {
    std::string_view chars;
    size_t line;
    size_t column;
  };
  std::vector<Typed> typed;
  typed.reserve(text.size());
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xC0)
      while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    const char c = text[i];
    if (c == '\n') {
      ++line;
      column = 1;
    } else if (c == '\r') {
      // "\r\n" counts as one line break, at the '\n'.
    } else {
      if (c != ' ' && c != '\t' && c != '-') typed.push_back({text.substr(i, n), line, column});
      ++column;
    }
    i += n;
  }

  HexTextRead read;
  read.bytes.reserve(std::min(typed.size() / 2, capacity));
  for (size_t i = 0; i < typed.size(); i += 2) {
    const bool whole = i + 1 < typed.size();
    // Both characters must be single hexadecimal digits: a scanf-style read
    // would take "0G" as 00.
    const int high = typed[i].chars.size() == 1 ? hexValue(typed[i].chars[0]) : -1;
    const int low = whole && typed[i + 1].chars.size() == 1 ? hexValue(typed[i + 1].chars[0]) : -1;
    if (!whole || high < 0 || low < 0) {
      read.bytes.clear();
      read.error = whole ? HexTextRead::Error::NotHex : HexTextRead::Error::Unpaired;
      read.pair = i / 2 + 1;
      read.pairText = std::string(typed[i].chars) + (whole ? std::string(typed[i + 1].chars) : std::string());
      read.line = typed[i].line;
      read.column = typed[i].column;
      return read;
    }
    if (read.bytes.size() < capacity) read.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return read;
}

std::string describeHexTextError(const HexTextRead& read) {
  switch (read.error) {
    case HexTextRead::Error::None:
      return {};
    case HexTextRead::Error::NotHex:
      return strprintf(trText("HexView", "数据测试：第 %zu 个字节“%s”（第 %zu 行第 %zu 列）不是十六进制数，配置未改变"),
                       read.pair, read.pairText.c_str(), read.line, read.column);
    case HexTextRead::Error::Unpaired:
      return strprintf(trText("HexView", "数据测试：第 %zu 个字节“%s”（第 %zu 行第 %zu 列）只有一位数字，配置未改变"),
                       read.pair, read.pairText.c_str(), read.line, read.column);
  }
  return {};
}

std::vector<uint8_t> demonstrationPattern() {
  std::vector<uint8_t> bytes(180);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

}  // namespace velmora
