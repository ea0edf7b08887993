// The dump of a .vmc file's units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_files.h"

using namespace velmora::cli;
using Bytes = std::vector<uint8_t>;

TEST(CliFiles, DumpShowsWholeUnitsNumberedFromZero) {
  const Bytes image{0x02, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00,  // network mask
                    0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x00, 0x00,  // server port
                    0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x01,  // holding registers
                    0x09, 0x09};                                      // a partial unit
  EXPECT_EQ(dumpText(image),
            "0\t网络配置\t网络口0 (虚拟1): 掩码=255.255.255.0\n"
            "1\t网络端口\t网口1: 端口=3000, 协议=无协议\n"
            "2\t保持寄存器配置\t全局整数: 使能=开, 地址=1600, 数量=100, 位数=全字\n");
  EXPECT_EQ(dumpText(Bytes{1, 2, 3}), "");
}
