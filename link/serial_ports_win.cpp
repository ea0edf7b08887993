// The port list on Windows: the COM ports the system names in the registry.
#include <windows.h>

#include <algorithm>

#include "link/serial_channel_win.h"
#include "link/serial_ports.h"
#include "base/win_text_win.h"

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

namespace {

// The COM ports for the port list and velmora-cli ports: the registry's
// list; a try-open that takes the port for a moment only; of the doctor's
// facts whether the port is there and that a holder has no name (Windows
// tells that a port is taken, never by whom).
class WinSerialPortSystem final : public SerialPortSystem {
 public:
  std::vector<SerialPortInfo> listPorts() override {
    std::vector<SerialPortInfo> ports;
    for (const std::string& name : listComPorts()) ports.push_back(portAtPath(name));
    return ports;
  }
  std::error_code tryOpen(const std::string& path) override {
    const std::wstring device = comDevicePath(path);
    if (device.empty()) return std::make_error_code(std::errc::no_such_device);
    HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return winError(GetLastError());
    CloseHandle(h);
    return {};
  }
  PortFacts examine(const std::string& path) override {
    PortFacts facts;
    const std::error_code error = tryOpen(path);
    facts.exists = error != std::errc::no_such_file_or_directory && error != std::errc::no_such_device;
    facts.serial = facts.exists;
    facts.holdersUnnamed = true;
    return facts;
  }
};

}  // namespace

std::unique_ptr<SerialPortSystem> makeSerialPortSystem(std::vector<std::string>) {
  return std::make_unique<WinSerialPortSystem>();
}

}  // namespace velmora
