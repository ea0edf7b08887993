// Text helpers shared by all logic: printf-style formatting into UTF-8
// strings, trimming, and the decimal reading every page applies to typed text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// printf-style formatting into a std::string (UTF-8 in, UTF-8 out).
// MinGW's "printf" means the Microsoft runtime's dialect (no %zu); the
// Windows build uses MinGW's C99 printf instead (__USE_MINGW_ANSI_STDIO).
#ifdef __MINGW32__
[[gnu::format(gnu_printf, 1, 2)]]
#else
[[gnu::format(printf, 1, 2)]]
#endif
std::string strprintf(const char* format, ...);

// Removes blanks, tabs, carriage returns and line feeds at both ends.
std::string trim(std::string_view text);

// Reads text the way the tool reads every typed number: leading white space,
// an optional sign, then decimal digits; anything after the digits is ignored;
// no digits give 0. Values beyond the signed 32-bit range saturate.
int32_t parseDecimal(std::string_view text);

// Local wall-clock time, split as the log stamp and the address message use it.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Four address bytes in dotted decimal ("192.168.1.110"), first byte first.
std::string dottedAddress(const uint8_t bytes[4]);
// The same for an IPv4 address held as a number, most significant byte first.
std::string dottedAddress(uint32_t address);

// How strictly parseDottedAddress reads.
enum class DottedForm {
  // Files, plans and options: four numbers of one to three digits with a
  // dot between them, and nothing else.
  Strict,
  // What a person typed into an address field, read as "%u.%u.%u.%u" would:
  // blanks and a sign before each number, any count of digits, and whatever
  // follows the fourth number ignored.
  Typed,
};
// The four bytes of a dotted address, first byte first, each 0-255; none
// when text is not one.
std::optional<std::array<uint8_t, 4>> parseDottedAddress(std::string_view text, DottedForm form = DottedForm::Strict);

// Bytes as "%02X " each (two upper-case digits and a blank), in order.
std::string hexBytesSpaced(const uint8_t* data, size_t count);

}  // namespace velmora
