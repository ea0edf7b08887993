// The capture file Wireshark reads (classic libpcap) for the frames on the
// link: link type DLT_USER0, which the dissector in res/wireshark claims,
// and a one-byte direction header before each frame.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/frame_trace.h"

namespace velmora {

inline constexpr uint32_t kPcapLinkType = 147;  // DLT_USER0
inline constexpr uint8_t kPcapSentByTool = 0;
inline constexpr uint8_t kPcapReceived = 1;

// The 24-byte global header, in the host's byte order (readers tell it by
// the magic number).
std::string pcapFileHeader();
// One record: wall-clock time stamp (epoch µs), direction byte, the frame.
std::string pcapRecord(uint64_t epochUs, FrameDirection direction, const uint8_t* bytes, int32_t length);

}  // namespace velmora
