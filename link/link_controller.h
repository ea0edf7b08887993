// The device link apart from any page: which channel is open, opening and
// closing each with typed settings, the one send path, and what the
// channels report. The connection page drives it from its boxes and
// velmora-cli from its options; both hear the same log lines and the
// transfer panel the same link changes.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "base/log_sink.h"
#include "base/tr_text.h"
#include "link/channel.h"
#include "protocol/frame_trace.h"
#include "protocol/link_interfaces.h"

namespace velmora {

// Which channel is open. SerialOpen and TcpConnected are up; the two idle
// states only remember which channel was used last. The numbers are the
// page's linkState values.
enum class LinkState : int32_t { SerialIdle = 0, SerialOpen = 1, TcpIdle = 2, TcpConnected = 3 };

inline constexpr int32_t kSerialIdle = static_cast<int32_t>(LinkState::SerialIdle);
inline constexpr int32_t kSerialOpen = static_cast<int32_t>(LinkState::SerialOpen);
inline constexpr int32_t kTcpIdle = static_cast<int32_t>(LinkState::TcpIdle);
inline constexpr int32_t kTcpConnected = static_cast<int32_t>(LinkState::TcpConnected);
inline constexpr bool linkIsUp(int32_t linkState) { return linkState == kSerialOpen || linkState == kTcpConnected; }

// What the page shows when the serial device goes away by itself.
inline constexpr const char* kSerialLostStatus = VELMORA_TR_NOOP("ConnectLogic", "串口已断开");

// Hears what changed on the link (the connection page: its status line and
// controls). The transfer panel hears link changes as a LinkReceiver.
class LinkListener {
 public:
  virtual ~LinkListener() = default;
  // The status line after a change.
  virtual void linkStatusText(const std::string& text) = 0;
  // The state or the connecting flag may have changed: controls follow.
  virtual void linkStateChanged() = 0;
};

class LinkController final : public LinkEventSink {
 public:
  // Log lines go to log (none when null).
  LinkController(SerialLink& serial, TcpLink& tcp, LogSink* log = nullptr);
  LinkController(const LinkController&) = delete;
  LinkController& operator=(const LinkController&) = delete;

  void setReceiver(LinkReceiver* receiver) { receiver_ = receiver; }
  void setListener(LinkListener* listener) { listener_ = listener; }
  // Hears every frame that went out (null: nobody listens).
  void setFrameObserver(FrameObserver* observer) { observer_ = observer; }

  // Opens the serial port with these settings; true when it is open.
  bool openSerial(const std::string& path, const SerialSettings& settings);
  // Connects to host:port. Pending while a host name is looked up: the
  // channel's connect notification ends it (connecting() until then).
  TcpConnectStart connectTcp(const std::string& host, int32_t port);
  // Closes the open link as the user does; nothing when none is up.
  void close();
  // Teardown: TCP disconnected, then the serial port closed, nothing said.
  void shutdown();

  // The one send path: true only when every byte went out on the open channel.
  bool send(const uint8_t* data, int32_t length);
  // The address commands; true when the frame went out.
  bool sendAddressQuery();
  bool sendAddressChange(uint8_t address);

  // The channels' notifications, on the UI thread.
  void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) override;
  void onTcpReceive(const uint8_t* block, int32_t count) override;
  void onTcpClose(int32_t errorCode) override;
  void onSerialByte(uint8_t byte) override;
  void onArrival(uint64_t steadyUs) override;
  void onSerialLost(std::error_code reason) override;

  LinkState state() const { return state_; }
  int32_t linkState() const { return static_cast<int32_t>(state_); }
  bool up() const { return linkIsUp(linkState()); }
  bool connecting() const { return connecting_; }
  // Why the latest TCP connect failed, when known (empty otherwise).
  const std::string& tcpFailureReason() const { return tcpFailureReason_; }
  // Why the latest serial open failed, when the system said (empty otherwise).
  const std::string& serialFailureReason() const { return serialFailureReason_; }
  // The log line of the latest loss the user did not ask for; empty from
  // the next successful connect on.
  const std::string& lossText() const { return lossText_; }

 private:
  void tcpConnectSucceeded(const std::string& host, int32_t port);
  void tcpConnectFailed(const std::string& host, int32_t failureCode);
  void tcpLost(const std::string& panelText, const std::string& logText);
  void log(const std::string& text);
  void status(const std::string& text);
  void changed();
  void reportLink(bool connected, const std::string& text);

  SerialLink& serial_;
  TcpLink& tcp_;
  LogSink* log_ = nullptr;
  LinkReceiver* receiver_ = nullptr;
  LinkListener* listener_ = nullptr;
  FrameObserver* observer_ = nullptr;
  LinkState state_ = LinkState::SerialIdle;
  bool connecting_ = false;
  std::string pendingHost_;
  int32_t pendingPort_ = 0;
  std::string tcpFailureReason_;
  std::string serialFailureReason_;
  std::string lossText_;
};

// The line settings a device can quietly keep for itself when asked to
// change them, as bits of a mask.
enum LineSetting : unsigned { kLineSpeed = 1, kLineDataBits = 2, kLineParity = 4, kLineStopBits = 8 };
// The reason of an open that failed because the device kept its own value
// for the settings in refused (LineSetting bits); its message names them.
std::error_code lineSettingsError(unsigned refused);

// The log line that explains a failed serial open, with a hint where the
// usual cause is known (the user is not in the dialout group).
std::string serialOpenReason(const std::error_code& error);
// The log line that explains a failed TCP connect to an address, with a
// hint for the usual causes (nothing listens there, no answer, no route).
std::string tcpConnectErrorReason(const std::error_code& error);
// The log line that names why the serial device went away.
std::string serialLostLine(const std::error_code& reason);

}  // namespace velmora
