// The port list on Windows: the COM ports the system names in the registry.
#include <windows.h>

#include <algorithm>

#include "link/serial_channel_win.h"
#include "link/win_errors_win.h"

namespace velmora {

std::vector<std::string> listComPorts() {
  std::vector<std::pair<int, std::string>> found;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t value[256];
    DWORD nameLength = 256;
    DWORD valueBytes = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(value), &valueBytes);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    value[valueBytes / sizeof(wchar_t)] = L'\0';
    const std::string port = narrow(value);
    if (comDevicePath(port).empty()) continue;
    found.emplace_back(std::stoi(port.substr(3)), port);
  }
  RegCloseKey(key);
  std::sort(found.begin(), found.end());
  std::vector<std::string> ports;
  for (auto& p : found) ports.push_back(std::move(p.second));
  return ports;
}

}  // namespace velmora
