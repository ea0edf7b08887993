// The decoder over the wire bytes of every frame kind and the ways bytes fail
// to be one; the engine's reports of what it cut out and threw away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/frame_trace.h"
#include "protocol/transfer_engine.h"
#include "tests/protocol/transfer_fakes.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
template <typename A>
Bytes bytesOf(const A& a) { return Bytes(a.begin(), a.end()); }

Bytes corrupt(const Bytes& b) {
  Bytes bad = b;
  bad[bad.size() - 1] = static_cast<uint8_t>(bad[bad.size() - 1] ^ 0x01);
  return bad;
}

struct Row {
  const char* name;
  FrameDirection direction;
  Bytes bytes;
  const char* zh;
  const char* en;
};
}  // namespace

TEST(FrameTrace, EveryKindAndEveryReasonBytesFormedNoFrame) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  const Bytes emptyWrite = buildWritePacket(1, 0, 1, envelope.data(), 8).frame;
  const Bytes big = patternBytes(2056);
  const Bytes lastWrite = buildWritePacket(1, 41, 42, big.data(), 2056).frame;
  const auto S = FrameDirection::Sent;
  const auto R = FrameDirection::Received;
  const std::vector<Row> rows = {
      {"preamble", S, bytesOf(buildTransferPreamble()), "传输前导", "transfer preamble"},
      {"request 0", S, {0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C}, "读取请求：包 0", "read request: packet 0"},
      {"request 1", S, {0x01, 0x69, 0x00, 0x32, 0x00, 0x01, 0x3D, 0xCC}, "读取请求：包 1", "read request: packet 1"},
      {"query", S, bytesOf(buildAddressQuery()), "地址查询", "address query"},
      {"change", S, {0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x05, 0x90}, "修改地址：5", "address change to 5"},
      {"write empty", S, emptyWrite, "写入数据包：包 0/1，8 字节", "write packet 0 of 1, 8 data bytes"},
      {"write last", S, lastWrite, "写入数据包：包 41/42，6 字节", "write packet 41 of 42, 6 data bytes"},
      {"request bad crc", S, corrupt(bytesOf(buildReadRequest(1, 0))), "未知报文，8 字节", "unknown, 8 bytes"},
      {"write bad crc", S, corrupt(emptyWrite), "未知报文，21 字节", "unknown, 21 bytes"},
      {"response", R, {0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79},
       "数据响应：包 0/1，8 字节", "data response: packet 0 of 1, 8 data bytes"},
      {"response 3/42", R, dataResponse(1, 3, 42, patternBytes(50)), "数据响应：包 3/42，50 字节",
       "data response: packet 3 of 42, 50 data bytes"},
      {"ack", R, {0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C}, "写入确认：包 0", "acknowledgement of packet 0"},
      {"report", R, {0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67}, "地址报告：5", "address report: 5"},
      // Cut out of a longer buffer, but no frame alone: byte count 1.
      {"short", R, withCrc({0x01, 0x69, 0x01, 0x00}), "丢弃 6 字节：帧长度无效", "dropped 6 bytes: invalid frame length"},
      {"response bad crc", R, corrupt(dataResponse(1, 0, 1, envelope)), "丢弃 17 字节：校验错误",
       "dropped 17 bytes: CRC mismatch"},
      {"ack bad crc", R, corrupt(writeAck(1, 0)), "丢弃 8 字节：校验错误", "dropped 8 bytes: CRC mismatch"},
      {"report bad sum", R, {0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x68}, "丢弃 8 字节：校验错误",
       "dropped 8 bytes: CRC mismatch"},
      {"other device", R, writeAck(2, 0), "丢弃 8 字节：地址不符", "dropped 8 bytes: other device address"},
  };
  for (const Row& r : rows) {
    const FrameInfo info = describeFrame(r.direction, r.bytes.data(), static_cast<int32_t>(r.bytes.size()), 1);
    const auto n = static_cast<int32_t>(r.bytes.size());
    EXPECT_EQ(frameMeaningZh(info, n), r.zh) << r.name;
    EXPECT_EQ(frameMeaningEn(info, n), r.en) << r.name;
  }
  // Dropped runs name their cause unless the bytes say more.
  const Bytes seven{0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC};
  const struct {
    DropCause cause;
    const char* en;
  } causes[] = {{DropCause::Gap, "dropped 7 bytes: gap over 200 ms"},
                {DropCause::Overflow, "dropped 7 bytes: buffer overflow"},
                {DropCause::LinkClosed, "dropped 7 bytes: link closed"},
                {DropCause::TransferStart, "dropped 7 bytes: transfer start"}};
  for (const auto& c : causes) EXPECT_EQ(frameMeaningEn(describeDropped(seven.data(), 7, 1, c.cause), 7), c.en);
  EXPECT_EQ(frameMeaningZh(describeDropped(seven.data(), 7, 1, DropCause::Gap), 7), "丢弃 7 字节：间隔超过 200 ms");
}

namespace {
struct Recorder : FrameObserver {
  std::vector<std::string> lines;
  void onFrame(FrameDirection d, uint64_t, const uint8_t*, int32_t n, const FrameInfo& info) override {
    lines.push_back(std::string(d == FrameDirection::Sent ? "-> " : "<- ") + frameMeaningEn(info, n));
  }
};
}  // namespace

TEST(FrameTrace, EngineReportsFramesAndEveryRunItThrowsAway) {
  RecordingSide side;
  TransferEngine engine{side, &side};
  side.engine = &engine;
  Recorder recorder;
  engine.setFrameObserver(&recorder);
  engine.setConnectionPage(&side);
  engine.setLinkState(true, "");
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  side.feed(corrupt(writeAck(1, 0)));
  side.feed({0x01}, 201);  // the pause ends the bad acknowledgement
  side.feed(Bytes(1024, 0x00));
  // A byte count of 1 is cut out of a longer buffer, then refused alone.
  Bytes shortThenMore = withCrc({0x01, 0x69, 0x01, 0x00});
  shortThenMore.insert(shortThenMore.end(), {0x01, 0x69});
  side.feed(shortThenMore);
  engine.setLinkState(false, "");
  EXPECT_EQ(recorder.lines, (std::vector<std::string>{
                                "<- address report: 5",
                                "<- dropped 8 bytes: CRC mismatch",
                                "<- dropped 1025 bytes: buffer overflow",
                                "<- dropped 6 bytes: invalid frame length",
                                "<- dropped 2 bytes: link closed",
                            }));
}
