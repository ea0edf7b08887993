// What every Windows file of the tool shares below its own floor: UTF-8
// texts on the wide Win32 calls, and Windows' error codes as the errno-style
// codes the logic compares with (std::errc), named with the same texts as on
// Linux, so that a COM port in use or a refused connect reads alike on both.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <system_error>

namespace velmora {

// UTF-8 <-> UTF-16 for the wide Win32 calls.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// Windows' own text for a Win32 or Winsock code, in UTF-8, without the
// closing period and line end; "error N" when Windows has none.
std::string windowsErrorText(DWORD code);

// A Win32 (GetLastError) or Winsock (WSAGetLastError) code as an error_code;
// codes without an errno counterpart keep Windows' own text.
std::error_code winError(DWORD code);
// An errno-style code (std::errc) with the Linux text.
std::error_code posixError(std::errc code);

}  // namespace velmora
