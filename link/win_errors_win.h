// Windows' error codes as the errno-style codes the logic compares with
// (std::errc) and names with the same texts as on Linux, so that a COM port
// in use or a refused connect reads alike on both.
#pragma once

#include <windows.h>

#include <string>
#include <system_error>

namespace velmora {

// A Win32 (GetLastError) or Winsock (WSAGetLastError) code as an error_code;
// codes without an errno counterpart keep Windows' own text.
std::error_code winError(DWORD code);
// An errno-style code (std::errc) with the Linux text.
std::error_code posixError(std::errc code);

// UTF-8 <-> UTF-16 for the wide Win32 calls.
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

}  // namespace velmora
