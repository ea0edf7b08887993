// What each frame on the link means, for the traffic monitor and the trace
// of velmora-cli. The decoder leans on the frame code itself (checkFrame,
// the builders, the parsers), so the monitor can never disagree with what
// the transfers made of the same bytes.
//
// A FrameObserver hears every frame the one send path put on the link,
// every frame the receive assembly cut out, and every run of received bytes
// it threw away. Senders hold a plain pointer; null costs one test.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

enum class FrameDirection { Sent, Received };

enum class FrameKind {
  Preamble,
  ReadRequest,
  DataResponse,
  WritePacket,
  WriteAck,
  AddressQuery,
  AddressChange,
  AddressReport,
  Unknown,  // sent bytes that are none of the tool's frames
  Dropped,  // received bytes that formed no frame
};

// Why the receive assembly threw bytes away.
enum class DropCause {
  None,
  Gap,            // a pause over 200 ms ended them
  Overflow,       // more than 1024 bytes without a frame
  Rejected,       // cut out, but no frame on its own (byte count below 3)
  LinkClosed,     // the link went down under them
  TransferStart,  // a transfer started and emptied the buffer
};

struct FrameInfo {
  FrameKind kind = FrameKind::Unknown;
  int packet = 0;     // read request, data response, write packet, acknowledgement
  int total = 0;      // data response, write packet
  int dataBytes = 0;  // data response, write packet
  int address = 0;    // address change (the new one) and report
  DropCause cause = DropCause::None;
  // Dropped bytes whose head has a frame's shape and length but a wrong
  // check (CRC, or the address report's sum): the likely reason they stayed.
  bool checkFailed = false;
  // Dropped bytes that would have been a frame for another device address.
  bool otherAddress = false;
};

// A frame the tool sent, or one the receive assembly cut out for address.
FrameInfo describeFrame(FrameDirection direction, const uint8_t* bytes, int32_t length, uint8_t address);
// A received frame that checkFrame has just accepted at exactly this length
// (the receive assembly's case): described without checking it once more.
FrameInfo describeRecognised(const uint8_t* bytes, int32_t length);
// Received bytes thrown away for cause; address is the one frames must carry.
FrameInfo describeDropped(const uint8_t* bytes, int32_t length, uint8_t address, DropCause cause);

// The window's text ("读取请求：包 3") and velmora-cli's ("read request: packet 3").
std::string frameMeaningZh(const FrameInfo& info, int32_t length);
std::string frameMeaningEn(const FrameInfo& info, int32_t length);

class FrameObserver {
 public:
  virtual ~FrameObserver() = default;
  // timeUs is the sender's monotonic tick; only differences mean anything.
  virtual void onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
                       const FrameInfo& info) = 0;
};

}  // namespace velmora
