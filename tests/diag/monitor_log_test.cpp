#include <gtest/gtest.h>

#include "diag/monitor_log.h"
#include "protocol/frames.h"

using namespace velmora;

TEST(MonitorLog, KeepsTheNewestTenThousandStampedFromTheFirstAndSavesTabbedLines) {
  MonitorLog log;
  const auto request = buildReadRequest(1, 3);
  const FrameInfo info = describeFrame(FrameDirection::Sent, request.data(), 8, 1);
  for (uint64_t i = 0; i < MonitorLog::kCapacity + 5; ++i) log.add(FrameDirection::Sent, 5'000'000 + i * 1500, request.data(), 8, info);
  ASSERT_EQ(log.size(), MonitorLog::kCapacity);
  EXPECT_EQ(log.droppedFront(), 5u);
  EXPECT_EQ(MonitorLog::timeText(log.row(0)), "7.500") << "the sixth frame, 7.5 ms after the first";
  const std::string first = "7.500\t发送\t" + MonitorLog::hexText(log.row(0)) + "\t读取请求：包 3\r\n";
  EXPECT_EQ(log.text().substr(0, first.size()), first);
  log.clear();
  const uint8_t stray[] = {0x01, 0x69};
  log.add(FrameDirection::Received, 9'000'000, stray, 2, describeDropped(stray, 2, 1, DropCause::Gap));
  EXPECT_EQ(log.text(), "0.000\t接收\t01 69\t丢弃 2 字节：间隔超过 200 ms\r\n");
  EXPECT_EQ(log.droppedFront(), 0u);
}
