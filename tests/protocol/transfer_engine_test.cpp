// The engine's rules, each once; tests/cli/cli_session_test keeps only what the session adds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/transfer_engine.h"
#include "tests/protocol/transfer_fakes.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

template <typename A>
Bytes bytesOf(const A& a) { return Bytes(a.begin(), a.end()); }
const Bytes kPreamble = bytesOf(buildTransferPreamble());
Bytes req(uint8_t address, uint16_t packet) { return bytesOf(buildReadRequest(address, packet)); }

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    side.engine = &engine;
    engine.setConnectionPage(&side);
    engine.setMainWindow(&side);
    engine.setTransferEnded([this](const TransferOutcome& o) {
      static const char* const kResults[] = {"done", "header-error", "timed-out", "send-failed", "refused", "link-lost"};
      outcomes.push_back(std::string(o.kind == TransferKind::Read ? "read " : "write ") +
                         kResults[static_cast<int>(o.result)] + ": " + o.text);
    });
  }
  void connect() { engine.setLinkState(true, "TCP已连接：127.0.0.1:6000"), side.clear(); }
  const TransferEngine::Fields& f() const { return engine.fields(); }

  RecordingSide side;
  TransferEngine engine{side, &side};
  Lines outcomes;  // "read done: 读取完成", one per ended or refused transfer
};

}  // namespace

// The strip's texts and buttons around a loss are e2e FaultWindowTest's.
TEST_F(EngineTest, LinkLossEndsARunningTransferAtOnce) {
  connect();
  engine.startRead();
  side.feed({0x01, 0x69, 0x10});
  side.clear();
  engine.setLinkState(false, "串口已断开");
  EXPECT_TRUE(f().receiveBuffer.empty()) << "no bytes of the closed link are kept";
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);
  EXPECT_EQ(side.logs, Lines{"读取配置中断，连接已断开"});
  // A request that failed as the link went left its watchdog armed: the loss stops it, no time-out follows.
  connect();
  side.failingSends = {side.sendAttempts + 1};  // the request after the preamble
  engine.startRead();
  side.clear();
  engine.setLinkState(false, "串口已断开");
  side.advance(2 * kWatchdogMs);
  EXPECT_EQ(side.logs, Lines{"读取配置中断，连接已断开"});
  side.clear();
  engine.setLinkState(false, "已关闭串口");  // idle: only the link changes
  EXPECT_TRUE(side.logs.empty() && side.states.empty());
  EXPECT_EQ(outcomes, (Lines{"read link-lost: 读取配置中断，连接已断开", "read send-failed: 发送读取配置请求失败"}));
}

TEST_F(EngineTest, RefusedCommandsShowABoxAndLeaveTheRunningTransferAlone) {
  engine.startRead();
  engine.startWrite();
  EXPECT_EQ(side.boxes, (Lines{"请先连接设备", "请先连接设备"}));
  EXPECT_EQ(outcomes, (Lines{"read refused: 请先连接设备", "write refused: 请先连接设备"}));
  EXPECT_TRUE(side.sent.empty());
  EXPECT_EQ(side.expiry(kReadTimerId) + side.expiry(kWriteTimerId), 0u);

  connect();
  side.image = patternBytes(2049);  // 2048 goes: TheLargestImageGoesIn42Packets
  engine.startWrite();
  EXPECT_EQ(side.boxes.back(), "要发送的数据长度无效");
  EXPECT_TRUE(side.sent.empty() && side.states.empty());
  // During a write, a read and a restart (new address, image too long) are refused; the write goes on.
  side.image = patternBytes(43);
  engine.startWrite();
  side.addressBox = 9;
  engine.startRead();
  EXPECT_EQ(side.boxes.back(), "正在执行其他操作，请稍后");
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);
  side.image = patternBytes(3000);
  engine.startWrite();
  EXPECT_EQ(side.sent.size(), 2u);
  for (int p : {0, 1}) side.feed(writeAck(1, p));
  EXPECT_EQ(side.logs.back(), "下发配置完成");
  // During a read a write is refused before the page is gathered.
  engine.startRead();
  const int gathers = side.gathers;
  engine.startWrite();
  EXPECT_EQ(side.gathers, gathers);
  EXPECT_EQ(f().operationState, kReading);
  engine.onTimer(kReadTimerId);
  engine.setMainWindow(nullptr);
  engine.startWrite();
  EXPECT_EQ(side.boxes.back(), "未找到主窗口");
  EXPECT_EQ(side.boxes.size(), 5u) << "one for each refusal since connect()";
}

// Idle, so every frame that is no address report is logged as unknown.
TEST_F(EngineTest, ReceiveAssemblyCutsFramesOutOfTheByteStream) {
  const Bytes ack = writeAck(1, 0);
  const Bytes first = dataResponse(1, 0, 1, {0xAA, 0xBB}), second = dataResponse(1, 3, 4, {0x10, 0x20, 0x30});
  // A data response with a byte count below 4 is cut out of 8 bytes but fails the dispatch.
  auto shortResponse = [](uint8_t count) {
    Bytes f = withCrc(slice(Bytes{0x01, kFunctionRead, count, 0x40, 0x41}, 0, 3u + count));
    f.resize(8, 0xEE);
    return f;
  };
  const std::string ackLine = "收到未知响应: 01 6C 00 32 00 00 30 0C …… 长度 8";
  // Pieces are bytes and the gap before each of them; left is what stays in the buffer.
  const struct { const char* name; std::vector<std::pair<Bytes, uint64_t>> pieces; Lines logs; size_t left; } cases[] = {
      {"gaps of exactly 200 keep a frame", {{slice(ack, 0, 4), 1}, {slice(ack, 4, 4), 200}}, {ackLine}, 0},
      {"201 starts afresh", {{slice(ack, 0, 4), 1}, {slice(ack, 4, 4), 201}}, {}, 1},
      {"a stray byte in front holds a frame back", {{{0x00}, 1}, {ack, 1}}, {}, 9},
      {"... until a pause", {{{0x00}, 1}, {slice(ack, 0, 1), 201}, {slice(ack, 1, 7), 1}}, {ackLine}, 0},
      {"back to back, each on its own last byte", {{first, 1}, {second, 1}},
       {"收到未知响应: 01 69 06 00 00 00 01 AA …… 长度 11", "收到未知响应: 01 69 07 00 03 00 04 10 …… 长度 12"}, 0},
      {"1024 bytes are kept", {{Bytes(1024, 0x00), 1}}, {}, 1024},  // never a frame for device 1
      {"the 1025th empties the buffer", {{Bytes(1025, 0x00), 1}, {ack, 1}}, {"串口接收缓冲区溢出，已清空", ackLine}, 0},
      {"byte count 0", {{shortResponse(0), 1}}, {"接收到无效帧"}, 3},
      {"byte count 1", {{shortResponse(1), 1}}, {"接收到无效帧"}, 2},
      {"byte count 2", {{shortResponse(2), 1}}, {"接收到无效帧"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    side.now += 1000;
    side.logs.clear();
    for (const auto& [bytes, gap] : c.pieces) side.feed(bytes, gap);
    EXPECT_EQ(side.logs, c.logs);
    EXPECT_EQ(f().receiveBuffer.size(), c.left);
  }
  EXPECT_TRUE(side.loaded.empty()) << "a data response while idle loads nothing";

  // Without a log (as benchmarked) an overflow still empties the buffer and reports arrive.
  TransferEngine quiet{side};
  side.engine = &quiet;
  quiet.setConnectionPage(&side);
  side.feed(Bytes(1025, 0x00));
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.addressText, "005");
}

TEST_F(EngineTest, AddressReports) {
  const Bytes report5{0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67};
  side.feed(report5);
  EXPECT_EQ(side.logs, Lines{"读取设备地址成功: 05"});
  EXPECT_EQ(side.addressMessage, "08:07:06 收到地址更新：005");
  EXPECT_EQ(f().deviceAddress, 1) << "the transfers take the box's value when they start";
  side.now += 1000;
  side.feed({0x22, 0xC8, 0x40, 0x00, 0x00, 0x00, 0x00, 0x2A});
  EXPECT_EQ(side.logs.back(), "读取设备地址成功: C8");
  EXPECT_EQ(side.addressText, "200");

  // A report is no answer to a running transfer.
  connect();
  side.addressText.clear();
  engine.startRead();
  side.feed(report5);
  EXPECT_EQ(side.logs.back(), "无效的配置数据响应");
  engine.onTimer(kReadTimerId);
  engine.startWrite();
  side.feed(report5);
  EXPECT_EQ(side.logs.back(), "无效的写入确认包");
  // From device 0x6C the report has the acknowledgement's function byte as its address: no ack of packet 0.
  side.now += 1000;
  side.feed({0x22, 0x6C, 0x40, 0x00, 0x00, 0x00, 0x00, 0xCE});
  EXPECT_EQ(side.logs.back(), "无效的写入确认包");
  EXPECT_EQ(f().currentPacket, 0);
  EXPECT_TRUE(side.addressText.empty());

  // Without a connection page a report is only logged.
  engine.onTimer(kWriteTimerId);
  engine.setConnectionPage(nullptr);
  side.now += 1000;
  side.feed(report5);
  EXPECT_EQ(side.logs.back(), "读取设备地址成功: 05");
  EXPECT_TRUE(side.addressText.empty());
}

// Pressed again halfway: what the first press left (a packet counted, half a frame) must not leak.
TEST_F(EngineTest, ReadOfA56ByteEnvelopeInTwoPackets) {
  connect();
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  engine.startRead();
  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  side.feed({0x01, 0x69});
  side.clear();
  engine.startRead();
  // Each frame after its own 50 ms pause; the watchdog armed at the press, before both:
  EXPECT_EQ(side.io, (Lines{"wait 50", "send", "wait 50", "send"}));
  EXPECT_EQ(side.sent, (std::vector<Bytes>{kPreamble, req(1, 0)}));
  EXPECT_EQ(side.expiry(kReadTimerId) + 100, side.now + kWatchdogMs);
  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  EXPECT_EQ(side.expiry(kReadTimerId), side.now + kWatchdogMs) << "restarted after the request";
  side.feed(dataResponse(1, 1, 2, slice(envelope, 50, 6)));
  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求: 包 0", "总包数: 2", "收到配置数据包 1/2, 数据长度 50",
                              "发送读取配置请求: 包 1", "收到配置数据包 2/2, 数据长度 6", "读取配置完成，共 2 包，56 字节"}));
  EXPECT_EQ(side.progress, (std::vector<int>{-1, 0, 50, 100, 100}));
  EXPECT_EQ(side.loaded, std::vector<Bytes>{patternBytes(48)});
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);
}

// A read into another host leaves the main window alone; restarted by the
// button halfway, it reads into the main window again.
TEST_F(EngineTest, ReadIntoAnotherHostIsForThatTransferOnly) {
  connect();
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  for (bool restarted : {false, true}) {
    ImageBuffer scratch;
    side.clear();
    engine.startRead(&scratch);
    if (restarted) engine.startRead();
    side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
    side.feed(dataResponse(1, 1, 2, slice(envelope, 50, 6)));
    EXPECT_EQ(scratch.configImage(), restarted ? Bytes{} : patternBytes(48));
    EXPECT_EQ(side.loaded, restarted ? std::vector<Bytes>{patternBytes(48)} : std::vector<Bytes>{});
  }
}

TEST_F(EngineTest, PacingCountsFromTheAnswerNotFromTheEndOfOurOwnWork) {
  connect();
  side.progressCostMs = 20;
  engine.startRead();
  const Bytes envelope = buildEnvelope(patternBytes(120).data(), 120);  // three packets
  side.clear();
  side.feed(dataResponse(1, 0, 3, slice(envelope, 0, 50)));
  EXPECT_EQ(side.io, (Lines{"wait 10", "send"})) << "two progress updates took 40 of the 50 ms";
  side.progressCostMs = 60;  // work that outlasts the pause leaves nothing to wait
  side.clear();
  side.feed(dataResponse(1, 1, 3, slice(envelope, 50, 50)));
  EXPECT_EQ(side.io, Lines{"send"});
}

// A write's first pause counts from the press: the time the check of the
// image took is part of it, and a check that outlasts it (a question the
// user answered) leaves nothing to wait.
TEST_F(EngineTest, WritePacingCountsFromThePress) {
  uint64_t checkMs = 30;
  engine.setWriteApproval([&](const Bytes&) {
    side.now += checkMs;
    return true;
  });
  connect();
  side.image = patternBytes(43);
  side.clear();
  engine.startWrite();
  ASSERT_GE(side.io.size(), 2u);
  EXPECT_EQ((Lines{side.io[0], side.io[1]}), (Lines{"wait 20", "send"})) << "the preamble after 50 ms from the press";
  side.feed(writeAck(1, 0));
  side.feed(writeAck(1, 1));
  ASSERT_EQ(outcomes, Lines{"write done: 下发完成"});

  checkMs = 80;
  side.now += 100;
  side.clear();
  engine.startWrite();
  ASSERT_FALSE(side.io.empty());
  EXPECT_EQ(side.io[0], "send");
}

// The answer counts from when its bytes were read off the link, not from when
// the event loop handed them over; a stamp that cannot be theirs is passed over.
TEST_F(EngineTest, PacingCountsFromTheAnswersArrival) {
  connect();
  engine.startRead();
  const Bytes envelope = buildEnvelope(patternBytes(160).data(), 160);  // four packets
  const auto answerRead = [&](int packet, uint64_t stampUs) {
    side.clear();
    engine.noteArrival(stampUs);
    side.feed(dataResponse(1, static_cast<uint16_t>(packet), 4, slice(envelope, packet * 50, 50)), 0);
    return side.io;
  };
  EXPECT_EQ(answerRead(0, side.tickUs() - 15'000), (Lines{"wait 35", "send"}));
  EXPECT_EQ(answerRead(1, side.tickUs() + 1), (Lines{"wait 50", "send"})) << "from the future";
  EXPECT_EQ(answerRead(2, side.tickUs() - 200'000), (Lines{"wait 50", "send"})) << "older than a frame can be";
}

// Out of order or from another device: no request, no watchdog restart; time-out to the millisecond.
TEST_F(EngineTest, StrayAnswersChangeNothingAndTheTransferTimesOut) {
  connect();
  side.addressBox = 7;
  engine.startRead();
  EXPECT_EQ(side.sent.back(), req(7, 0)) << "the address is the box's at the press";
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));  // device 1 is not heard
  EXPECT_EQ(side.logs.back(), "发送读取配置请求: 包 0");
  side.now += 1000;
  const Bytes packet0 = dataResponse(7, 0, 2, slice(envelope, 0, 50));
  side.feed(packet0);
  const uint64_t expiry = side.expiry(kReadTimerId);
  const size_t sent = side.sent.size();
  side.feed(packet0);
  EXPECT_EQ(side.logs.back(), "收到乱序包: 期望 1, 实际 0");
  side.feed(dataResponse(7, 2, 3, {1, 2, 3}));
  EXPECT_EQ(side.logs.back(), "收到乱序包: 期望 1, 实际 2");
  EXPECT_EQ(f().transferLength, 50);
  EXPECT_EQ(side.sent.size(), sent);
  side.advance(expiry - side.now - 1);
  EXPECT_EQ(f().operationState, kReading);
  side.advance(1);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(side.states.back(), "空闲");
  EXPECT_TRUE(side.loaded.empty());

  side.addressBox = 1;
  side.image = patternBytes(43);
  engine.startWrite();
  side.feed(writeAck(1, 0));
  const uint64_t writeExpiry = side.expiry(kWriteTimerId);
  const size_t written = side.sent.size();
  side.now += 300;
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs.back(), "收到乱序确认: 期望 1, 实际 0");
  EXPECT_EQ(side.sent.size(), written);
  side.advance(writeExpiry - side.now);
  EXPECT_EQ(outcomes, (Lines{"read timed-out: 读取配置超时，复位", "write timed-out: 下发配置超时，复位"}));
}

// The image goes over whatever the envelope check says, but an unsound one is no plain success.
TEST_F(EngineTest, ReadsThatRunToTheirEnd) {
  connect();
  Bytes badCrc = buildEnvelope(patternBytes(16).data(), 16);
  badCrc[0] ^= 0xFF;
  // Nine packets of 251, one of 48: the ninth would make 2259 and is dropped; the tenth reaches exactly 2056.
  std::vector<Bytes> beyond;
  Bytes kept;
  for (int p = 0; p < 10; ++p) {
    const Bytes data = p < 9 ? patternBytes(251, static_cast<uint8_t>(p)) : patternBytes(48, 0x90);
    beyond.push_back(dataResponse(1, p, 10, data));
    if (p != 8) kept.insert(kept.end(), data.begin(), data.end());
  }
  Bytes fiftySix = patternBytes(50), six = patternBytes(6, 0x60);
  fiftySix.insert(fiftySix.end(), six.begin(), six.end());
  const struct {
    std::vector<Bytes> responses;
    size_t requests;
    std::vector<int> progress;
    const char* done;
    bool sound;
    Bytes image;
  } cases[] = {
      // The first parsed response names the progress's total; each one's own total decides whether more is asked.
      {{dataResponse(1, 1, 4, {9}), dataResponse(1, 0, 3, slice(fiftySix, 0, 50)), dataResponse(1, 1, 2, six)}, 2,
       {-1, 0, 25, 50, 100}, "读取配置完成，共 2 包，56 字节", false, slice(fiftySix, 8, 48)},
      // A total of 0 ends on the first packet.
      {{dataResponse(1, 0, 0, buildEnvelope(patternBytes(8).data(), 8))}, 1, {-1, 0, 0, 100},
       "读取配置完成，共 0 包，16 字节", true, patternBytes(8)},
      {{dataResponse(1, 0, 1, badCrc)}, 1, {-1, 0, 100, 100}, "读取配置完成，共 1 包，24 字节", false, patternBytes(16)},
      {{dataResponse(1, 0, 1, {1, 2, 3})}, 1, {-1, 0, 100, 100}, "读取配置完成，共 1 包，3 字节", false, {}},
      {{dataResponse(1, 0, 1, buildEnvelope(nullptr, 0))}, 1, {-1, 0, 100, 100}, "读取配置完成，共 1 包，8 字节", true, {}},
      {beyond, 10, {-1, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}, "读取配置完成，共 10 包，2056 字节", false,
       slice(kept, 8, 2048)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.done);
    side.clear();
    outcomes.clear();
    engine.startRead();
    for (const Bytes& r : c.responses) side.feed(r);
    EXPECT_EQ(side.progress, c.progress);
    EXPECT_EQ(Lines(side.logs.end() - (c.sound ? 1 : 2), side.logs.end()),
              (c.sound ? Lines{c.done} : Lines{c.done, "配置报文头错误！"}));
    EXPECT_EQ(side.loaded, std::vector<Bytes>{c.image});
    EXPECT_EQ(side.states.back(), c.sound ? "读取完成" : "读取完成（报文头错误）");
    EXPECT_EQ(outcomes, Lines{c.sound ? "read done: 读取完成" : "read header-error: 配置报文头错误！"});
    EXPECT_EQ(side.sent.size(), c.requests + 1) << "the preamble and the requests";
  }
}

// Pressed again after the first acknowledgement: the write starts over.
TEST_F(EngineTest, WriteOfA43ByteImageIsTwoPacketsAcknowledgedInTurn) {
  connect();
  side.addressBox = 3;
  side.image = patternBytes(8);
  side.pageImage = patternBytes(43);  // the page on show stores its edits at the press
  engine.startWrite();
  side.feed(writeAck(3, 0));
  side.clear();
  engine.startWrite();
  EXPECT_EQ(side.expiry(kWriteTimerId), side.now + kWatchdogMs) << "armed after the first packet";
  side.feed(writeAck(3, 0));
  EXPECT_EQ(side.expiry(kWriteTimerId), side.now + kWatchdogMs) << "and again after the next one";
  side.feed(writeAck(3, 1));
  const Bytes envelope = buildEnvelope(patternBytes(43).data(), 43);
  EXPECT_EQ(side.sent, (std::vector<Bytes>{kPreamble, buildWritePacket(3, 0, 2, envelope.data(), 51).frame,
                                           buildWritePacket(3, 1, 2, envelope.data(), 51).frame}));
  EXPECT_EQ(side.io, (Lines{"wait 50", "send", "wait 50", "send", "wait 50", "send"}));
  EXPECT_EQ(side.logs, (Lines{"开始下发配置，共 2 包，51 字节", "发送配置数据包 1/2, 数据长度 50", "收到写入确认: 包 0",
                              "发送配置数据包 2/2, 数据长度 1", "收到写入确认: 包 1", "下发配置完成"}));
  EXPECT_EQ(side.progress, (std::vector<int>{0, 50, 100, 100}));
  EXPECT_EQ(outcomes, Lines{"write done: 下发完成"});
  EXPECT_EQ(side.expiry(kWriteTimerId), 0u);
}

// Packet counts at 50/51 bytes are frames_test's; 2049 is refused in RefusedCommands...
TEST_F(EngineTest, TheLargestImageGoesIn42Packets) {
  connect();
  side.image = patternBytes(2048);
  engine.startWrite();
  EXPECT_EQ(side.logs.front(), "开始下发配置，共 42 包，2056 字节");
  for (int p = 0; p < 42; ++p) side.feed(writeAck(1, p));
  EXPECT_EQ(side.sent.back().size(), 19u) << "the last packet carries 6 bytes";
  EXPECT_EQ(side.logs.back(), "下发配置完成");
}

// A failed send ends the transfer at once; the watchdog it leaves armed must not reset the next transfer.
TEST_F(EngineTest, AFailedSendEndsTheTransferAndItsWatchdogSparesTheNextOne) {
  connect();
  side.failingSends = {1};  // the preamble goes, the request does not
  engine.startRead();
  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求失败"}));
  EXPECT_EQ(side.states, (Lines{"正在读取配置...", "空闲"}));
  side.advance(kWatchdogMs);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);

  side.image = patternBytes(43);
  side.failingSends = {side.sendAttempts + 2};  // preamble and packet 0 go, packet 1 fails
  engine.startWrite();
  side.feed(writeAck(1, 0));
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(outcomes, (Lines{"read send-failed: 发送读取配置请求失败", "write send-failed: 发送配置数据包失败"}));

  // The write's leftover watchdog against a read, then the other way round.
  engine.startRead();
  EXPECT_EQ(side.expiry(kWriteTimerId), 0u);
  side.advance(side.expiry(kReadTimerId) - side.now - 1);
  EXPECT_EQ(f().operationState, kReading);
  side.failingSends = {side.sendAttempts + 1};
  engine.onTimer(kReadTimerId);
  engine.startRead();
  ASSERT_EQ(side.logs.back(), "发送读取配置请求失败");
  engine.startWrite();
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);
  side.advance(kWatchdogMs - 1);
  EXPECT_EQ(f().operationState, kWriting);
  engine.onTimer(kWriteTimerId);

  side.failingSends = {side.sendAttempts};  // a failed preamble is not examined
  engine.startRead();
  EXPECT_EQ(f().operationState, kReading);
  // Without a connection page nothing can go: no pause, a failed request.
  engine.onTimer(kReadTimerId);
  engine.setConnectionPage(nullptr);
  side.io.clear();
  engine.startRead();
  EXPECT_TRUE(side.io.empty());
  EXPECT_EQ(side.logs.back(), "发送读取配置请求失败");
  ASSERT_NE(side.expiry(kReadTimerId), 0u);
  engine.stopWatchdogs();  // the host going away stops the watchdog that failure left
  EXPECT_EQ(side.expiry(kReadTimerId), 0u);
}

// The approver sees the gathered image; kept back, nothing changes, not even
// a running write, and no outcome is told. A link lost while it asked refuses.
TEST_F(EngineTest, WriteApprovalSeesTheGatheredImageAndKeptBackChangesNothing) {
  std::vector<Bytes> asked;
  bool approve = false;
  std::function<void()> whileAsking;
  engine.setWriteApproval([&](const Bytes& image) {
    asked.push_back(image);
    if (whileAsking) whileAsking();
    return approve;
  });
  connect();
  side.pageImage = patternBytes(43);
  engine.startWrite();
  EXPECT_EQ(asked, std::vector<Bytes>{patternBytes(43)});
  EXPECT_TRUE(side.sent.empty() && side.states.empty() && side.logs.empty() && outcomes.empty());
  EXPECT_EQ(side.expiry(kWriteTimerId), 0u);
  EXPECT_EQ(f().operationState, kIdle);

  approve = true;
  engine.startWrite();
  side.feed(writeAck(1, 0));
  approve = false;
  engine.startWrite();  // a restart kept back: packet 1 stays due
  EXPECT_EQ(f().operationState, kWriting);
  EXPECT_EQ(f().currentPacket, 1);
  side.feed(writeAck(1, 1));
  EXPECT_EQ(outcomes, Lines{"write done: 下发完成"});
  EXPECT_EQ(side.sent.size(), 3u);

  side.pageImage = patternBytes(2049);
  engine.startWrite();
  EXPECT_EQ(asked.size(), 3u) << "an image too long is refused before the check";
  side.pageImage.reset();
  side.image = patternBytes(8);
  approve = true;
  whileAsking = [&] { engine.setLinkState(false, "TCP已断开"); };
  side.clear();
  engine.startWrite();
  EXPECT_EQ(side.boxes.back(), "请先连接设备");
  EXPECT_TRUE(side.sent.empty());
}
