#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/transfer_engine.h"
#include "tests/protocol/transfer_fakes.h"

using namespace velmora;
using namespace velmora::testing;
using Lines = std::vector<std::string>;

namespace {

class TransferEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    side.engine = &engine;
    engine.setConnectionPage(&side);
    engine.setMainWindow(&side);
  }
  void connectLink() {
    engine.setLinkState(true, "TCP已连接：127.0.0.1:6000");
    side.clearRecords();
  }
  const TransferEngine::Fields& f() const { return engine.fields(); }
  // The trace lines that start with prefix, in order.
  Lines traced(const std::string& prefix) const {
    Lines out;
    for (const auto& t : side.trace)
      if (t.rfind(prefix, 0) == 0) out.push_back(t);
    return out;
  }

  FakeTransferSide side;
  TransferEngine engine{side, &side};
};

const Bytes kPreamble = [] {
  const auto p = buildTransferPreamble();
  return Bytes(p.begin(), p.end());
}();

Bytes readRequest(uint8_t address, uint16_t packet) {
  const auto r = buildReadRequest(address, packet);
  return Bytes(r.begin(), r.end());
}

}  // namespace

// ---------------------------------------------------------------------------
// Start-up, link state and the button rule

TEST_F(TransferEngineTest, StartShowsIdleDisconnectedAndLogsOnce) {
  engine.start();
  EXPECT_EQ(side.linkText, "未连接");
  EXPECT_EQ(side.states, Lines{"空闲"});
  EXPECT_EQ(side.logs, Lines{"配置面板初始化完成"});
  EXPECT_EQ(side.progress, std::vector<int>{-1});
  EXPECT_FALSE(side.readEnabled);
  EXPECT_FALSE(side.writeEnabled);
}

TEST_F(TransferEngineTest, ButtonsFollowLinkAndOperation) {
  engine.setLinkState(true, "串口已打开：/dev/ttyUSB0 (9600,8,0,0)");
  EXPECT_EQ(side.linkText, "串口已打开：/dev/ttyUSB0 (9600,8,0,0)");
  EXPECT_TRUE(side.readEnabled && side.writeEnabled);

  engine.startRead();  // a running read keeps its own button and disables the other
  EXPECT_TRUE(side.readEnabled);
  EXPECT_FALSE(side.writeEnabled);
  engine.onTimer(kReadTimerId);
  EXPECT_TRUE(side.readEnabled && side.writeEnabled);

  engine.startWrite();
  EXPECT_FALSE(side.readEnabled);
  EXPECT_TRUE(side.writeEnabled);

  engine.setLinkState(false, "TCP连接已断开");
  EXPECT_FALSE(side.readEnabled || side.writeEnabled);
  EXPECT_EQ(side.linkText, "TCP连接已断开");
}

TEST_F(TransferEngineTest, LinkLossEndsARunningTransferAtOnce) {
  connectLink();
  engine.startRead();
  side.feed({0x01, 0x69, 0x10});
  side.clearRecords();
  engine.setLinkState(false, "串口已断开");
  EXPECT_TRUE(f().receiveBuffer.empty());
  EXPECT_EQ(f().lastByteTime, 0u);
  EXPECT_EQ(side.progress, std::vector<int>{-1});
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(f().readTimer, 0);
  EXPECT_EQ(side.logs, Lines{"读取配置中断，连接已断开"});
  EXPECT_EQ(side.states, Lines{"读取中断"});
  EXPECT_EQ(side.linkText, "串口已断开");

  connectLink();
  engine.startWrite();
  side.clearRecords();
  engine.setLinkState(false, "TCP连接已断开");
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(side.logs, Lines{"下发配置中断，连接已断开"});
  EXPECT_EQ(side.states, Lines{"下发中断"});

  // A request that failed as the link went left its watchdog armed: the
  // loss stops it, so no time-out follows.
  connectLink();
  side.failingSends = {side.sendAttempts + 1};  // the request after the preamble
  engine.startRead();
  ASSERT_EQ(f().operationState, kIdle);
  side.clearRecords();
  engine.setLinkState(false, "串口已断开");
  EXPECT_EQ(side.logs, Lines{"读取配置中断，连接已断开"});
  side.advance(2 * kWatchdogMs);
  EXPECT_TRUE(side.timers.empty());
  EXPECT_EQ(side.logs.size(), 1u);

  // Idle with nothing pending: only the link changes.
  side.clearRecords();
  engine.setLinkState(false, "已关闭串口");
  EXPECT_TRUE(side.logs.empty() && side.states.empty());
}

TEST_F(TransferEngineTest, NotConnectedRefusesBothTransfersWithABox) {
  engine.startRead();
  engine.startWrite();
  EXPECT_EQ(side.boxes, (Lines{"请先连接设备", "请先连接设备"}));
  EXPECT_TRUE(side.sent.empty());
  EXPECT_TRUE(side.timers.empty());
  EXPECT_EQ(f().operationState, kIdle);
}

// ---------------------------------------------------------------------------
// Receive assembly

TEST_F(TransferEngineTest, GapOfExactly200KeepsTheFrame201EndsIt) {
  const Bytes ack = writeAck(1, 0);
  side.feed(slice(ack, 0, 4));
  side.feed(slice(ack, 4, 4), 200);  // every gap exactly 200 ms
  EXPECT_EQ(side.logs, Lines{"收到未知响应: 01 6C 00 32 00 00 30 0C …… 长度 8"});
  EXPECT_TRUE(f().receiveBuffer.empty());

  side.logs.clear();
  side.feed(slice(ack, 0, 4));
  side.feed(slice(ack, 4, 4), 201);  // each byte now starts afresh
  EXPECT_TRUE(side.logs.empty());
  EXPECT_EQ(f().receiveBuffer, Bytes{ack[7]});
}

TEST_F(TransferEngineTest, StrayByteBlocksAFrameUntilAPause) {
  const Bytes ack = writeAck(1, 0);
  side.feed({0x00});
  side.feed(ack);
  EXPECT_TRUE(side.logs.empty());
  EXPECT_EQ(f().receiveBuffer.size(), 9u);

  side.now += 201;
  side.feed(ack);
  EXPECT_EQ(side.logs.size(), 1u);
  EXPECT_TRUE(f().receiveBuffer.empty());
}

TEST_F(TransferEngineTest, BackToBackFramesAreEachDispatchedOnTheirLastByte) {
  const Bytes first = dataResponse(1, 0, 1, {0xAA, 0xBB});
  const Bytes second = dataResponse(1, 3, 4, {0x10, 0x20, 0x30});
  Bytes stream = first;
  stream.insert(stream.end(), second.begin(), second.end());

  side.feed(slice(stream, 0, first.size() - 1));
  EXPECT_TRUE(side.logs.empty());
  side.feed(slice(stream, first.size() - 1, 1));
  EXPECT_EQ(side.logs, Lines{"收到未知响应: 01 69 06 00 00 00 01 AA …… 长度 11"});
  side.feed(slice(stream, first.size(), second.size() - 1));
  EXPECT_EQ(side.logs.size(), 1u);
  side.feed(slice(stream, stream.size() - 1, 1));
  EXPECT_EQ(side.logs.back(), "收到未知响应: 01 69 07 00 03 00 04 10 …… 长度 12");
  EXPECT_TRUE(f().receiveBuffer.empty());
}

TEST_F(TransferEngineTest, OverflowEmptiesTheBufferAt1025Bytes) {
  side.feed(Bytes(1024, 0x00));  // never a frame for device 1
  EXPECT_EQ(f().receiveBuffer.size(), 1024u);
  EXPECT_TRUE(side.logs.empty());
  side.feed({0x00});
  EXPECT_TRUE(f().receiveBuffer.empty());
  EXPECT_EQ(side.logs, Lines{"串口接收缓冲区溢出，已清空"});

  // Reception goes on normally afterwards.
  side.feed(writeAck(1, 2));
  EXPECT_EQ(side.logs.size(), 2u);
}

TEST_F(TransferEngineTest, DataResponsesShorterThanEightBytesAreInvalidFrames) {
  for (int count = 0; count <= 2; ++count) {
    SCOPED_TRACE(count);
    side.logs.clear();
    side.now += 1000;  // fresh buffer
    Bytes frame{0x01, kFunctionRead, static_cast<uint8_t>(count)};
    for (int i = 0; i < count; ++i) frame.push_back(static_cast<uint8_t>(0x40 + i));
    const uint16_t crc = crc16(frame.data(), static_cast<uint16_t>(frame.size()));
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    const size_t filler = 8 - frame.size();
    frame.insert(frame.end(), filler, 0xEE);

    side.feed(slice(frame, 0, 7));
    EXPECT_TRUE(side.logs.empty());
    side.feed(slice(frame, 7, 1));  // the recogniser needs 8 bytes before it looks
    EXPECT_EQ(side.logs, Lines{"接收到无效帧"});
    EXPECT_EQ(f().receiveBuffer.size(), filler);  // the bytes after the cut frame stay
  }
}

TEST_F(TransferEngineTest, ValidFrameWhileIdleIsLoggedAsUnknown) {
  side.feed({0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79});
  EXPECT_EQ(side.logs, Lines{"收到未知响应: 01 69 0C 00 00 00 01 40 …… 长度 17"});
  EXPECT_TRUE(side.loaded.empty());
}

TEST_F(TransferEngineTest, FramesForAnotherAddressAreNeverRecognised) {
  side.feed(writeAck(2, 0));
  side.now += 1000;
  side.feed(dataResponse(2, 0, 1, {1, 2, 3}));
  EXPECT_TRUE(side.logs.empty());
}

TEST_F(TransferEngineTest, AddressReportWhileIdleFillsTheConnectionPage) {
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.logs, Lines{"读取设备地址成功: 05"});
  EXPECT_EQ(side.addressText, "005");
  EXPECT_EQ(side.addressMessage, "08:07:06 收到地址更新：005");
  EXPECT_EQ(f().deviceAddress, 1);  // the transfers take the box's value when they start

  // A report with a bad sum is no frame.
  side.now += 1000;
  side.feed({0x22, 0xC8, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(side.logs.size(), 1u);
  side.now += 1000;
  side.feed({0x22, 0xC8, 0x40, 0x00, 0x00, 0x00, 0x00, 0x2A});
  EXPECT_EQ(side.logs.back(), "读取设备地址成功: C8");
  EXPECT_EQ(side.addressText, "200");
}

TEST_F(TransferEngineTest, AddressReportWithoutConnectionPageIsOnlyLogged) {
  engine.setConnectionPage(nullptr);
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.logs, Lines{"读取设备地址成功: 05"});
  EXPECT_TRUE(side.addressText.empty());
}

TEST_F(TransferEngineTest, AddressReportDuringATransferIsRejectedByIt) {
  connectLink();
  engine.startRead();
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.logs.back(), "无效的配置数据响应");
  EXPECT_TRUE(side.addressText.empty());
  EXPECT_EQ(f().operationState, kReading);

  engine.onTimer(kReadTimerId);
  engine.startWrite();
  side.feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.logs.back(), "无效的写入确认包");

  // A report from device 0x6C has the acknowledgement's function byte where
  // its address stands; it must not pass for an acknowledgement of packet 0.
  side.now += 1000;
  side.feed({0x22, 0x6C, 0x40, 0x00, 0x00, 0x00, 0x00, 0xCE});
  EXPECT_EQ(side.logs.back(), "无效的写入确认包");
  EXPECT_EQ(f().currentPacket, 0);
  EXPECT_EQ(f().operationState, kWriting);
}

// ---------------------------------------------------------------------------
// Configuration read

TEST_F(TransferEngineTest, ReadOfA56ByteEnvelopeInTwoPackets) {
  connectLink();
  const Bytes image = patternBytes(48);
  const Bytes envelope = buildEnvelope(image.data(), 48);
  ASSERT_EQ(envelope.size(), 56u);

  engine.startRead();
  EXPECT_EQ(f().operationState, kReading);
  EXPECT_EQ(side.states, Lines{"正在读取配置..."});
  // Every frame of the transfer goes out after a 50 ms wait, in this order.
  EXPECT_EQ(traced("wait").size(), 2u);
  EXPECT_EQ(side.sent, (std::vector<Bytes>{kPreamble, readRequest(1, 0)}));
  const Lines startTrace{"start 2001", "wait 50", "send " + hex(kPreamble), "log 开始读取配置...", "wait 50",
                         "send 01 69 00 32 00 00 FC 0C", "log 发送读取配置请求: 包 0"};
  Lines tail;
  for (const auto& t : side.trace)
    if (t.rfind("start", 0) == 0 || t.rfind("wait", 0) == 0 || t.rfind("send", 0) == 0 || t.rfind("log", 0) == 0)
      tail.push_back(t);
  EXPECT_EQ(tail, startTrace);
  const uint64_t afterStart = side.now;

  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  EXPECT_EQ(side.sent.back(), readRequest(1, 1));
  EXPECT_EQ(side.sent.back(), (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x01, 0x3D, 0xCC}));
  EXPECT_EQ(side.timers.at(kReadTimerId), side.now + kWatchdogMs);  // restarted after the request
  EXPECT_GT(side.now, afterStart + 50);
  side.feed(dataResponse(1, 1, 2, slice(envelope, 50, 6)));

  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求: 包 0", "总包数: 2", "收到配置数据包 1/2, 数据长度 50",
                              "发送读取配置请求: 包 1", "收到配置数据包 2/2, 数据长度 6",
                              "读取配置完成，共 2 包，56 字节"}));
  EXPECT_EQ(side.progress, (std::vector<int>{-1, 0, 50, 100, 100}));
  ASSERT_EQ(side.loaded.size(), 1u);
  EXPECT_EQ(side.loaded[0], image);
  EXPECT_EQ(side.states.back(), "读取完成");
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(f().readTimer, 0);
  EXPECT_FALSE(side.timerRunning(kReadTimerId));
  EXPECT_TRUE(side.readEnabled && side.writeEnabled);

  side.advance(10 * kWatchdogMs);  // nothing left to fire
  EXPECT_EQ(side.logs.back(), "读取配置完成，共 2 包，56 字节");
}

TEST_F(TransferEngineTest, PacingCountsFromTheAnswerNotFromTheEndOfOurOwnWork) {
  connectLink();
  side.progressCostMs = 20;
  engine.startRead();
  const Bytes envelope = buildEnvelope(patternBytes(120).data(), 120);  // 128 bytes: three packets
  side.clearRecords();
  side.feed(dataResponse(1, 0, 3, slice(envelope, 0, 50)));
  const uint64_t answered = f().lastByteTime;  // when the answer's last byte came
  // Two progress updates (total known, then 33 %) took 40 ms; 10 ms remain.
  EXPECT_EQ(traced("wait"), Lines{"wait 10"});
  ASSERT_EQ(side.sent.size(), 1u);
  EXPECT_EQ(side.sent[0], readRequest(1, 1));
  EXPECT_EQ(side.now, answered + 50) << "sent 50 ms after the answer, not 90";

  // Work that outlasts 50 ms leaves nothing to wait.
  side.progressCostMs = 60;
  side.clearRecords();
  side.feed(dataResponse(1, 1, 3, slice(envelope, 50, 50)));
  EXPECT_TRUE(traced("wait").empty());
  EXPECT_EQ(side.sent.size(), 1u);
}

TEST_F(TransferEngineTest, ReadTakesTheAddressFromTheBoxAtStart) {
  connectLink();
  side.addressBox = 7;
  engine.startRead();
  EXPECT_EQ(f().deviceAddress, 7);
  EXPECT_EQ(side.sent.back(), readRequest(7, 0));

  // A device answering with another address is never heard; the watchdog ends the read.
  const Bytes envelope = buildEnvelope(nullptr, 0);
  side.feed(dataResponse(1, 0, 1, envelope));
  EXPECT_EQ(side.logs.back(), "发送读取配置请求: 包 0");
  side.advance(kWatchdogMs);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_TRUE(side.loaded.empty());
}

TEST_F(TransferEngineTest, DuplicatePacketIsOutOfOrderAndChangesNothing) {
  connectLink();
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  engine.startRead();
  const Bytes packet0 = dataResponse(1, 0, 2, slice(envelope, 0, 50));
  side.feed(packet0);
  const uint64_t expiry = side.timers.at(kReadTimerId);
  const size_t sentBefore = side.sent.size();

  side.feed(packet0);
  EXPECT_EQ(side.logs.back(), "收到乱序包: 期望 1, 实际 0");
  EXPECT_EQ(f().transferLength, 50);
  EXPECT_EQ(f().currentPacket, 1);
  EXPECT_EQ(side.sent.size(), sentBefore);             // nothing asked again
  EXPECT_EQ(side.timers.at(kReadTimerId), expiry);     // watchdog not restarted

  // A packet from further ahead is just as out of order; the read then times out.
  side.feed(dataResponse(1, 2, 3, {1, 2, 3}));
  EXPECT_EQ(side.logs.back(), "收到乱序包: 期望 1, 实际 2");
  side.advance(expiry - side.now - 1);
  EXPECT_EQ(f().operationState, kReading);
  side.advance(1);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(side.states.back(), "空闲");
  EXPECT_EQ(side.progress.back(), -1);
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(f().readTimer, 0);
  EXPECT_TRUE(side.loaded.empty());
}

TEST_F(TransferEngineTest, TotalLearnedFromFirstParsingResponseEvenOutOfOrder) {
  connectLink();
  engine.startRead();
  side.feed(dataResponse(1, 1, 3, {9}));
  EXPECT_EQ(f().totalPackets, 3);
  EXPECT_EQ(side.logs[side.logs.size() - 2], "总包数: 3");
  EXPECT_EQ(side.logs.back(), "收到乱序包: 期望 0, 实际 1");
}

TEST_F(TransferEngineTest, EachResponsesOwnTotalDecidesWhetherMoreIsAsked) {
  connectLink();
  engine.startRead();
  side.feed(dataResponse(1, 0, 3, patternBytes(50)));
  EXPECT_EQ(side.sent.back(), readRequest(1, 1));
  // The device now claims two packets in all: the read ends here although
  // the first total (kept for the progress) was three.
  side.feed(dataResponse(1, 1, 2, patternBytes(6)));
  EXPECT_EQ(f().totalPackets, 3);
  EXPECT_EQ(side.progress, (std::vector<int>{-1, 0, 33, 66, 100}));
  EXPECT_EQ(side.logs[side.logs.size() - 2], "读取配置完成，共 2 包，56 字节");
  EXPECT_EQ(f().operationState, kIdle);
}

TEST_F(TransferEngineTest, TotalOfZeroCompletesOnTheFirstPacket) {
  connectLink();
  const Bytes envelope = buildEnvelope(patternBytes(8).data(), 8);
  engine.startRead();
  side.feed(dataResponse(1, 0, 0, envelope));
  EXPECT_EQ(side.progress, (std::vector<int>{-1, 0, 0, 100}));
  EXPECT_EQ(side.logs.back(), "读取配置完成，共 0 包，16 字节");
  EXPECT_EQ(side.sent.size(), 2u);  // preamble and the one request
  ASSERT_EQ(side.loaded.size(), 1u);
  EXPECT_EQ(side.loaded[0], patternBytes(8));
  EXPECT_EQ(side.states.back(), "读取完成");
}

TEST_F(TransferEngineTest, UnsoundEnvelopeIsReportedAndLoadedAnyway) {
  connectLink();
  Bytes envelope = buildEnvelope(patternBytes(16).data(), 16);
  envelope[0] ^= 0xFF;  // wrong CRC
  engine.startRead();
  side.feed(dataResponse(1, 0, 1, envelope));
  EXPECT_EQ(side.logs[side.logs.size() - 1], "配置报文头错误！");
  EXPECT_EQ(side.logs[side.logs.size() - 2], "读取配置完成，共 1 包，24 字节");
  ASSERT_EQ(side.loaded.size(), 1u);
  EXPECT_EQ(side.loaded[0], patternBytes(16));
  EXPECT_EQ(side.states.back(), "读取完成（报文头错误）") << "not a bare success";

  // Fewer than 8 bytes: an empty image goes over.
  engine.startRead();
  side.feed(dataResponse(1, 0, 1, {1, 2, 3}));
  EXPECT_EQ(side.logs.back(), "配置报文头错误！");
  ASSERT_EQ(side.loaded.size(), 2u);
  EXPECT_TRUE(side.loaded[1].empty());

  // A sound envelope logs no header error.
  engine.startRead();
  side.feed(dataResponse(1, 0, 1, buildEnvelope(nullptr, 0)));
  EXPECT_EQ(side.logs.back(), "读取配置完成，共 1 包，8 字节");
}

TEST_F(TransferEngineTest, DataBeyondTheLargestEnvelopeIsDroppedWhileCountAdvances) {
  connectLink();
  engine.startRead();
  const int total = 10;
  for (int p = 0; p < 9; ++p) side.feed(dataResponse(1, p, total, patternBytes(251, static_cast<uint8_t>(p))));
  // 8 × 251 = 2008 fit; the ninth would make 2259 and is dropped.
  EXPECT_EQ(f().transferLength, 2008);
  EXPECT_EQ(f().currentPacket, 9);
  EXPECT_EQ(side.logs[side.logs.size() - 2], "收到配置数据包 9/10, 数据长度 251");
  EXPECT_EQ(side.sent.back(), readRequest(1, 9));

  // 48 more reach exactly 2056, which still fits.
  side.feed(dataResponse(1, 9, total, patternBytes(48, 0x90)));
  EXPECT_EQ(f().transferLength, kMaxEnvelopeBytes);
  EXPECT_EQ(side.logs[side.logs.size() - 2], "读取配置完成，共 10 包，2056 字节");
  ASSERT_EQ(side.loaded.size(), 1u);
  EXPECT_EQ(side.loaded[0].size(), 2048u);
  const Bytes last = patternBytes(48, 0x90);
  EXPECT_TRUE(std::equal(last.begin(), last.end(), side.loaded[0].end() - 48));
}

TEST_F(TransferEngineTest, RequestSendFailureGoesIdleThenWatchdogResetsAgain) {
  connectLink();
  side.failingSends = {1};  // the preamble goes, the request does not
  engine.startRead();
  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求失败"}));
  EXPECT_EQ(side.states, (Lines{"正在读取配置...", "空闲"}));
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_TRUE(side.readEnabled && side.writeEnabled);
  EXPECT_TRUE(side.timerRunning(kReadTimerId));

  // Armed before the two 50 ms waits, it expires 2000 ms after the start.
  const uint64_t expiry = side.timers.at(kReadTimerId);
  EXPECT_EQ(expiry + 100, side.now + kWatchdogMs);
  side.advance(expiry - side.now - 1);
  EXPECT_EQ(side.logs.size(), 2u);
  side.advance(1);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(side.states.back(), "空闲");
  EXPECT_FALSE(side.timerRunning(kReadTimerId));
}

TEST_F(TransferEngineTest, PreambleFailureIsIgnored) {
  connectLink();
  side.failingSends = {0};
  engine.startRead();
  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求: 包 0"}));
  EXPECT_EQ(f().operationState, kReading);
}

TEST_F(TransferEngineTest, ReadWithoutConnectionPageFailsWithoutWaiting) {
  engine.setConnectionPage(nullptr);
  connectLink();
  engine.startRead();
  EXPECT_TRUE(traced("wait").empty());
  EXPECT_EQ(side.logs, (Lines{"开始读取配置...", "发送读取配置请求失败"}));
  EXPECT_EQ(f().deviceAddress, 1);
}

TEST_F(TransferEngineTest, PressingReadAgainRestartsFromPacketZero) {
  connectLink();
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  engine.startRead();
  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  side.feed({0x01, 0x69});  // half a frame in the buffer
  side.sent.clear();
  side.progress.clear();

  engine.startRead();
  EXPECT_EQ(side.sent, (std::vector<Bytes>{kPreamble, readRequest(1, 0)}));
  EXPECT_EQ(f().totalPackets, 0);
  EXPECT_EQ(f().currentPacket, 0);
  EXPECT_EQ(f().transferLength, 0);
  EXPECT_EQ(f().transferBuffer[0], 0);
  EXPECT_TRUE(f().receiveBuffer.empty());
  EXPECT_EQ(side.progress, std::vector<int>{-1});
  EXPECT_TRUE(side.boxes.empty());

  side.feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  side.feed(dataResponse(1, 1, 2, slice(envelope, 50, 6)));
  ASSERT_EQ(side.loaded.size(), 1u);
  EXPECT_EQ(side.loaded[0], patternBytes(48));
}

TEST_F(TransferEngineTest, ReadDuringWriteIsRefusedAndTheWriteGoesOn) {
  connectLink();
  side.image = patternBytes(43);
  engine.startWrite();
  const size_t sent = side.sent.size();
  engine.startRead();
  EXPECT_EQ(side.boxes, Lines{"正在执行其他操作，请稍后"});
  EXPECT_EQ(f().operationState, kWriting);
  EXPECT_EQ(side.sent.size(), sent);
  EXPECT_FALSE(side.timerRunning(kReadTimerId));
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs.back(), "发送配置数据包 2/2, 数据长度 1");
}

// ---------------------------------------------------------------------------
// Configuration write

TEST_F(TransferEngineTest, WriteOfAnEmptyImageIsOnePacketOf21Bytes) {
  connectLink();
  engine.startWrite();
  EXPECT_EQ(side.gathers, 1);
  EXPECT_EQ(side.states, Lines{"正在下发配置..."});
  const Bytes packet{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x01,
                     0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x81, 0x4F};
  Lines io;
  for (const auto& t : side.trace)
    if (t.rfind("wait", 0) == 0 || t.rfind("send", 0) == 0 || t.rfind("start", 0) == 0) io.push_back(t);
  EXPECT_EQ(io, (Lines{"wait 50", "send " + hex(kPreamble), "wait 50", "send " + hex(packet), "start 2002"}));
  EXPECT_EQ(side.logs, (Lines{"开始下发配置，共 1 包，8 字节", "发送配置数据包 1/1, 数据长度 8"}));
  EXPECT_EQ(f().totalPackets, 1);
  EXPECT_EQ(f().transferLength, 8);

  side.feed({0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C});
  EXPECT_EQ(side.logs, (Lines{"开始下发配置，共 1 包，8 字节", "发送配置数据包 1/1, 数据长度 8", "收到写入确认: 包 0",
                              "下发配置完成"}));
  EXPECT_EQ(side.states.back(), "下发完成");
  EXPECT_EQ(side.progress, (std::vector<int>{0, 100, 100}));
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(f().writeTimer, 0);
  EXPECT_FALSE(side.timerRunning(kWriteTimerId));
}

TEST_F(TransferEngineTest, WriteOf42ByteImageIsExactlyOneFullPacket) {
  connectLink();
  side.image = patternBytes(42);
  engine.startWrite();
  EXPECT_EQ(side.logs.front(), "开始下发配置，共 1 包，50 字节");
  ASSERT_EQ(side.sent.size(), 2u);
  EXPECT_EQ(side.sent[1].size(), 63u);
  const Bytes envelope = buildEnvelope(side.image.data(), 42);
  EXPECT_EQ(side.sent[1], buildWritePacket(1, 0, 1, envelope.data(), 50).frame);
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs.back(), "下发配置完成");
}

TEST_F(TransferEngineTest, WriteOf43ByteImageIsTwoPacketsWithProgress) {
  connectLink();
  side.addressBox = 3;
  side.image = patternBytes(43);
  const Bytes envelope = buildEnvelope(side.image.data(), 43);
  engine.startWrite();
  EXPECT_EQ(side.logs, (Lines{"开始下发配置，共 2 包，51 字节", "发送配置数据包 1/2, 数据长度 50"}));

  side.feed(writeAck(3, 0));
  EXPECT_EQ(side.progress.back(), 50);
  EXPECT_EQ(side.timers.at(kWriteTimerId), side.now + kWatchdogMs);
  side.feed(writeAck(3, 1));
  EXPECT_EQ(side.logs, (Lines{"开始下发配置，共 2 包，51 字节", "发送配置数据包 1/2, 数据长度 50", "收到写入确认: 包 0",
                              "发送配置数据包 2/2, 数据长度 1", "收到写入确认: 包 1", "下发配置完成"}));
  EXPECT_EQ(side.progress, (std::vector<int>{0, 50, 100, 100}));

  ASSERT_EQ(side.sent.size(), 3u);
  EXPECT_EQ(side.sent[0], kPreamble);
  EXPECT_EQ(side.sent[1], buildWritePacket(3, 0, 2, envelope.data(), 51).frame);
  EXPECT_EQ(side.sent[2].size(), 14u);
  EXPECT_EQ(side.sent[2], buildWritePacket(3, 1, 2, envelope.data(), 51).frame);
  // Every frame was preceded by its own 50 ms wait.
  Lines io;
  for (const auto& t : side.trace)
    if (t.rfind("wait", 0) == 0 || t.rfind("send", 0) == 0) io.push_back(t.substr(0, 4));
  EXPECT_EQ(io, (Lines{"wait", "send", "wait", "send", "wait", "send"}));
}

TEST_F(TransferEngineTest, WriteSendsTheImageAsGatheredFromThePageOnShow) {
  connectLink();
  side.image = patternBytes(8);
  side.gatherSetsImage = true;
  side.imageAfterGather = patternBytes(16, 0x30);
  engine.startWrite();
  const Bytes envelope = buildEnvelope(side.imageAfterGather.data(), 16);
  EXPECT_EQ(side.sent.back(), buildWritePacket(1, 0, 1, envelope.data(), 24).frame);
}

TEST_F(TransferEngineTest, OutOfOrderAcknowledgementEndsByTimeout) {
  connectLink();
  side.image = patternBytes(43);
  engine.startWrite();
  side.feed(writeAck(1, 0));
  const uint64_t expiry = side.timers.at(kWriteTimerId);
  const size_t sent = side.sent.size();
  side.now += 300;
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs[side.logs.size() - 2], "收到写入确认: 包 0");
  EXPECT_EQ(side.logs.back(), "收到乱序确认: 期望 1, 实际 0");
  EXPECT_EQ(side.sent.size(), sent);
  EXPECT_EQ(side.timers.at(kWriteTimerId), expiry);
  EXPECT_EQ(f().currentPacket, 1);

  side.advance(expiry - side.now);
  EXPECT_EQ(side.logs.back(), "下发配置超时，复位");
  EXPECT_EQ(side.states.back(), "空闲");
  EXPECT_EQ(side.progress.back(), -1);
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_EQ(f().writeTimer, 0);
}

TEST_F(TransferEngineTest, DataResponseDuringWriteIsNotAnAcknowledgement) {
  connectLink();
  engine.startWrite();
  side.feed(dataResponse(1, 0, 1, buildEnvelope(nullptr, 0)));
  EXPECT_EQ(side.logs.back(), "无效的写入确认包");
  EXPECT_EQ(f().operationState, kWriting);
  EXPECT_EQ(f().currentPacket, 0);
}

TEST_F(TransferEngineTest, ImageOver2048IsRefusedAndStateKept) {
  connectLink();
  side.image = patternBytes(2049);
  engine.startWrite();
  EXPECT_EQ(side.boxes, Lines{"要发送的数据长度无效"});
  EXPECT_TRUE(side.sent.empty());
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_TRUE(side.states.empty());

  // 2048 is the largest image that goes: 42 packets, the last of 6 bytes.
  side.image = patternBytes(2048);
  engine.startWrite();
  EXPECT_EQ(side.logs.front(), "开始下发配置，共 42 包，2056 字节");
  for (int p = 0; p < 41; ++p) side.feed(writeAck(1, p));
  EXPECT_EQ(side.sent.back().size(), 6u + 13u);
  side.feed(writeAck(1, 41));
  EXPECT_EQ(side.logs.back(), "下发配置完成");
}

TEST_F(TransferEngineTest, RefusedRestartKeepsTheRunningWriteAndItsAddress) {
  connectLink();
  side.image = patternBytes(43);
  engine.startWrite();
  side.addressBox = 9;
  side.image = patternBytes(3000);  // an opened file can make the image this long
  engine.startWrite();
  EXPECT_EQ(side.boxes, Lines{"要发送的数据长度无效"});
  EXPECT_EQ(f().deviceAddress, 1);
  side.feed(writeAck(1, 0));
  side.feed(writeAck(1, 1));
  EXPECT_EQ(side.logs.back(), "下发配置完成");
}

TEST_F(TransferEngineTest, WriteWithoutMainWindowIsRefused) {
  engine.setMainWindow(nullptr);
  connectLink();
  engine.startWrite();
  EXPECT_EQ(side.boxes, Lines{"未找到主窗口"});
  EXPECT_TRUE(side.sent.empty());
  EXPECT_EQ(side.gathers, 0);
  EXPECT_EQ(f().operationState, kIdle);
}

TEST_F(TransferEngineTest, WriteDuringReadIsRefused) {
  connectLink();
  engine.startRead();
  side.boxes.clear();
  engine.startWrite();
  EXPECT_EQ(side.boxes, Lines{"正在执行其他操作，请稍后"});
  EXPECT_EQ(side.gathers, 0);
  EXPECT_EQ(f().operationState, kReading);
}

TEST_F(TransferEngineTest, PressingWriteAgainRestartsFromPacketZero) {
  connectLink();
  side.image = patternBytes(43);
  engine.startWrite();
  side.feed(writeAck(1, 0));
  side.sent.clear();
  side.image = patternBytes(8);

  engine.startWrite();
  EXPECT_EQ(side.gathers, 2);
  EXPECT_TRUE(side.boxes.empty());
  const Bytes envelope = buildEnvelope(side.image.data(), 8);
  EXPECT_EQ(side.sent, (std::vector<Bytes>{kPreamble, buildWritePacket(1, 0, 1, envelope.data(), 16).frame}));
  EXPECT_EQ(f().currentPacket, 0);
  EXPECT_EQ(f().totalPackets, 1);
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs.back(), "下发配置完成");
}

TEST_F(TransferEngineTest, PacketSendFailureGoesIdleThenWatchdogResetsAgain) {
  connectLink();
  side.image = patternBytes(43);
  side.failingSends = {2};  // preamble and packet 0 go, packet 1 fails
  engine.startWrite();
  side.feed(writeAck(1, 0));
  EXPECT_EQ(side.logs.back(), "发送配置数据包失败");
  EXPECT_EQ(side.states.back(), "空闲");
  EXPECT_EQ(f().operationState, kIdle);
  EXPECT_TRUE(side.timerRunning(kWriteTimerId));
  side.advance(kWatchdogMs);
  EXPECT_EQ(side.logs.back(), "下发配置超时，复位");
  EXPECT_FALSE(side.timerRunning(kWriteTimerId));
}

TEST_F(TransferEngineTest, LeftoverWatchdogOfAFailedTransferDoesNotResetTheNextOne) {
  connectLink();
  side.failingSends = {1};
  engine.startRead();  // the request fails; its watchdog is still armed
  ASSERT_TRUE(side.timerRunning(kReadTimerId));

  side.image = patternBytes(43);
  engine.startWrite();
  EXPECT_FALSE(side.timerRunning(kReadTimerId));
  side.advance(kWatchdogMs - 1);
  EXPECT_EQ(f().operationState, kWriting);
  for (const auto& line : side.logs) EXPECT_NE(line, "读取配置超时，复位");
  side.feed(writeAck(1, 0));
  side.feed(writeAck(1, 1));
  EXPECT_EQ(side.logs.back(), "下发配置完成");

  // And the other way round.
  side.failingSends = {side.sendAttempts + 1};  // the packet after the preamble
  engine.startWrite();
  ASSERT_EQ(side.logs.back(), "发送配置数据包失败");
  engine.startRead();
  EXPECT_FALSE(side.timerRunning(kWriteTimerId));
  side.advance(side.timers.at(kReadTimerId) - side.now - 1);
  EXPECT_EQ(f().operationState, kReading);
  side.advance(1);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
}

TEST_F(TransferEngineTest, StopWatchdogsStopsOnlyRunningTimers) {
  engine.stopWatchdogs();
  EXPECT_TRUE(traced("stop").empty());
  connectLink();
  engine.startRead();
  side.trace.clear();
  engine.stopWatchdogs();
  EXPECT_EQ(traced("stop"), Lines{"stop 2001"});
  EXPECT_EQ(f().readTimer, 0);
}

TEST_F(TransferEngineTest, NoLogSinkDropsLogLinesButReceptionWorks) {
  TransferEngine quiet{side};
  side.engine = &quiet;
  quiet.setConnectionPage(&side);
  quiet.setMainWindow(&side);
  side.feed(Bytes(1025, 0x00));
  side.feed(writeAck(1, 0));
  EXPECT_TRUE(side.logs.empty());
  EXPECT_TRUE(quiet.fields().receiveBuffer.empty());
}
