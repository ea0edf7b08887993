// The device link's transports, in the shape of a protocol library's
// backend table: every transport opens, closes, says whether it is open and
// sends; what it receives and every change of its link it pushes to one
// receiver (LinkEventSink), on the UI thread, in the order it happened. The
// connection page and velmora-cli drive the same two implementations.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace velmora {

// Line settings as the serial channel takes them; stopBits and parity are
// the channel's codes of StopBits and Parity (base/line_settings.h).
struct SerialSettings {
  int32_t baudRate = 9600;
  int32_t byteSize = 8;
  int32_t stopBits = 0;
  int32_t parity = 0;
  bool operator==(const SerialSettings&) const = default;
};

// How long a connect may wait for the peer, and a name lookup for its answer.
inline constexpr int kTcpConnectLimitMs = 2000;

// How a TCP connect began. A numeric address is decided at once; a host name
// is looked up off the UI thread first (Pending), and the channel's next
// connect notification ends the attempt: (0, 0) up, (1, TcpConnectFailure)
// not up. Starting a lookup, the channel drops its older notices still queued.
enum class TcpConnectStart { Connected, Failed, Pending };

// The code a failed connect notification carries when a pending attempt ends.
enum class TcpConnectFailure : int32_t {
  ConnectFailed = 1,   // the name resolved; the peer refused or did not answer in time
  HostNotFound = 2,
  NoIpv4Address = 3,
  LookupTimedOut = 4,  // no answer within the connect limit
  LookupFailed = 5,    // the resolver itself failed
};
// The log line that explains a failed lookup; empty for other codes.
std::string tcpConnectFailureReason(int32_t code);

// What the channels tell, in the order it happened.
class LinkEventSink {
 public:
  virtual ~LinkEventSink() = default;
  // A TCP connect ended: failedFlag 0 up, 1 not up (errorCode a TcpConnectFailure).
  virtual void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) = 0;
  virtual void onTcpReceive(const uint8_t* block, int32_t count) = 0;
  // The peer or the network ended the connection (errorCode 0: an orderly close).
  virtual void onTcpClose(int32_t errorCode) = 0;
  virtual void onSerialByte(uint8_t byte) = 0;
  // The serial device went away.
  virtual void onSerialLost(std::error_code reason) = 0;
  // Comes before the bytes of a receive notification: when they were read
  // off the link (steady clock, microseconds).
  virtual void onArrival(uint64_t steadyUs) { (void)steadyUs; }
};

// What every transport does.
class Channel {
 public:
  virtual ~Channel() = default;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // True only when every byte went out.
  virtual bool send(const uint8_t* data, int32_t length) = 0;
};

class SerialLink : public Channel {
 public:
  // Opens the port; on failure the operating system's reason is in error.
  virtual bool open(const std::string& path, const SerialSettings& settings, std::error_code& error) = 0;
  // Why the device went away, as soon as the channel has seen it (its reader
  // or a failed write), which can be before its notification is handled;
  // empty while the device is there and once the port is closed.
  virtual std::error_code lostReason() const = 0;
  // The device paths that can be opened now.
  virtual std::vector<std::string> listPorts() = 0;
  // What the system can tell about why path did not open with error (the
  // port doctor's lines); none where it cannot tell.
  virtual std::vector<std::string> openFailureNotes(const std::string& path, const std::error_code& error) {
    (void)path, (void)error;
    return {};
  }
};

class TcpLink : public Channel {
 public:
  // Connects within the connect limit. A host name is looked up first, off
  // the UI thread and within the same limit (Pending).
  virtual TcpConnectStart open(const std::string& host, int32_t port) = 0;
  // Why the latest connect to a resolved address failed, as the system said;
  // empty when it did not fail there (or the transport cannot tell).
  virtual std::error_code connectError() const { return {}; }
};

}  // namespace velmora
