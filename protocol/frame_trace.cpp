#include "protocol/frame_trace.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "base/tr_text.h"
#include "protocol/frames.h"

namespace velmora {

namespace {

template <size_t N>
bool same(const uint8_t* bytes, int32_t length, const std::array<uint8_t, N>& frame) {
  return length == static_cast<int32_t>(N) && std::memcmp(bytes, frame.data(), N) == 0;
}

uint16_t storedCrc(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

FrameInfo describeSent(const uint8_t* b, int32_t length) {
  FrameInfo info;
  if (same(b, length, buildTransferPreamble())) {
    info.kind = FrameKind::Preamble;
  } else if (same(b, length, buildAddressQuery())) {
    info.kind = FrameKind::AddressQuery;
  } else if (length == 8 && b[6] >= 1 && same(b, length, buildAddressChange(b[6]))) {
    info.kind = FrameKind::AddressChange;
    info.address = b[6];
  } else if (length == 8 && same(b, length, buildReadRequest(b[0], static_cast<uint16_t>(b[4] << 8 | b[5])))) {
    info.kind = FrameKind::ReadRequest;
    info.packet = b[4] << 8 | b[5];
  } else if (length >= 13 && b[1] == kFunctionWrite && b[6] >= 4 && length == b[6] - 4 + 13 &&
             crc16(b, static_cast<uint16_t>(length - 2)) == storedCrc(b + length - 2)) {
    // The layout buildWritePacket writes: byte 6 is payload + 4, the packet
    // number at 4..5, the total at 9..10, the CRC last.
    info.kind = FrameKind::WritePacket;
    info.packet = b[4] << 8 | b[5];
    info.total = b[9] << 8 | b[10];
    info.dataBytes = b[6] - 4;
  }
  return info;
}

FrameInfo describeReceived(const uint8_t* b, int32_t length, uint8_t address) {
  if (checkFrame(b, length, address) != length) return describeDropped(b, length, address, DropCause::Rejected);
  return describeRecognised(b, length);
}

}  // namespace

FrameInfo describeRecognised(const uint8_t* b, int32_t length) {
  FrameInfo info;
  // Shorter than 8 bytes is only ever accepted inside a longer buffer; alone
  // it is no frame (as describeReceived and the dispatch judge it).
  if (b == nullptr || length < 8) return describeDropped(b, length, 0, DropCause::Rejected);
  if (b[0] == kAddressReportHead && b[2] == kAddressCommand) {
    info.kind = FrameKind::AddressReport;
    info.address = b[1];
  } else if (b[1] == kFunctionRead && b[2] >= 4 && length >= b[2] + 5) {
    // parseDataResponse's reading, without copying the data out.
    info.kind = FrameKind::DataResponse;
    info.packet = b[3] << 8 | b[4];
    info.total = b[5] << 8 | b[6];
    info.dataBytes = b[2] - 4;
  } else if (const auto ack = parseWriteAck(b, length)) {
    info.kind = FrameKind::WriteAck;
    info.packet = *ack;
  } else {
    info.kind = FrameKind::DataResponse;  // a valid 0x69 frame too short to carry packet numbers
  }
  return info;
}

FrameInfo describeFrame(FrameDirection direction, const uint8_t* bytes, int32_t length, uint8_t address) {
  if (bytes == nullptr || length <= 0) return describeDropped(bytes, 0, address, DropCause::Rejected);
  return direction == FrameDirection::Sent ? describeSent(bytes, length) : describeReceived(bytes, length, address);
}

FrameInfo describeDropped(const uint8_t* b, int32_t length, uint8_t address, DropCause cause) {
  FrameInfo info;
  info.kind = FrameKind::Dropped;
  info.cause = cause;
  if (b == nullptr || length < 8) return info;
  // What the recogniser would have said had the check been right: the same
  // head with its own address, and with the length a frame of that head has.
  const bool report = b[0] == kAddressReportHead && b[2] == kAddressCommand;
  int frameLength = 0;
  if (report) frameLength = 8;
  else if (b[1] == kFunctionRead) frameLength = b[2] + 5;
  else if (b[1] == kFunctionWrite) frameLength = 8;
  if (frameLength < 8 || frameLength > length) return info;
  if (!report && b[0] != address && checkFrame(b, frameLength, b[0]) == frameLength) info.otherAddress = true;
  else if (checkFrame(b, frameLength, b[0]) == 0) info.checkFailed = true;
  return info;
}

static const char* causeZh(DropCause cause) {
  switch (cause) {
    case DropCause::Gap:
      return trText("FrameTrace", "间隔超过 200 ms");
    case DropCause::Overflow:
      return trText("FrameTrace", "缓冲区溢出");
    case DropCause::Rejected:
      return trText("FrameTrace", "帧长度无效");
    case DropCause::LinkClosed:
      return trText("FrameTrace", "连接断开");
    case DropCause::TransferStart:
      return trText("FrameTrace", "开始传输");
    case DropCause::None: break;
  }
  return trText("FrameTrace", "未成帧");
}

static const char* causeEn(DropCause cause) {
  switch (cause) {
    case DropCause::Gap: return "gap over 200 ms";
    case DropCause::Overflow: return "buffer overflow";
    case DropCause::Rejected: return "invalid frame length";
    case DropCause::LinkClosed: return "link closed";
    case DropCause::TransferStart: return "transfer start";
    case DropCause::None: break;
  }
  return "no frame";
}

std::string frameMeaningZh(const FrameInfo& i, int32_t length) {
  switch (i.kind) {
    case FrameKind::Preamble:
      return trText("FrameTrace", "传输前导");
    case FrameKind::ReadRequest:
      return strprintf(trText("FrameTrace", "读取请求：包 %d"), i.packet);
    case FrameKind::DataResponse:
      return strprintf(trText("FrameTrace", "数据响应：包 %d/%d，%d 字节"), i.packet, i.total, i.dataBytes);
    case FrameKind::WritePacket:
      return strprintf(trText("FrameTrace", "写入数据包：包 %d/%d，%d 字节"), i.packet, i.total, i.dataBytes);
    case FrameKind::WriteAck:
      return strprintf(trText("FrameTrace", "写入确认：包 %d"), i.packet);
    case FrameKind::AddressQuery:
      return trText("FrameTrace", "地址查询");
    case FrameKind::AddressChange:
      return strprintf(trText("FrameTrace", "修改地址：%d"), i.address);
    case FrameKind::AddressReport:
      return strprintf(trText("FrameTrace", "地址报告：%d"), i.address);
    case FrameKind::Unknown:
      return strprintf(trText("FrameTrace", "未知报文，%d 字节"), length);
    case FrameKind::Dropped: {
      const char* why = i.checkFailed    ? trText("FrameTrace", "校验错误")
                        : i.otherAddress ? trText("FrameTrace", "地址不符")
                                         : causeZh(i.cause);
      return strprintf(trText("FrameTrace", "丢弃 %d 字节：%s"), length, why);
    }
  }
  return {};
}

std::string frameMeaningEn(const FrameInfo& i, int32_t length) {
  switch (i.kind) {
    case FrameKind::Preamble: return "transfer preamble";
    case FrameKind::ReadRequest: return strprintf("read request: packet %d", i.packet);
    case FrameKind::DataResponse:
      return strprintf("data response: packet %d of %d, %d data bytes", i.packet, i.total, i.dataBytes);
    case FrameKind::WritePacket:
      return strprintf("write packet %d of %d, %d data bytes", i.packet, i.total, i.dataBytes);
    case FrameKind::WriteAck: return strprintf("acknowledgement of packet %d", i.packet);
    case FrameKind::AddressQuery: return "address query";
    case FrameKind::AddressChange: return strprintf("address change to %d", i.address);
    case FrameKind::AddressReport: return strprintf("address report: %d", i.address);
    case FrameKind::Unknown: return strprintf("unknown, %d bytes", length);
    case FrameKind::Dropped: {
      const char* why = i.checkFailed ? "CRC mismatch" : i.otherAddress ? "other device address" : causeEn(i.cause);
      return strprintf("dropped %d bytes: %s", length, why);
    }
  }
  return {};
}

}  // namespace velmora
