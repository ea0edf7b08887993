// The two halves of the device link meet here. The connection page owns the
// channels and offers DeviceLink; the transfer panel owns the receive path
// and the transfers and offers LinkReceiver. Each holds a non-owning pointer
// to the other, set once at start-up.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class LinkReceiver {
 public:
  virtual ~LinkReceiver() = default;
  // One received byte, in arrival order, on the UI thread.
  virtual void receiveByte(uint8_t byte) = 0;
  // When the bytes that follow were read off the link, on the time host's
  // microsecond tick; a receiver that paces by its answers overrides this.
  virtual void noteArrival(uint64_t tickUs) { (void)tickUs; }
  // Every link change: connected or not, and the status text to show. Not
  // connected ends a running transfer: no answer can come any more.
  virtual void setLinkState(bool connected, const std::string& statusText) = 0;
};

class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  // The single send path: true only when every byte went out on the open channel.
  virtual bool sendBytes(const uint8_t* data, int32_t length) = 0;
  // The device address box, trimmed, read as decimal, low 8 bits.
  virtual uint8_t addressBoxValue() const = 0;
  // A valid address report arrived: addressText goes into the address box,
  // messageText into the address message box (when those exist).
  virtual void showAddressReport(const std::string& addressText, const std::string& messageText) = 0;
};

}  // namespace velmora
