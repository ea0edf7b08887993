#include "link/serial_channel_win.h"

#include <cwctype>

#include "base/clock.h"
#include "link/link_controller.h"
#include "link/port_doctor.h"
#include "base/win_text_win.h"

namespace velmora {

namespace {

// A write that makes no progress for this long has nowhere to go.
constexpr DWORD kWriteStallMs = 5000;
// The reader's wait for a byte; close() wakes it sooner.
constexpr DWORD kReadWaitMs = 200;
// One byte per read, ended by that byte or the total time-out. Wine's serial
// reads honour only that form: with the "return what is there" form
// (interval and multiplier MAXDWORD) it waits for the whole buffer.
constexpr DWORD kReadChunk = 1;

DCB withSettings(DCB dcb, const SerialSettings& s) {
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = static_cast<DWORD>(s.baudRate);
  dcb.ByteSize = static_cast<BYTE>(s.byteSize);
  // Our codes are Windows' own: NOPARITY..SPACEPARITY, ONESTOPBIT..TWOSTOPBITS.
  dcb.Parity = static_cast<BYTE>(s.parity);
  dcb.StopBits = static_cast<BYTE>(s.stopBits);
  // Raw bytes, no flow control, nothing replaced or dropped.
  dcb.fBinary = TRUE;
  dcb.fParity = s.parity != NOPARITY;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  return dcb;
}

unsigned mismatch(const DCB& asked, const DCB& taken) {
  unsigned refused = 0;
  if (asked.BaudRate != taken.BaudRate) refused |= kLineSpeed;
  if (asked.ByteSize != taken.ByteSize) refused |= kLineDataBits;
  if (asked.Parity != taken.Parity) refused |= kLineParity;
  if (asked.StopBits != taken.StopBits) refused |= kLineStopBits;
  return refused;
}

}  // namespace

std::wstring comDevicePath(const std::string& text) {
  std::string name = text;
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (name.size() < 4 || name.size() > 6) return {};
  for (int i = 0; i < 3; ++i)
    if (std::towupper(static_cast<wint_t>(name[i])) != static_cast<wint_t>("COM"[i])) return {};
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return {};
    number = number * 10 + (name[i] - '0');
  }
  if (number < 1 || number > 255 || name[3] == '0') return {};
  return L"\\\\.\\COM" + std::to_wstring(number);
}

WinSerialChannel::WinSerialChannel(MessageWindow& window) : window_(window) {
  message_ = window_.addMessage([this](WPARAM w, LPARAM) { deliver(w); });
  writeDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

WinSerialChannel::~WinSerialChannel() {
  close();
  window_.removeMessage(message_);
  if (writeDone_ != nullptr) CloseHandle(writeDone_);
}

bool WinSerialChannel::open(const std::string& path, const SerialSettings& settings, std::error_code& error) {
  error.clear();
  if (isOpen()) return true;
  const std::wstring device = comDevicePath(path);
  if (device.empty()) {
    error = posixError(std::errc::no_such_file_or_directory);
    return false;
  }
  HANDLE port = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    error = winError(GetLastError());
    return false;
  }
  const auto fail = [&](std::error_code why) {
    CloseHandle(port);
    error = why;
    return false;
  };
  DCB current{};
  current.DCBlength = sizeof current;
  if (!GetCommState(port, &current)) return fail(winError(GetLastError()));
  const DCB asked = withSettings(current, settings);
  DCB copy = asked;
  // A driver may refuse a value (an error) or keep its own and say nothing:
  // what it reports back names what did not take.
  const bool set = SetCommState(port, &copy) != 0;
  const DWORD setError = set ? 0 : GetLastError();
  DCB taken{};
  taken.DCBlength = sizeof taken;
  if (!GetCommState(port, &taken)) return fail(winError(GetLastError()));
  if (const unsigned refused = mismatch(asked, taken)) return fail(lineSettingsError(refused));
  if (!set) return fail(winError(setError));
  // ReadFile returns with its byte, or after kReadWaitMs with none.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = kReadWaitMs;
  timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
  if (!SetCommTimeouts(port, &timeouts)) return fail(winError(GetLastError()));
  // Whatever waited in either direction belongs to an earlier session.
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);

  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop_ == nullptr) return fail(winError(GetLastError()));
  port_ = port;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.clear();
    lost_.clear();
    lostPosted_ = false;
  }
  ++session_;
  running_.store(true);
  try {
    reader_ = std::thread(&WinSerialChannel::readLoop, this);
  } catch (const std::system_error& e) {
    running_.store(false);
    CloseHandle(stop_);
    stop_ = nullptr;
    port_ = INVALID_HANDLE_VALUE;
    return fail(e.code());
  }
  return true;
}

void WinSerialChannel::close() {
  if (!isOpen()) return;
  running_.store(false);
  SetEvent(stop_);
  if (reader_.joinable()) reader_.join();
  CloseHandle(port_);
  CloseHandle(stop_);
  port_ = INVALID_HANDLE_VALUE;
  stop_ = nullptr;
  // Messages still queued carry the old session and are dropped.
  ++session_;
  std::lock_guard<std::mutex> lock(queueMutex_);
  queue_.clear();
  lost_.clear();
  lostPosted_ = false;
}

bool WinSerialChannel::send(const uint8_t* data, int32_t length) {
  if (!isOpen() || length < 0 || (data == nullptr && length > 0)) return false;
  int32_t done = 0;
  while (done < length) {
    OVERLAPPED ov{};
    ResetEvent(writeDone_);
    ov.hEvent = writeDone_;
    DWORD wrote = 0;
    if (!WriteFile(port_, data + done, static_cast<DWORD>(length - done), nullptr, &ov)) {
      const DWORD e = GetLastError();
      if (e != ERROR_IO_PENDING) {
        markLost(winError(e), session_);
        return false;
      }
      if (WaitForSingleObject(writeDone_, kWriteStallMs) != WAIT_OBJECT_0) {
        CancelIoEx(port_, &ov);
        GetOverlappedResult(port_, &ov, &wrote, TRUE);
        return false;
      }
    }
    if (!GetOverlappedResult(port_, &ov, &wrote, TRUE)) {
      markLost(winError(GetLastError()), session_);
      return false;
    }
    if (wrote == 0) return false;  // the write time-out passed with nothing taken
    done += static_cast<int32_t>(wrote);
  }
  return true;
}

std::error_code WinSerialChannel::lostReason() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return lost_;
}

std::vector<std::string> WinSerialChannel::listPorts() { return listComPorts(); }

std::vector<std::string> WinSerialChannel::openFailureNotes(const std::string& path, const std::error_code& error) {
  const std::unique_ptr<SerialPortSystem> system = makeSerialPortSystem({});
  return examineOpenFailure(*system, history_, path, error, steadyUs());
}

void WinSerialChannel::markLost(std::error_code reason, uint32_t session) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (lost_) return;
    lost_ = reason;
  }
  PostMessageW(window_.handle(), message_, session, 0);
}

void WinSerialChannel::readLoop() {
  const uint32_t session = session_;
  HANDLE readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  uint8_t buffer[kReadChunk];
  std::error_code lost;
  // A device that has gone away can answer every read at once with nothing
  // (a hung-up tty under Wine does): many empty reads well short of the wait
  // in a row mean it is gone.
  int emptyAtOnce = 0;
  while (running_.load() && readDone != nullptr) {
    OVERLAPPED ov{};
    ResetEvent(readDone);
    ov.hEvent = readDone;
    DWORD got = 0;
    const uint64_t startedUs = steadyUs();
    if (!ReadFile(port_, buffer, sizeof buffer, nullptr, &ov)) {
      const DWORD e = GetLastError();
      if (e != ERROR_IO_PENDING) {
        lost = winError(e);
        break;
      }
      const HANDLE waits[2] = {readDone, stop_};
      const DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (which != WAIT_OBJECT_0) {
        CancelIoEx(port_, &ov);
        GetOverlappedResult(port_, &ov, &got, TRUE);
        break;
      }
    }
    if (!GetOverlappedResult(port_, &ov, &got, TRUE)) {
      const DWORD e = GetLastError();
      if (e == ERROR_OPERATION_ABORTED && !running_.load()) break;
      // Wine ends a read whose time-out passed with an error where Windows
      // returns no bytes: the device is just quiet.
      if (e == WAIT_TIMEOUT || e == ERROR_TIMEOUT || e == ERROR_SEM_TIMEOUT) continue;
      lost = winError(e);
      break;
    }
    if (got == 0) {
      const bool atOnce = steadyUs() - startedUs < kReadWaitMs * 1000 / 4;
      emptyAtOnce = atOnce ? emptyAtOnce + 1 : 0;
      if (emptyAtOnce >= 20) {
        lost = posixError(std::errc::no_such_device);
        break;
      }
      continue;
    }
    emptyAtOnce = 0;
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      queue_.insert(queue_.end(), buffer, buffer + got);
      queuedAtUs_ = steadyUs();
    }
    PostMessageW(window_.handle(), message_, session, 0);
  }
  if (readDone != nullptr) CloseHandle(readDone);
  // A stop asked for by close() is no loss.
  if (lost && running_.load()) markLost(lost, session);
}

void WinSerialChannel::deliver(WPARAM session) {
  if (static_cast<uint32_t>(session) != session_) return;
  std::vector<uint8_t> bytes;
  std::error_code lost;
  uint64_t arrived = 0;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    bytes.swap(queue_);
    arrived = queuedAtUs_;
    if (lost_ && !lostPosted_) {
      lost = lost_;
      lostPosted_ = true;
    }
  }
  if (sink_ == nullptr) return;
  const uint32_t current = session_;
  if (!bytes.empty()) sink_->onArrival(arrived);
  for (uint8_t b : bytes) {
    sink_->onSerialByte(b);
    // The sink may have closed the port on the way: the rest belongs to no one.
    if (session_ != current || sink_ == nullptr) return;
  }
  // After the bytes: whatever the device said before it went still counts.
  if (lost) sink_->onSerialLost(lost);
}

}  // namespace velmora
