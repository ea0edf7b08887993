// The .vmc files velmora-cli takes in, and the dump of their units.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/cli_files.h"

using namespace velmora::cli;
using Bytes = std::vector<uint8_t>;

namespace {

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "velmora_cli_files_" + std::to_string(::getpid()) + "_" + name;
}

std::string writeTemp(const std::string& name, const Bytes& bytes) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

TEST(CliFiles, ReadsAnyLengthUpToOneMebibyteAndRefusesTheRestWithTheWindowsTexts) {
  const Bytes odd{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const std::string a = writeTemp("odd.vmc", odd);
  FileBytes f = readConfigFile(a);
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.bytes, odd) << "no length check: the bytes as they are";

  const std::string limit = writeTemp("limit.vmc", Bytes(1024 * 1024, 0x5A));
  EXPECT_EQ(readConfigFile(limit).bytes.size(), 1024u * 1024u);
  const std::string over = writeTemp("over.vmc", Bytes(1024 * 1024 + 1, 0x5A));
  f = readConfigFile(over);
  EXPECT_EQ(f.error, "打开文件失败");
  EXPECT_TRUE(f.bytes.empty());

  const std::string empty = writeTemp("empty.vmc", {});
  EXPECT_EQ(readConfigFile(empty).error, "打开文件为空");
  EXPECT_EQ(readConfigFile(tempPath("missing.vmc")).error, "打开文件失败");
  EXPECT_EQ(readConfigFile(::testing::TempDir()).error, "打开文件失败") << "a directory";
  EXPECT_EQ(readConfigFile("").error, "打开文件失败");
  for (const std::string& p : {a, limit, over, empty}) std::remove(p.c_str());
}

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
