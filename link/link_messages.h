// The notifications the channels post to their owner. The values are the
// window-message numbers the device link has always used above WM_USER; the
// Qt side turns each into its own event type (QEvent::User + value).
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int32_t WM_LINK_TCP_CONNECT = 0x464;  // failed flag, socket error code
inline constexpr int32_t WM_LINK_TCP_RECEIVE = 0x465;  // one block of 1..2048 bytes
inline constexpr int32_t WM_LINK_TCP_CLOSE = 0x466;    // socket error code or 0
inline constexpr int32_t WM_LINK_SERIAL_BYTE = 0x46E;  // one received byte
inline constexpr int32_t WM_LINK_SERIAL_LOST = 0x46F;  // the device went away: errno
inline constexpr int32_t WM_SCAN_REPLY = 0xBD0;        // one scan reply block

// The largest block one TCP receive notification carries.
inline constexpr int32_t kTcpReceiveBlock = 2048;
// The serial reader asks for at most this many bytes per read.
inline constexpr int32_t kSerialReadChunk = 1024;

}  // namespace velmora
