#include <gtest/gtest.h>

#include "pages/network_address_records.h"
#include "tests/pages/image_helpers.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
struct Page {
  NetworkAddressRecords records;
  AddressTexts edits = records.showAddress();
  void load(const Bytes& image) {
    if (records.load(image.data(), static_cast<int32_t>(image.size()))) edits = records.showAddress();
  }
  Bytes store(const Bytes& before = {}) {
    return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { records.store(b, n, c, edits); });
  }
};
}  // namespace

// Factory values store nothing; a typed address goes in without the confirm
// button; back at the factory values, the units leave the image again.
TEST(NetworkAddressRecords, OnlyAddressesOtherThanTheFactoryOnesAreStored) {
  Page page;
  EXPECT_EQ(page.edits, (AddressTexts{"192.168.1.110", "255.255.255.0", "192.168.1.1"}));
  const Bytes foreign = imageOf({{1, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D}});
  EXPECT_EQ(page.store(foreign), foreign);
  page.edits.ip = "192.168.1.111";
  const Bytes withUnits = page.store();
  EXPECT_EQ(withUnits, imageOf({{0x02, 0x00, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x6F},
                                {0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                                {0x02, 0x00, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0x01}}));
  page.edits = {"192.168.1.110", "255.255.255.0", "192.168.1.1"};
  EXPECT_TRUE(page.store(withUnits).empty());
}

TEST(NetworkAddressRecords, MalformedEntriesKeepTheFieldAndParsingFollowsTheScanRules) {
  Page page;
  page.edits.ip = "10.0.0.9";
  page.records.captureAddress(page.edits);
  for (const char* bad : {"300.1.1.1", "10.0.0", "", "   ", "a.b.c.d", "10..0.1", "10.0.0.-1", "10 .0.0.1", "1.2.3.256",
                          "-1.1.2.3", "99999999999999999999.1.1.1", "1.2.3.", "1,2,3,4"}) {
    AddressTexts t = page.edits;
    t.ip = bad;
    page.records.captureAddress(t);
    EXPECT_EQ(page.records.record(0).ip, (Octets{10, 0, 0, 9})) << bad;
  }
  // A scan skips blanks before each number, takes a sign, ignores what follows the fourth.
  const std::pair<const char*, Octets> good[] = {
      {"0.0.0.0", {0, 0, 0, 0}},       {"255.255.255.255", {255, 255, 255, 255}}, {"10. 1.+2.3", {10, 1, 2, 3}},
      {"010.001.0.7", {10, 1, 0, 7}},  {"1.2.3.4.5", {1, 2, 3, 4}},             {"-0.1.2.3", {0, 1, 2, 3}},
      {"10.0.0.1xyz", {10, 0, 0, 1}}};
  for (const auto& [text, octets] : good) EXPECT_EQ(parseAddress(text), octets) << text;
  page.edits.ip = "10.0.0.1xyz";
  page.records.captureAddress(page.edits);
  EXPECT_EQ(page.records.showAddress().ip, "10.0.0.1");
  EXPECT_EQ(formatAddress({1, 22, 0, 255}), "1.22.0.255");
}

TEST(NetworkAddressRecords, LoadedPortWithFactoryMaskAndGatewayStoresThreeUnits) {
  Page page;
  page.load(imageOf({{0x02, 0x03, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x05}}));
  EXPECT_EQ(page.edits.ip, "192.168.1.110");  // port 0 is the one shown
  EXPECT_EQ(page.store(), imageOf({{0x02, 0x03, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x05},
                                   {0x02, 0x03, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                                   {0x02, 0x03, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0x01}}));
}

TEST(NetworkAddressRecords, LoadTakesFieldsLaterWinsAndSkipsOtherUnits) {
  Page page;
  page.load(imageOf({{0x02, 0x00, 0x02, 0x01, 255, 255, 0, 0},
                     {0x02, 0x00, 0x02, 0x00, 10, 1, 1, 1},
                     {0x02, 0x00, 0x02, 0x00, 10, 1, 1, 2},
                     {0x02, 0x20, 0x00, 0x00, 10, 9, 9, 9},    // port 32: ignored
                     {0x02, 0x00, 0x00, 0x03, 1, 2, 3, 4},     // serial number: not the page's
                     {0x02, 0x00, 0x00, 0x07, 7, 7, 7, 7}}));  // unknown selector
  EXPECT_EQ(page.edits, (AddressTexts{"10.1.1.2", "255.255.0.0", "192.168.1.1"}));
  EXPECT_EQ(page.records.record(0).virtualIndex, 2);
  EXPECT_EQ(page.records.record(0).netPort, 0);

  // An image without address units changes nothing.
  page.records.captureAddress({"10.1.1.3", "", ""});
  EXPECT_FALSE(page.records.load(imageOf({{0x01, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D}}).data(), 8));
  EXPECT_FALSE(page.records.load(nullptr, 0));
  EXPECT_EQ(page.records.record(0).ip, (Octets{10, 1, 1, 3}));
}

TEST(NetworkAddressRecords, SerialNumberUnitStaysInPlaceThroughStores) {
  Page page;
  const ConfigUnit serialNumber{0x02, 0x00, 0x00, 0x03, 0x12, 0x34, 0x56, 0x78};
  const ConfigUnit dataPort{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D};
  const ConfigUnit oldIp{0x02, 0x00, 0x00, 0x00, 10, 0, 0, 1};
  Bytes image = imageOf({oldIp, serialNumber, dataPort});
  page.load(image);
  for (int i = 0; i < 3; ++i) {
    image = page.store(image);
    ASSERT_EQ(image.size(), 40u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 16), imageOf({serialNumber, dataPort}));
    EXPECT_EQ(Bytes(image.begin() + 16, image.begin() + 24), imageOf({oldIp}));
  }
}
