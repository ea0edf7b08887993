#include "protocol/pcap_format.h"

namespace velmora {

namespace {
template <typename T>
void put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
}  // namespace

std::string pcapFileHeader() {
  std::string out;
  put<uint32_t>(out, 0xA1B2C3D4);
  put<uint16_t>(out, 2);  // version 2.4
  put<uint16_t>(out, 4);
  put<int32_t>(out, 0);   // time zone: stamps are UTC
  put<uint32_t>(out, 0);  // accuracy
  put<uint32_t>(out, 65535);
  put<uint32_t>(out, kPcapLinkType);
  return out;
}

std::string pcapRecord(uint64_t epochUs, FrameDirection direction, const uint8_t* bytes, int32_t length) {
  std::string out;
  const int32_t n = (bytes != nullptr && length > 0) ? length : 0;
  const auto size = static_cast<uint32_t>(n) + 1;
  put<uint32_t>(out, static_cast<uint32_t>(epochUs / 1000000));
  put<uint32_t>(out, static_cast<uint32_t>(epochUs % 1000000));
  put<uint32_t>(out, size);
  put<uint32_t>(out, size);
  out.push_back(static_cast<char>(direction == FrameDirection::Sent ? kPcapSentByTool : kPcapReceived));
  if (n > 0) out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
  return out;
}

}  // namespace velmora
