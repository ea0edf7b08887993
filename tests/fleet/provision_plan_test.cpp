#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fleet/provision_plan.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes units(std::initializer_list<ConfigUnit> list) {
  Bytes out;
  for (const ConfigUnit& u : list) out.insert(out.end(), u.begin(), u.end());
  return out;
}

PlanRow onlyRow(const std::string& csv) {
  const ParsedPlan plan = parsePlan(csv);
  EXPECT_TRUE(plan.ok) << plan.error.text() << "\n" << csv;
  EXPECT_EQ(plan.rows.size(), 1u);
  return plan.ok && !plan.rows.empty() ? plan.rows[0] : PlanRow{};
}

}  // namespace

TEST(ProvisionPlan, ValidTablesAndWhatEachCellBecomes) {
  using K = PlanTarget::Kind;
  struct Case {
    std::string csv;
    K kind;
    std::string hostOrPath;
    int port, baud, dataBits, parityCode, stopBitsCode;
  };
  const std::vector<Case> cases = {
      {"target\ntcp:127.0.0.1:6000\n", K::Tcp, "127.0.0.1", 6000, 9600, 8, 0, 0},
      {"target\r\ntcp:[::1]:1\r\n", K::Tcp, "::1", 1, 9600, 8, 0, 0},
      {"\xEF\xBB\xBFtarget\ntcp:gw-7.lab:65535", K::Tcp, "gw-7.lab", 65535, 9600, 8, 0, 0},  // BOM, no last newline
      {"target\nserial:/dev/ttyUSB0\n", K::Serial, "/dev/ttyUSB0", 0, 9600, 8, 0, 0},
      {"target\n\"serial:/dev/ttyUSB0@19200,7E1.5\"\n", K::Serial, "/dev/ttyUSB0", 0, 19200, 7, 2, 1},
      {"target\n\"serial:/dev/ttyS1@115200,8o2\"\n", K::Serial, "/dev/ttyS1", 0, 115200, 8, 1, 2},
      {"target\n\"serial:/dev/a@b@50,5M1\"\n", K::Serial, "/dev/a@b", 0, 50, 5, 3, 0},
      {"target\n\"serial:COM3@4000000,6S2\"\n", K::Serial, "COM3", 0, 4000000, 6, 4, 2},
      {"target\ntcp:b\xC3\xBC" "cher.lab:80\n", K::Tcp, "b\xC3\xBC" "cher.lab", 80, 9600, 8, 0, 0},  // UTF-8 is no control character
  };
  for (const Case& c : cases) {
    const PlanRow row = onlyRow(c.csv);
    const PlanTarget& t = row.target;
    EXPECT_EQ(std::tie(t.kind, t.kind == K::Tcp ? t.host : t.path, t.port, t.baud, t.dataBits, t.parityCode,
                       t.stopBitsCode),
              std::tie(c.kind, c.hostOrPath, c.port, c.baud, c.dataBits, c.parityCode, c.stopBitsCode))
        << c.csv;
    // Written as a plan writes a target (in the report), it reads back the same.
    const PlanTarget back = onlyRow("target\n\"" + targetText(t) + "\"\n").target;
    EXPECT_EQ(std::tie(back.kind, back.host, back.path, back.port, back.baud, back.dataBits, back.parityCode,
                       back.stopBitsCode),
              std::tie(t.kind, t.host, t.path, t.port, t.baud, t.dataBits, t.parityCode, t.stopBitsCode))
        << targetText(t);
  }

  // Every column, in any order, quoted cells with commas and doubled quotes,
  // blank lines, and empty cells that keep the template's value.
  const ParsedPlan plan = parsePlan(
      "gateway,server2_port,ip , serial3_baud,set_address,mask,address,target,serial12_baud\r\n"
      "\r\n"
      "10.0.0.1,4001,10.0.0.7,9600,7,255.255.255.0,3,tcp:127.0.0.1:6001,\r\n"
      ",,,,,,,\"serial:/dev/odd,\"\"name\"\"\",1200\n"
      "\n");
  ASSERT_TRUE(plan.ok) << plan.error.text();
  ASSERT_EQ(plan.rows.size(), 2u);
  const PlanRow& a = plan.rows[0];
  EXPECT_EQ(a.row, 1);
  EXPECT_EQ(std::tie(a.address, a.setAddress), std::make_tuple(uint8_t{3}, std::optional<uint8_t>{7}));
  EXPECT_EQ(a.ip, (Octets{10, 0, 0, 7}));
  EXPECT_EQ(a.mask, (Octets{255, 255, 255, 0}));
  EXPECT_EQ(a.gateway, (Octets{10, 0, 0, 1}));
  EXPECT_EQ(a.serialBaud, (std::map<int, uint32_t>{{3, 9600}}));
  EXPECT_EQ(a.serverPort, (std::map<int, uint16_t>{{2, 4001}}));
  const PlanRow& b = plan.rows[1];
  EXPECT_EQ(b.row, 2);
  EXPECT_EQ(b.target.path, "/dev/odd,\"name\"");
  EXPECT_EQ(std::tie(b.address, b.setAddress, b.ip, b.mask, b.gateway),
            std::make_tuple(uint8_t{1}, std::optional<uint8_t>{}, std::optional<Octets>{}, std::optional<Octets>{},
                            std::optional<Octets>{}));
  EXPECT_EQ(b.serialBaud, (std::map<int, uint32_t>{{12, 1200}}));
  EXPECT_TRUE(b.serverPort.empty());
}

TEST(ProvisionPlan, RefusalsNameTheRowAndTheColumn) {
  struct Case {
    std::string csv;
    int row;
    std::string column;
  };
  const std::vector<Case> cases = {
      {"", 0, ""},
      {"\n\r\n", 0, ""},
      {"target\n", 0, ""},                                       // no device
      {"address\n1\n", 0, "target"},                             // no target column
      {"target,colour\ntcp:h:1,red\n", 0, "colour"},             // unknown column
      {"target,ip,ip\ntcp:h:1,,\n", 0, "ip"},                    // twice
      {"target,\ntcp:h:1,\n", 0, ""},                            // a column without a name
      {"target,serial0_baud\ntcp:h:1,9600\n", 0, "serial0_baud"},
      {"target,serial03_baud\ntcp:h:1,9600\n", 0, "serial03_baud"},
      {"target,serial33_baud\ntcp:h:1,9600\n", 0, "serial33_baud"},
      {"target,server1_ports\ntcp:h:1,1\n", 0, "server1_ports"},
      {"target,Target\ntcp:h:1,x\n", 0, "Target"},               // names are exact
      {"target\ntcp:h:1\n\n\"tcp:h:2\n", 2, "target"},           // quote never closed, blank line not counted
      {"target,ip\ntcp:h:1,1.2\"3\n", 1, "ip"},                  // quote inside a cell
      {"target,ip\ntcp:h:1,\"1.2.3.4\"x\n", 1, "ip"},            // text after the closing quote
      {"target,ip\ntcp:h:1,1.2.3.4\rx\n", 1, "ip"},              // lone CR
      {"target,ip\ntcp:h:1\n", 1, "ip"},                         // too few cells
      {"target\ntcp:h:1,extra\n", 1, ""},                        // too many
      {"target,address\n,1\n", 1, "target"},                     // a device needs a target
      {"target\nudp:h:1\n", 1, "target"},
      {"target\ntcp:h\n", 1, "target"},
      {"target\ntcp::1\n", 1, "target"},
      {"target\ntcp:h:0\n", 1, "target"},
      {"target\ntcp:h:65536\n", 1, "target"},
      {"target\ntcp:::1:5\n", 1, "target"},                      // IPv6 without brackets
      {"target\ntcp:a b:5\n", 1, "target"},
      // Control characters in a host or a device path (found by fuzzing): a
      // NUL cut the name short where it was opened and written back, so
      // "/dev/ttyUSB0<NUL>b" opened /dev/ttyUSB0 while apply took it for
      // another port than "/dev/ttyUSB0".
      {std::string("target\ntcp:h\0x:1\n", 17), 1, "target"},
      {std::string("target\nserial:/dev/ttyUSB0\0b\n", 29), 1, "target"},
      {"target\n\"serial:/dev/tty\nUSB0@9600\"\n", 1, "target"},
      {"target\ntcp:h\x1B[0m:1\n", 1, "target"},
      {"target\nserial:/dev/tty\x7FS0\n", 1, "target"},
      {"target\nserial:\n", 1, "target"},
      {"target\nserial:/dev/x@\n", 1, "target"},
      {"target\nserial:/dev/x@49\n", 1, "target"},
      {"target\n\"serial:/dev/x@9600,9N1\"\n", 1, "target"},
      {"target\n\"serial:/dev/x@9600,8X1\"\n", 1, "target"},
      {"target\n\"serial:/dev/x@9600,8N3\"\n", 1, "target"},
      {"target\n\"serial:/dev/x@9600,8N\"\n", 1, "target"},
      {"target,address\ntcp:h:1,1\ntcp:h:2,0\n", 2, "address"},
      {"target,address\ntcp:h:1,256\n", 1, "address"},
      {"target,set_address\ntcp:h:1,-1\n", 1, "set_address"},
      {"target,ip\ntcp:h:1,1.2.3\n", 1, "ip"},
      {"target,mask\ntcp:h:1,255.255.255.256\n", 1, "mask"},
      {"target,gateway\ntcp:h:1,1.2.3.4.5\n", 1, "gateway"},
      {"target,gateway\ntcp:h:1,1..3.4\n", 1, "gateway"},
      {"target,serial1_baud\ntcp:h:1,0\n", 1, "serial1_baud"},
      {"target,serial1_baud\ntcp:h:1,4294967296\n", 1, "serial1_baud"},
      {"target,server1_port\ntcp:h:1,65536\n", 1, "server1_port"},
      {"target,server1_port\ntcp:h:1,0x10\n", 1, "server1_port"},
  };
  for (const Case& c : cases) {
    const ParsedPlan plan = parsePlan(c.csv);
    EXPECT_FALSE(plan.ok) << ::testing::PrintToString(c.csv);
    EXPECT_EQ(std::tie(plan.error.row, plan.error.column), std::tie(c.row, c.column))
        << ::testing::PrintToString(c.csv) << " -> " << plan.error.text();
    EXPECT_FALSE(plan.error.reason.empty());
  }
  EXPECT_EQ(parsePlan("target,ip\ntcp:h:1,x\n").error.text(), "row 1, column ip: must be four dotted numbers 0-255");
  EXPECT_EQ(parsePlan("target,x\n").error.text(), "header, column x: unknown column");
}

namespace {

// Two network ports (0 and 1), a second IP unit of port 0 later on, a
// virtual interface 1 of port 0, its serial number, two units of data
// port 2, two server ports and a unit of unknown kind.
const Bytes kTemplate = units({
    encodeSerialPort({2, 9600, 8, 0, 0, 0x0D}),
    encodeNetworkAddress({0, 0, kFieldIp, {192, 0, 2, 1}}),
    encodeNetworkAddress({0, 0, kFieldMask, {255, 255, 0, 0}}),
    encodeNetworkAddress({1, 0, kFieldIp, {198, 51, 100, 1}}),
    encodeNetworkAddress({0, 1, kFieldGateway, {192, 0, 2, 254}}),
    encodeNetworkAddress({0, 0, kFieldSerialNumber, {1, 2, 3, 4}}),
    encodeServerPort({0, 3000, kServerModbusTcp}),
    {0x7E, 1, 2, 3, 4, 5, 6, 7},
    encodeSerialPort({2, 19200, 7, 1, 2, 0x01}),
    encodeServerPort({1, 3001, kServer55Protocol}),
    encodeNetworkAddress({0, 0, kFieldIp, {192, 0, 2, 9}}),
});

PlanRow rowWith(void (*set)(PlanRow&)) {
  PlanRow row;
  row.row = 4;
  set(row);
  return row;
}

}  // namespace

// Each override changes exactly the units it names; the expected image is
// the template with those units rewritten by hand.
TEST(ProvisionPlan, DeviceImageChangesOnlyTheNamedUnits) {
  struct Case {
    const char* what;
    PlanRow row;
    std::vector<std::pair<size_t, ConfigUnit>> replaced;
    std::vector<ConfigUnit> appended;
  };
  const std::vector<Case> cases = {
      {"nothing", rowWith([](PlanRow&) {}), {}, {}},
      {"ip: both IP units of port 0, virtual 0",
       rowWith([](PlanRow& r) { r.ip = Octets{10, 1, 2, 3}; }),
       {{1, encodeNetworkAddress({0, 0, kFieldIp, {10, 1, 2, 3}})},
        {10, encodeNetworkAddress({0, 0, kFieldIp, {10, 1, 2, 3}})}},
       {}},
      {"mask", rowWith([](PlanRow& r) { r.mask = Octets{255, 255, 255, 0}; }),
       {{2, encodeNetworkAddress({0, 0, kFieldMask, {255, 255, 255, 0}})}}, {}},
      {"gateway: port 0 has none on virtual 0, so one is appended",
       rowWith([](PlanRow& r) { r.gateway = Octets{10, 0, 0, 1}; }), {},
       {encodeNetworkAddress({0, 0, kFieldGateway, {10, 0, 0, 1}})}},
      {"baud: the later unit of data port 2, other fields kept",
       rowWith([](PlanRow& r) { r.serialBaud[2] = 57600; }),
       {{8, encodeSerialPort({2, 57600, 7, 1, 2, 0x01})}}, {}},
      {"server port 2 is the second in image order",
       rowWith([](PlanRow& r) { r.serverPort[2] = 4002; }),
       {{9, encodeServerPort({1, 4002, kServer55Protocol})}}, {}},
      {"address and target are not in the image",
       rowWith([](PlanRow& r) {
         r.address = 9;
         r.setAddress = 10;
         r.target.port = 1;
       }),
       {}, {}},
  };
  for (const Case& c : cases) {
    Bytes expected = kTemplate;
    for (const auto& [index, unit] : c.replaced) std::copy(unit.begin(), unit.end(), expected.begin() + index * 8);
    for (const ConfigUnit& unit : c.appended) expected.insert(expected.end(), unit.begin(), unit.end());
    const DeviceImage out = deviceImage(kTemplate, c.row);
    EXPECT_TRUE(out.ok) << c.what << ": " << out.error.text();
    EXPECT_EQ(out.image, expected) << c.what;
  }

  // An image without any address unit of port 0 gets all three, IP first.
  const PlanRow all = rowWith([](PlanRow& r) {
    r.ip = Octets{10, 0, 0, 5};
    r.mask = Octets{255, 0, 0, 0};
    r.gateway = Octets{10, 0, 0, 1};
  });
  const Bytes bare = units({encodeServerPort({0, 3000, 0})});
  EXPECT_EQ(deviceImage(bare, all).image,
            units({encodeServerPort({0, 3000, 0}), encodeNetworkAddress({0, 0, kFieldIp, {10, 0, 0, 5}}),
                   encodeNetworkAddress({0, 0, kFieldMask, {255, 0, 0, 0}}),
                   encodeNetworkAddress({0, 0, kFieldGateway, {10, 0, 0, 1}})}));
}

TEST(ProvisionPlan, DeviceImageRefusesWhatTheTemplateLacks) {
  struct Case {
    Bytes image;
    PlanRow row;
    std::string column;
  };
  const Bytes full(2048, 0x7E);
  const std::vector<Case> cases = {
      {kTemplate, rowWith([](PlanRow& r) { r.serialBaud[1] = 9600; }), "serial1_baud"},
      {kTemplate, rowWith([](PlanRow& r) { r.serverPort[3] = 1; }), "server3_port"},
      {Bytes(12, 0), rowWith([](PlanRow&) {}), ""},                                       // not whole units
      {full, rowWith([](PlanRow& r) { r.ip = Octets{10, 0, 0, 1}; }), ""},                // over 2048 bytes
  };
  for (const Case& c : cases) {
    const DeviceImage out = deviceImage(c.image, c.row);
    EXPECT_FALSE(out.ok) << c.column;
    EXPECT_EQ(std::tie(out.error.row, out.error.column), std::make_tuple(4, c.column)) << out.error.text();
  }
  EXPECT_EQ(deviceImage(kTemplate, rowWith([](PlanRow& r) { r.serverPort[3] = 1; })).error.text(),
            "row 4, column server3_port: the template has 2 server ports, not 3");
}
