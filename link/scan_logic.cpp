#include "link/scan_logic.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"

namespace velmora {

std::vector<uint8_t> buildScanReplyBlock(const std::string& senderAddress, const uint8_t* payload, int32_t length) {
  if (payload == nullptr || length < 0) length = 0;
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(length) + senderAddress.size() + 5);
  const uint32_t n = static_cast<uint32_t>(length);
  for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<uint8_t>(n >> shift));
  block.insert(block.end(), senderAddress.begin(), senderAddress.end());
  block.push_back(0);
  if (length > 0) block.insert(block.end(), payload, payload + length);
  return block;
}

std::optional<std::string> scanReplyEntry(const uint8_t* block, int32_t size) {
  if (block == nullptr || size <= 4) return std::nullopt;
  const uint8_t* text = block + 4;
  // Never read past the block, even when its terminator is missing.
  const uint8_t* end = std::find(text, block + size, uint8_t{0});
  if (end == text) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(end - text));
}

std::vector<std::string> scanDestinations(const std::string& targetHost, const InterfaceSource& interfaces) {
  if (!targetHost.empty()) return {targetHost};
  std::vector<std::string> out{kScanBroadcast};
  if (!interfaces) return out;
  for (const NetInterface& i : interfaces()) {
    if (!i.up || i.loopback) continue;
    for (uint32_t b : i.broadcasts) {
      if (b == 0) continue;  // no broadcast address at all
      const std::string text = dottedAddress(b);
      if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
    }
  }
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

bool FoundDevices::add(const std::string& entry) {
  for (const std::string& e : entries_)
    if (equalsIgnoringCase(e, entry)) return false;
  entries_.push_back(entry);
  return true;
}

}  // namespace velmora
