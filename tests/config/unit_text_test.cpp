#include <gtest/gtest.h>

#include "config/unit_text.h"

using namespace velmora;

// Bits in order, then the extra function; each page has its own assignment.
TEST(ProtocolTexts, SerialAndServerBitAssignments) {
  const std::pair<uint8_t, const char*> serial[] = {
      {13, "55协议 程序下载 临时数据包"},
      {0x21, "55协议 Modbus TCP协议"},
      {0x1F, "55协议 Modbus RTU协议 程序下载 临时数据包 远程控制"},
      {0x02, "Modbus RTU协议"},
      {0, "无协议"},
      {0x30, "无协议"},  // extra-function values above 2 have no text
      {0xF4, "程序下载"}};
  for (const auto& [flags, text] : serial) EXPECT_EQ(serialProtocolText(flags), text) << int(flags);
  const std::pair<uint32_t, const char*> server[] = {
      {0x06, "Modbus RTU协议 Modbus TCP协议"},
      {0x100, "无协议"},  // only the lowest byte counts
      {0x12, "Modbus RTU协议 临时数据包"},
      {0x1F, "55协议 Modbus RTU协议 Modbus TCP协议 程序下载 临时数据包"},
      {0xFFFFFFE0, "无协议"}};
  for (const auto& [flags, text] : server) EXPECT_EQ(serverProtocolText(flags), text) << flags;
}

// The rest is shown through describeUnit (unit_description_test); these are
// the fallbacks it does not reach.
TEST(ValueTexts, CodesOutsideTheirRangeFallBack) {
  EXPECT_EQ(parityLongText(7), "无校验");
  EXPECT_EQ(selectorText(4), "未知");
  EXPECT_EQ(groupText(6), "未知");
  EXPECT_EQ(enableText(0x80), "开");
  EXPECT_EQ(widthText(3, 2), "全字");
  EXPECT_EQ(widthText(5, 1), "16");
}
