// What velmora-cli needs from the platform it runs on, and nothing else:
// the event loop, a device link's channels, numbered timers with the clock,
// Ctrl-C, the scan's datagram socket and a few facts about the process.
// Every command's logic is written against this; the Qt host is one
// implementation, main() picks it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_session.h"
#include "link/channel.h"
#include "link/serial_ports.h"

namespace velmora::cli {

// The two channels of one device link; what they report goes to the sink,
// on the loop, in order. What a closed link left queued goes nowhere.
class SessionChannels {
 public:
  virtual ~SessionChannels() = default;
  virtual SerialLink& serial() = 0;
  virtual TcpLink& tcp() = 0;
  // Where notifications go from now on; null: nowhere.
  virtual void setSink(LinkEventSink* sink) = 0;
};

// The scan's socket: every reply's sender and payload handed to the
// callback on the loop.
class ScanSocket {
 public:
  virtual ~ScanSocket() = default;
  // One datagram to an IPv4 address; false when it could not be sent.
  virtual bool sendTo(const uint8_t* data, int32_t length, const std::string& ipv4, uint16_t port) = 0;
  // Takes the replies already read, then closes.
  virtual void close() = 0;
};

// Ctrl-C heard while the object lives; the default comes back when it goes.
class InterruptWatch {
 public:
  virtual ~InterruptWatch() = default;
  virtual bool interrupted() const = 0;
};

class CliHost {
 public:
  using Line = std::function<void(const std::string&)>;
  using Fired = std::function<void(int id)>;

  virtual ~CliHost() = default;

  // Real time and numbered timers for one owner: each expiry goes to fired
  // on the loop; errorLine empty drops standard error's lines.
  virtual std::unique_ptr<CliPlatform> makeTimers(Line errorLine, Fired fired) = 0;
  // A device link's channels. asyncConnect: a TCP connect runs on the loop
  // (many links at once) instead of blocking for its answer.
  virtual std::unique_ptr<SessionChannels> makeChannels(bool asyncConnect) = 0;

  // Handles events until done() holds (asked after each one). Something
  // must be pending (a timer, a channel) while it does not.
  virtual void runUntil(const std::function<bool()>& done) = 0;
  // Runs fn on the loop soon, never from inside post().
  virtual void post(std::function<void()> fn) = 0;
  // handler runs on the loop at each Ctrl-C while the watch lives.
  virtual std::unique_ptr<InterruptWatch> watchInterrupt(std::function<void()> handler) = 0;

  // The first IPv4 address of host within the connect limit, or none and why.
  virtual std::optional<std::string> lookUpIpv4(const std::string& host, TcpConnectFailure& failure) = 0;
  // The scan's socket, or null when it could not be opened.
  virtual std::unique_ptr<ScanSocket> openScanSocket(
      std::function<void(const uint8_t* block, int32_t size)> replyBlock) = 0;

  // This platform's serial ports, as the port list and the doctor see them.
  virtual std::unique_ptr<SerialPortSystem> serialPorts() = 0;

  // Whether a file could be created at path now (its folder exists and may
  // be written, and path is no folder).
  virtual bool canCreateFile(const std::string& path) = 0;
  // Standard error is a terminal (a progress bar is drawn there).
  virtual bool errorIsTerminal() = 0;
  // The resident memory in kB, -1 when the system does not say.
  virtual long residentKb() = 0;
  // Room for this many connections at once, where the system limits it.
  virtual void reserveConnections(int count) = 0;
};

}  // namespace velmora::cli
