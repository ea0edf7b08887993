#include "base/win_text_win.h"

#include <winsock2.h>

#include <cerrno>

namespace velmora {

namespace {

// errno values with the texts glibc gives them: the C runtime of MinGW
// knows only the oldest ones and says "Unknown error" for the rest.
class PosixTextCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "velmora-posix"; }
  std::string message(int code) const override {
    switch (static_cast<std::errc>(code)) {
      case std::errc::no_such_file_or_directory: return "No such file or directory";
      case std::errc::permission_denied: return "Permission denied";
      case std::errc::device_or_resource_busy: return "Device or resource busy";
      case std::errc::no_such_device: return "No such device";
      case std::errc::io_error: return "Input/output error";
      case std::errc::invalid_argument: return "Invalid argument";
      case std::errc::connection_refused: return "Connection refused";
      case std::errc::timed_out: return "Connection timed out";
      case std::errc::connection_reset: return "Connection reset by peer";
      case std::errc::connection_aborted: return "Software caused connection abort";
      case std::errc::network_unreachable: return "Network is unreachable";
      case std::errc::host_unreachable: return "No route to host";
      case std::errc::address_not_available: return "Cannot assign requested address";
      default: return std::generic_category().message(code);
    }
  }
  std::error_condition default_error_condition(int code) const noexcept override {
    return std::error_condition(code, std::generic_category());
  }
};

const PosixTextCategory& posixText() {
  static const PosixTextCategory category;
  return category;
}

// Windows' codes with Windows' own texts: MinGW's system_category() names
// them through the C runtime, which knows none of them.
class WindowsTextCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "velmora-windows"; }
  std::string message(int code) const override { return windowsErrorText(static_cast<DWORD>(code)); }
};

const WindowsTextCategory& windowsText() {
  static const WindowsTextCategory category;
  return category;
}

}  // namespace

std::error_code posixError(std::errc code) { return std::error_code(static_cast<int>(code), posixText()); }

std::error_code winError(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return posixError(std::errc::no_such_file_or_directory);
    // A COM port another program holds opens with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return posixError(std::errc::device_or_resource_busy);
    case ERROR_INVALID_PARAMETER:
      return posixError(std::errc::invalid_argument);
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_BROKEN_PIPE:
      return posixError(std::errc::no_such_device);
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return posixError(std::errc::io_error);
    case WSAECONNREFUSED: return posixError(std::errc::connection_refused);
    case WSAETIMEDOUT: return posixError(std::errc::timed_out);
    case WSAECONNRESET: return posixError(std::errc::connection_reset);
    case WSAECONNABORTED: return posixError(std::errc::connection_aborted);
    case WSAENETUNREACH: return posixError(std::errc::network_unreachable);
    case WSAEHOSTUNREACH: return posixError(std::errc::host_unreachable);
    case WSAEADDRNOTAVAIL: return posixError(std::errc::address_not_available);
    default: return std::error_code(static_cast<int>(code), windowsText());
  }
}

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string windowsErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.')) text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : narrow(text);
}

}  // namespace velmora
