#include <gtest/gtest.h>

#include "pages/list_page_units.h"
#include "pages/unit_description.h"
#include "tests/pages/image_helpers.h"

using namespace velmora;
using namespace velmora::testing;

// The parameter list's texts byte for byte, also for fields outside the
// pages' ranges (printed as stored).
TEST(DescribeUnit, EveryKindFormattedByteForByte) {
  const std::pair<ConfigUnit, const char*> cases[] = {
      {{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D},
       "数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包"},
      // data-bits nibble 3 raw, stop code 3 as one stop bit, mark parity
      {{0x01, 0x28, 0x00, 0x01, 0xC2, 0x00, 0x3F, 0x12},
       "数据口40: 波特率=115200, 数据位=3, 停止位=1, 校验=标记, 协议=Modbus RTU协议 远程控制"},
      {{0x02, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00}, "网络口0 (虚拟1): 掩码=255.255.255.0"},
      {{0x02, 0x05, 0x00, 0x03, 0x01, 0x02, 0x03, 0x04}, "网络口5 (虚拟0): 序列号=1.2.3.4"},
      {{0x02, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00}, "网络口0 (虚拟0): 未知=0.0.0.0"},
      {{0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x00, 0x00}, "网口1: 端口=3000, 协议=无协议"},
      // entry index 255 prints as 256; the port is unsigned
      {{0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x06}, "网口256: 端口=65535, 协议=Modbus RTU协议 Modbus TCP协议"},
      {{0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x01}, "全局整数: 使能=开, 地址=1600, 数量=100, 位数=全字"},
      {{0x04, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00}, "输入: 使能=关, 地址=65535, 数量=0, 位数=1"},
      {{0x04, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}, "全部使能: 使能=开, 地址=0, 数量=0, 位数=1"},
      {{0x04, 0x09, 0x01, 0x00, 0x01, 0x00, 0x02, 0x05}, "未知: 使能=开, 地址=1, 数量=2, 位数=16"},
      {{0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A}, "未知: 07 01 02 03 04 05 06 0A"},
      {{0x00, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00, 0xFF}, "未知: 00 AB CD EF 00 00 00 FF"}};
  for (const auto& [unit, text] : cases) EXPECT_EQ(describeUnit(unit), text);
}

TEST(ListPageUnits, RowsInImageOrderWithTheKindNames) {
  const Bytes image = imageOf({{1, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D}, {2, 0, 0, 0, 0, 0, 0, 0}, {3, 0, 0, 0, 0, 0, 0, 0},
                               {4, 5, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {5, 0, 0, 0, 0, 0, 0, 0},
                               {255, 0, 0, 0, 0, 0, 0, 0}});
  ListPageUnits list;
  list.load(image.data(), static_cast<int32_t>(image.size()));
  const auto rows = list.rows();
  const char* kinds[] = {"串口配置", "网络配置", "网络端口", "保持寄存器配置", "未知", "未知", "未知"};
  ASSERT_EQ(rows.size(), 7u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].index, std::to_string(i));
    EXPECT_EQ(rows[i].kind, kinds[i]);
    EXPECT_EQ(rows[i].parameters, describeUnit(unitAt(image.data(), static_cast<int32_t>(i))));
  }
  list.load(image.data(), 0);
  EXPECT_TRUE(list.rows().empty());
}

TEST(ListPageUnits, StoresExactlyItsWholeUnitsOrKeepsAnImageTooBigForTheBuffer) {
  Bytes image = imageOf({{0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x00, 0x00}});
  image.insert(image.end(), {1, 2, 3, 4, 5});
  ListPageUnits list;
  list.load(image.data(), 13);
  EXPECT_EQ(list.rows().size(), 1u);
  // The buffer's own content is not consulted.
  const Bytes other = imageOf({{9, 9, 9, 9, 9, 9, 9, 9}, {8, 8, 8, 8, 8, 8, 8, 8}});
  EXPECT_EQ(storedImage(other, [&](uint8_t* b, int32_t& n, int32_t c) { list.store(b, n, c); }),
            Bytes(image.begin(), image.begin() + 8));

  list.load(nullptr, 24);
  int32_t length = 99;
  Bytes buffer(16);
  list.store(buffer.data(), length, 16);
  EXPECT_EQ(length, 0) << "an empty copy empties the image";

  // Only an opened file can be this long; taking an empty image instead would lose it.
  Bytes big(2056, 0x07);
  list.load(big.data(), static_cast<int32_t>(big.size()));
  EXPECT_EQ(list.rows().size(), 257u);
  Bytes full(2048, 0);
  length = 2048;
  EXPECT_FALSE(list.store(full.data(), length, 2048));
  length = 5;
  EXPECT_TRUE(list.store(nullptr, length, 2048));
  EXPECT_EQ(length, 0);
}
