// The device scan apart from its socket: the probe, the reply block that
// travels from the socket to the dialog, and the list of hosts found.
#pragma once

#include <array>
#include <cstdint>
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
