// The device scan apart from its socket: the probe, the reply block that
// travels from the socket to the dialog, and the list of hosts found.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

namespace scan_id {
inline constexpr int kDeviceList = 2030;
inline constexpr int kScanButton = 2032;
inline constexpr int kOkButton = 1;
}  // namespace scan_id

// "RAZ", no terminator.
inline constexpr std::array<uint8_t, 3> kScanProbe = {0x52, 0x41, 0x5A};
inline constexpr uint16_t kScanPort = 988;
// Replies longer than this are dropped.
inline constexpr int32_t kScanMaxReply = 1023;
// The limited broadcast: reaches the LAN only where a route covers it.
inline constexpr const char* kScanBroadcast = "255.255.255.255";

// A network interface as the scan needs to know it.
struct NetInterface {
  std::string name;
  bool up = false;
  bool loopback = false;
  // IPv4 broadcast addresses of the interface, host byte order; empty when
  // it has none (point-to-point links, IPv6 only).
  std::vector<uint32_t> broadcasts;
};
// The interfaces of the machine; the window asks the system, tests give a table.
using InterfaceSource = std::function<std::vector<NetInterface>()>;

// Where one probe goes. A target host given by the caller is the only
// destination, and the interfaces are then not asked for at all. Without one:
// the limited broadcast, then the broadcast address of every up, non-loopback
// interface (a laptop cabled straight to a device has no route for the
// limited broadcast), each address once, as dotted text.
std::vector<std::string> scanDestinations(const std::string& targetHost, const InterfaceSource& interfaces);

// The reply block: payload length (signed 32-bit, little-endian), the
// sender's address text, a 0, then the payload. n + k + 5 bytes.
std::vector<uint8_t> buildScanReplyBlock(const std::string& senderAddress, const uint8_t* payload, int32_t length);

// The entry a reply block stands for: the text at offset 4 up to its 0 (or
// the block's end). Nothing for a missing block, one of 4 bytes or less, or
// an empty text.
std::optional<std::string> scanReplyEntry(const uint8_t* block, int32_t size);

// The hosts already listed, in arrival order, compared without regard to
// letter case.
class FoundDevices {
 public:
  // True when entry is new (and now remembered).
  bool add(const std::string& entry);
  void clear() { entries_.clear(); }
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// ASCII letters folded; other bytes (UTF-8 included) compared as they are.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace velmora
