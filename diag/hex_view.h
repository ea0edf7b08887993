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

// Reads typed hexadecimal: blanks, tabs, line breaks and '-' are ignored;
// what remains must be whole pairs of hexadecimal digits, otherwise the
// result is empty. At most capacity bytes are returned, but every pair is
// still checked.
std::vector<uint8_t> parseHexText(std::string_view text, size_t capacity);

// The pattern shown when the page opens: 00, 01, ... B3.
std::vector<uint8_t> demonstrationPattern();

}  // namespace velmora
