// The data test page's two views of the image and the parsing of typed hex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// "%02X " per byte, "\r\n" before every byte whose index is a non-zero
// multiple of 16.
std::string formatHexView(const uint8_t* data, size_t length);

// Printable ASCII as itself, every other byte as '.'; no line breaks.
std::string formatCharView(const uint8_t* data, size_t length);

// Typed hexadecimal as bytes, or where it went wrong.
struct HexTextRead {
  enum class Error { None, NotHex, Unpaired };
  std::vector<uint8_t> bytes;  // empty unless ok()
  Error error = Error::None;
  // The first pair that failed: its number from 1, its characters, and the
  // line and column (from 1, in characters) of its first character.
  size_t pair = 0;
  std::string pairText;
  size_t line = 0;
  size_t column = 0;
  bool ok() const { return error == Error::None; }
};

// Reads typed hexadecimal: blanks, tabs, line breaks and '-' are ignored;
// what remains must be whole pairs of hexadecimal digits. At most capacity
// bytes are returned, but every pair is still checked.
HexTextRead readHexText(std::string_view text, size_t capacity);
// The log line that says why a text was not taken; empty when it was.
std::string describeHexTextError(const HexTextRead& read);

// The pattern shown when the page opens: 00, 01, ... B3.
std::vector<uint8_t> demonstrationPattern();

}  // namespace velmora
