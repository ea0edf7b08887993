#include <gtest/gtest.h>

#include "config/unit_text.h"

using namespace velmora;

TEST(SerialProtocolText, BitsInOrderThenExtraFunctionTrimmed) {
  EXPECT_EQ(serialProtocolText(13), "55协议 程序下载 临时数据包");
  EXPECT_EQ(serialProtocolText(0x21), "55协议 Modbus TCP协议");
  EXPECT_EQ(serialProtocolText(0x1F), "55协议 Modbus RTU协议 程序下载 临时数据包 远程控制");
  EXPECT_EQ(serialProtocolText(0x02), "Modbus RTU协议");
  EXPECT_EQ(serialProtocolText(0), "无协议");
  // Extra-function values above 2 have no text.
  EXPECT_EQ(serialProtocolText(0x30), "无协议");
  EXPECT_EQ(serialProtocolText(0xF4), "程序下载");
}

TEST(ServerProtocolText, UsesItsOwnBitAssignmentAndOnlyTheLowestByte) {
  EXPECT_EQ(serverProtocolText(0x06), "Modbus RTU协议 Modbus TCP协议");
  EXPECT_EQ(serverProtocolText(0x100), "无协议");
  EXPECT_EQ(serverProtocolText(0x12), "Modbus RTU协议 临时数据包");
  EXPECT_EQ(serverProtocolText(0x1F), "55协议 Modbus RTU协议 Modbus TCP协议 程序下载 临时数据包");
  EXPECT_EQ(serverProtocolText(0xFFFFFFE0), "无协议");
}

TEST(ValueTexts, CodesOutsideTheirRangeFallBack) {
  EXPECT_EQ(stopBitsText(0), "1");
  EXPECT_EQ(stopBitsText(1), "1.5");
  EXPECT_EQ(stopBitsText(2), "2");
  EXPECT_EQ(stopBitsText(3), "1");
  EXPECT_EQ(parityShortText(3), "标记");
  EXPECT_EQ(parityShortText(0), "无");
  EXPECT_EQ(parityLongText(1), "偶校验");
  EXPECT_EQ(parityLongText(2), "奇校验");
  EXPECT_EQ(parityLongText(7), "无校验");
  EXPECT_EQ(selectorText(3), "序列号");
  EXPECT_EQ(selectorText(4), "未知");
  EXPECT_EQ(groupText(5), "全部使能");
  EXPECT_EQ(groupText(0), "未知");
  EXPECT_EQ(groupText(6), "未知");
  EXPECT_EQ(enableText(0), "关");
  EXPECT_EQ(enableText(0x80), "开");
  EXPECT_EQ(widthText(3, 0), "半字");
  EXPECT_EQ(widthText(3, 2), "全字");
  EXPECT_EQ(widthText(1, 0), "1");
  EXPECT_EQ(widthText(5, 1), "16");
}
