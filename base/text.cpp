#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

namespace velmora {

std::string strprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  // Log lines are short: one pass into the stack does for nearly all of them.
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0 && static_cast<size_t>(needed) < sizeof small) {
    out.assign(small, static_cast<size_t>(needed));
  } else if (needed > 0) {
    out.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return out;
}

static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

int32_t parseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (value <= limit) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (negative) {
    value = -value;
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
  }
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

std::string hexBytesSpaced(const uint8_t* data, size_t count) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 0x0F]);
    out.push_back(' ');
  }
  return out;
}

std::string dottedAddress(const uint8_t bytes[4]) {
  return strprintf("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::string dottedAddress(uint32_t address) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  return dottedAddress(bytes);
}

namespace {

bool isScanBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One "%u" conversion: blanks, an optional sign, at least one digit. A
// negated value wraps as it would in an unsigned conversion, which puts
// every negative number but -0 above 255.
std::optional<uint64_t> scanUnsigned(std::string_view text, size_t& pos) {
  while (pos < text.size() && isScanBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t firstDigit = pos;
  uint64_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (value < (uint64_t{1} << 40)) value = value * 10 + static_cast<uint64_t>(text[pos] - '0');
    ++pos;
  }
  if (pos == firstDigit) return std::nullopt;
  if (negative && value != 0) return uint64_t{1} << 40;
  return value;
}

// One to three digits and nothing in front of them.
std::optional<uint64_t> strictNumber(std::string_view text, size_t& pos) {
  const size_t firstDigit = pos;
  uint64_t value = 0;
  while (pos < text.size() && pos - firstDigit < 4 && text[pos] >= '0' && text[pos] <= '9')
    value = value * 10 + static_cast<uint64_t>(text[pos++] - '0');
  if (pos == firstDigit || pos - firstDigit > 3) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::array<uint8_t, 4>> parseDottedAddress(std::string_view text, DottedForm form) {
  std::array<uint8_t, 4> out{};
  size_t pos = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::optional<uint64_t> value = form == DottedForm::Typed ? scanUnsigned(text, pos) : strictNumber(text, pos);
    if (!value || *value > 255) return std::nullopt;
    out[i] = static_cast<uint8_t>(*value);
  }
  if (form == DottedForm::Strict && pos != text.size()) return std::nullopt;
  return out;
}

}  // namespace velmora
