#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/image_check.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

namespace {

Bytes image(std::initializer_list<ConfigUnit> units, Bytes trailing = {}) {
  Bytes out;
  for (const ConfigUnit& u : units) out.insert(out.end(), u.begin(), u.end());
  out.insert(out.end(), trailing.begin(), trailing.end());
  return out;
}

ConfigUnit holding(uint8_t group, uint8_t enable, uint16_t address, uint16_t count) {
  return encodeHoldingRegister({group, enable, address, count, 0});
}
ConfigUnit net(uint8_t port, uint8_t field, Octets value, uint8_t virtualIndex = 0) {
  return encodeNetworkAddress({port, virtualIndex, field, value});
}
ConfigUnit server(uint16_t port) { return encodeServerPort({0, port, kServer55Protocol}); }
ConfigUnit serial(uint8_t port, uint32_t baud = 9600, uint8_t dataBits = 8) {
  return encodeSerialPort({port, baud, dataBits, 0, 0, kNewDataPortProtocols});
}

// "error holding_overlap 0,1": what a case expects, without the wording.
Lines summary(const Bytes& bytes) {
  Lines out;
  for (const CheckFinding& f : checkImage(bytes)) {
    std::string units;
    for (int32_t u : f.units) units += (units.empty() ? "" : ",") + std::to_string(u);
    out.push_back(severityText(f.severity, DiffLanguage::English) + " " + f.rule + " " + units);
  }
  return out;
}

struct Case {
  const char* what;
  Bytes bytes;
  Lines expected;
};

void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(summary(c.bytes), c.expected) << c.what;
}

const ConfigUnit kIp{2, 0, 0, 0, 192, 168, 1, 110};
const ConfigUnit kMask{2, 0, 0, 1, 255, 255, 255, 0};
const ConfigUnit kGateway{2, 0, 0, 2, 192, 168, 1, 1};

}  // namespace

TEST(ImageCheck, HoldingRegisters) {
  runCases({
      {"the page's defaults", image({holding(1, 1, 500, 100), holding(2, 1, 1000, 100), holding(3, 1, 1600, 100),
                                     holding(4, 1, 2500, 100), holding(5, 1, 0, 0)}), {}},
      {"ranges that only touch", image({holding(1, 1, 0, 100), holding(2, 1, 100, 100)}), {}},
      {"overlap", image({holding(1, 1, 100, 20), holding(2, 1, 110, 20)}), {"error holding_overlap 0,1"}},
      {"a disabled group overlaps nothing", image({holding(1, 1, 100, 20), holding(2, 0, 110, 20)}), {}},
      {"three overlapping groups, one finding a pair",
       image({holding(3, 1, 0, 50), holding(1, 1, 10, 10), holding(2, 1, 15, 10)}),
       {"error holding_overlap 0,1", "error holding_overlap 0,2", "error holding_overlap 1,2"}},
      {"the later unit of a group is the one checked",
       image({holding(1, 1, 100, 20), holding(2, 1, 110, 20), holding(2, 1, 200, 20)}), {}},
      {"last register 65535 fits, one more does not",
       image({holding(1, 1, 65500, 36), holding(2, 1, 65000, 537)}), {"error holding_overlap 0,1", "error holding_past_end 1"}},
      {"enabled with count 0; all-enable is a switch, not a range",
       image({holding(4, 1, 7, 0), holding(5, 1, 65535, 9)}), {"warning holding_count_zero 0"}},
  });
}

TEST(ImageCheck, NetworkPorts) {
  runCases({
      {"factory addresses", image({kIp, kMask, kGateway}), {}},
      {"a point-to-point /31 has no network or broadcast address",
       image({net(1, 0, {10, 0, 0, 0}), net(1, 1, {255, 255, 255, 254}), net(1, 2, {10, 0, 0, 1})}), {}},
      {"mask with a hole", image({kIp, net(0, 1, {255, 0, 255, 0}), kGateway}), {"error mask_not_contiguous 1"}},
      {"gateway outside the subnet", image({kIp, kMask, net(0, 2, {192, 168, 2, 1})}),
       {"error gateway_outside_subnet 0,1,2"}},
      {"network and broadcast address, ports beyond 0 too",
       image({net(3, 0, {10, 0, 0, 0}), net(3, 1, {255, 0, 0, 0}), net(3, 2, {10, 0, 0, 1}),
              net(31, 0, {10, 1, 255, 255}), net(31, 1, {255, 255, 0, 0}), net(31, 2, {10, 1, 0, 1})}),
       {"error ip_network_address 0,1", "error ip_broadcast_address 3,4"}},
      {"port 32 is not one the page keeps", image({net(32, 0, {10, 0, 0, 0}), net(32, 1, {255, 0, 255, 0})}), {}},
      {"the later IP wins; a serial number is no address field",
       image({net(0, 0, {192, 168, 1, 0}), kMask, kGateway, kIp, net(0, 3, {1, 2, 3, 4})}), {}},
      {"an IP alone, and a virtual interface with only a mask",
       image({net(2, 0, {10, 0, 0, 5}), net(0, 1, {255, 255, 255, 0}, 1)}),
       {"warning address_incomplete 0", "warning address_incomplete 1"}},
  });
}

TEST(ImageCheck, ServerAndDataPortsUnknownUnitsAndTrailingBytes) {
  runCases({
      {"the simulated device's ports", image({serial(1), serial(2, 115200, 7), server(6000), server(502)}), {}},
      {"a server port twice and port 0", image({server(502), server(0), server(502), server(502)}),
       {"error server_port_duplicate 0,2,3", "warning server_port_zero 1"}},
      {"a data port twice", image({serial(2), serial(3), serial(2)}), {"warning serial_port_duplicate 0,2"}},
      {"odd baud and data bits", image({serial(1, 600, 9), serial(2, 9600, 4), serial(3, 9600, 5)}),
       {"warning data_bits_invalid 0", "warning data_bits_invalid 1", "note baud_unusual 0"}},
      {"unknown kinds and a partial unit", image({ConfigUnit{0}, ConfigUnit{9, 1}}, {0xA1, 0xB2}),
       {"warning trailing_partial ", "note unknown_kind 0", "note unknown_kind 1"}},
      {"errors, warnings, notes, each in image order",
       image({ConfigUnit{7}, serial(5, 9600, 15), server(1), server(1)}),
       {"error server_port_duplicate 2,3", "warning data_bits_invalid 1", "note unknown_kind 0"}},
  });
}

TEST(ImageCheck, WordsInEnglishChineseAndJson) {
  const auto findings = checkImage(image({holding(1, 1, 100, 20), holding(2, 1, 110, 20), kIp,
                                          net(0, 1, {255, 255, 0, 255}), server(502), server(502)}, {0xA1}));
  ASSERT_TRUE(hasErrors(findings));
  Lines en, zh;
  for (const CheckFinding& f : findings) {
    en.push_back(findingLine(f, DiffLanguage::English));
    zh.push_back(findingLine(f, DiffLanguage::Chinese));
  }
  EXPECT_EQ(en, (Lines{"error: holding registers input and output overlap at 110-119",
                       "error: network port 0: mask 255.255.0.255 is not contiguous",
                       "error: server port 502 appears more than once (entries 1, 2)",
                       "warning: network port 0: gateway missing",
                       "warning: 1 byte after the last whole unit (A1) not sent as a unit"}));
  EXPECT_EQ(zh, (Lines{"错误：保持寄存器配置 输入 与 输出 的地址范围重叠（110–119）",
                       "错误：网络配置 0：掩码 255.255.0.255 不连续",
                       "错误：网络端口 502 重复（第 1、2 项）",
                       "警告：网络配置 0：缺少网关",
                       "警告：末尾残余字节（A1）不足一个单元"}));
  EXPECT_EQ(findingsJson({}), "[]");
  EXPECT_EQ(findingsJson({findings[0]}),
            "[\n  {\"severity\":\"error\",\"rule\":\"holding_overlap\",\"units\":[0,1],"
            "\"message\":\"holding registers input and output overlap at 110-119\"}\n]");
  EXPECT_FALSE(hasErrors(checkImage(image({server(0)}))));
}
