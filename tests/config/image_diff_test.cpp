#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "config/image_diff.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

namespace {

const ConfigUnit kSerial2{1, 2, 0, 0, 0x25, 0x80, 0x80, 0x0D};  // 9600 8N1, 55/download/temporary
const ConfigUnit kSerial2Fast{1, 2, 0, 1, 0xC2, 0x00, 0x80, 0x0D};  // 115200
const ConfigUnit kSerial3{1, 3, 0, 0, 0x25, 0x80, 0x80, 0x0D};
const ConfigUnit kIp{2, 0, 0, 0, 192, 168, 1, 110};
const ConfigUnit kMask1{2, 0, 1, 1, 255, 255, 255, 0};
const ConfigUnit kServer502{3, 0, 0x01, 0xF6, 0, 0, 0, 0x04};
const ConfigUnit kServer3000{3, 1, 0x0B, 0xB8, 0, 0, 0, 0x01};
const ConfigUnit kInput{4, 1, 1, 0, 0, 0, 16, 0};
const ConfigUnit kUnknown{9, 1, 2, 3, 4, 5, 6, 7};

Bytes image(std::initializer_list<ConfigUnit> units, Bytes trailing = {}) {
  Bytes out;
  for (const ConfigUnit& u : units) out.insert(out.end(), u.begin(), u.end());
  out.insert(out.end(), trailing.begin(), trailing.end());
  return out;
}

ConfigUnit with(ConfigUnit unit, size_t at, uint8_t value) {
  unit[at] = value;
  return unit;
}

Lines english(const Bytes& a, const Bytes& b) { return diffLines(diffImages(a, b), DiffLanguage::English); }
Lines chinese(const Bytes& a, const Bytes& b) { return diffLines(diffImages(a, b), DiffLanguage::Chinese); }

}  // namespace

TEST(ImageDiff, SameSettingsInAnotherOrderAreNoDifference) {
  const Bytes a = image({kSerial2, kIp, kServer502, kServer3000, kInput, kUnknown, kSerial3, kMask1}, {0xA1});
  const Bytes b = image({kMask1, kInput, kSerial3, kServer502, kUnknown, kIp, kServer3000, kSerial2}, {0xA1});
  EXPECT_TRUE(diffImages(a, b).empty());
  EXPECT_TRUE(diffImages({}, {}).empty());
  // Server ports are matched by position, so their order is a difference.
  EXPECT_FALSE(diffImages(image({kServer502, kServer3000}), image({kServer3000, kServer502})).empty());
}

// Every field of every kind, changed alone, gives one line naming it.
TEST(ImageDiff, EachFieldChangedGivesOneLine) {
  const struct {
    ConfigUnit before, after;
    std::string line;
  } cases[] = {
      {kSerial2, with(kSerial2, 5, 0x81), "serial port 2: baud 9600 → 9601"},
      {kSerial2, with(kSerial2, 6, 0x70), "serial port 2: data bits 8 → 7"},
      {kSerial2, with(kSerial2, 6, 0x84), "serial port 2: stop bits 1 → 1.5"},
      {kSerial2, with(kSerial2, 6, 0x8C), "serial port 2: stop bits 1 → 0x3"},
      {kSerial2, with(kSerial2, 6, 0x81), "serial port 2: parity none → even"},
      {kSerial2, with(kSerial2, 7, 0x05), "serial port 2: protocols 55 protocol, program download, temporary packets → "
                                          "55 protocol, program download"},
      {kSerial2, with(kSerial2, 7, 0x2D), "serial port 2: extra function none → Modbus TCP"},
      {kIp, with(kIp, 7, 1), "network port 0 IP 192.168.1.110 → 192.168.1.1"},
      {kMask1, with(kMask1, 7, 128), "network port 0/1 mask 255.255.255.0 → 255.255.255.128"},
      {kServer502, with(kServer502, 3, 0xF7), "server port #1 (502): port 502 → 503"},
      {kServer502, with(kServer502, 7, 0x05), "server port #1 (502): protocols Modbus TCP → 55 protocol, Modbus TCP"},
      {kServer502, with(kServer502, 6, 0x01), "server port #1 (502): other bits 0x00000000 → 0x00000100"},
      {kServer502, with(kServer502, 1, 4), "server port #1 (502): entry index 0 → 4"},
      {kInput, with(kInput, 2, 0), "holding registers input: enable on → off"},
      {kInput, with(kInput, 4, 7), "holding registers input: address 0 → 7"},
      {kInput, with(kInput, 6, 32), "holding registers input: count 16 → 32"},
      {kInput, with(kInput, 7, 1), "holding registers input: width 1 → 16"},
      {kInput, with(kInput, 7, 2), "holding registers input: width 1 → 0x02"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(english(image({kUnknown, c.before}), image({c.after, kUnknown})), Lines{c.line});
  }
}

TEST(ImageDiff, AddedRemovedDuplicatesAndTrailing) {
  // Removed in the first image's order, then added.
  EXPECT_EQ(english(image({kSerial2, kSerial3, kServer502, kIp}), image({kSerial2, kServer502, kServer3000, kUnknown})),
            (Lines{"serial port 3 removed", "network port 0 IP 192.168.1.110 removed", "server port 3000 added",
                   "unknown unit 09 01 02 03 04 05 06 07 added"}));
  // A key twice on one side and once on the other: the second is the difference.
  EXPECT_EQ(english(image({kSerial2, kSerial2Fast}), image({kSerial2})), Lines{"serial port 2 removed"});
  EXPECT_EQ(english(image({kSerial2, kSerial2Fast}), image({kSerial2Fast})),
            (Lines{"serial port 2: baud 9600 → 115200", "serial port 2 removed"}));
  EXPECT_EQ(english(image({kUnknown}), image({kUnknown, kUnknown})), Lines{"unknown unit 09 01 02 03 04 05 06 07 added"});
  EXPECT_EQ(english(image({kInput}, {0xA1, 0xB2}), image({kInput})), Lines{"bytes after the last whole unit: A1 B2 → none"});
  EXPECT_EQ(english(image({}, {0xA1}), image({}, {0xA1, 0x02})), Lines{"bytes after the last whole unit: A1 → A1 02"});
}

TEST(ImageDiff, ChineseLines) {
  EXPECT_EQ(chinese(image({kSerial2}), image({kSerial2Fast})),
            Lines{"串口配置 2：波特率 9600 → 115200"});
  EXPECT_EQ(chinese(image({kSerial2}), image({with(kSerial2, 6, 0x81)})), Lines{"串口配置 2：校验位 无校验 → 偶校验"});
  EXPECT_EQ(chinese(image({kSerial2}), image({with(kSerial2, 7, 0x1D)})),
            Lines{"串口配置 2：附加 无附加功能 → 远程控制"});
  EXPECT_EQ(chinese(image({kSerial2}), image({with(kSerial2, 7, 0x00)})),
            Lines{"串口配置 2：协议 55协议 程序下载 临时数据包 → 无协议"});
  EXPECT_EQ(chinese(image({}), image({kServer502})), Lines{"网络端口 502：新增"});
  EXPECT_EQ(chinese(image({kServer502}), image({})), Lines{"网络端口 502：删除"});
  EXPECT_EQ(chinese(image({kServer502}), image({with(kServer502, 3, 0xF7)})),
            Lines{"网络端口 #1 (502)：端口号 502 → 503"});
  EXPECT_EQ(chinese(image({kIp}), image({with(with(kIp, 4, 10), 5, 0)})), Lines{"网络配置 0 IP：192.168.1.110 → 10.0.1.110"});
  EXPECT_EQ(chinese(image({kInput}), image({with(kInput, 2, 0)})), Lines{"保持寄存器配置 输入：使能 开 → 关"});
  EXPECT_EQ(chinese(image({}, {0xA1}), image({})), Lines{"末尾残余字节：A1 → 无"});
}

TEST(ImageDiff, JsonParsesBackWithTheDocumentsTypes) {
  const Bytes a = image({kSerial2, kInput, kServer502}, {0xA1, 0xB2});
  const Bytes b = image({kSerial2Fast, with(kInput, 2, 0), kServer502, kServer3000});
  const nlohmann::json j = nlohmann::json::parse(diffJson(diffImages(a, b)));
  ASSERT_TRUE(j.is_array());
  ASSERT_EQ(j.size(), 4u);
  EXPECT_EQ(j[0], nlohmann::json::parse(R"({"change": "changed", "field": "baud", "before": 9600, "after": 115200,
      "unit": {"kind": "serial_port", "port": 2, "baud": 9600, "data_bits": 8, "stop_bits": "1", "parity": "none",
               "protocols": ["55", "program_download", "temporary_packets"], "extra_function": "none"}})"));
  EXPECT_EQ(j[1]["field"], "enable");
  EXPECT_EQ(j[1]["before"], true);
  EXPECT_EQ(j[1]["after"], false);
  EXPECT_EQ(j[2], nlohmann::json::parse(R"({"change": "added",
      "unit": {"kind": "server_port", "entry_index": 1, "port": 3000, "protocols": ["55"]}})"));
  EXPECT_EQ(j[3], nlohmann::json::parse(R"({"change": "trailing", "before": "A1 B2", "after": ""})"));
  EXPECT_EQ(diffJson(diffImages(a, a)), "[]");
}

// The lines a before/after view is made of: every setting once, its unit's
// key in front, so a line diff of two images shows the settings that differ.
TEST(ImageSettings, OneLinePerSettingWithTheUnitsKeyInFront) {
  const Bytes a = image({kSerial2, kIp, kServer502, kInput, kUnknown}, {0xA1});
  EXPECT_EQ(settingsLines(a, DiffLanguage::English),
            (Lines{"serial port 2: baud 9600", "serial port 2: data bits 8", "serial port 2: stop bits 1",
                   "serial port 2: parity none",
                   "serial port 2: protocols 55 protocol, program download, temporary packets",
                   "serial port 2: extra function none", "network port 0 IP 192.168.1.110",
                   "server port #1: entry index 0", "server port #1: port 502", "server port #1: protocols Modbus TCP",
                   "holding registers input: enable on", "holding registers input: address 0",
                   "holding registers input: count 16", "holding registers input: width 1",
                   "unknown unit 09 01 02 03 04 05 06 07", "bytes after the last whole unit: A1"}));
  EXPECT_TRUE(settingsLines({}, DiffLanguage::English).empty());

  // A changed server-port number keeps the entry's name, so only its line differs.
  const Lines before = settingsLines(image({kServer502}), DiffLanguage::English);
  const Lines after = settingsLines(image({with(kServer502, 3, 0xF7)}), DiffLanguage::English);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(before[i] == after[i], before[i] != "server port #1: port 502") << before[i] << " / " << after[i];

  EXPECT_EQ(settingsLines(image({kSerial2Fast, kServer502}), DiffLanguage::Chinese)[0], "串口配置 2：波特率 115200");
  EXPECT_EQ(settingsLines(image({kIp}), DiffLanguage::Chinese), Lines{"网络配置 0 IP：192.168.1.110"});
  EXPECT_EQ(settingsLines(image({kServer502}), DiffLanguage::Chinese)[1], "网络端口 #1：端口号 502");
}
