#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "config/image_json.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes importOk(const std::string& text) {
  const ImageJsonImport r = importImageJson(text);
  EXPECT_TRUE(r.ok) << r.path << ": " << r.reason;
  return r.image;
}

std::string document(const std::string& units, const std::string& extra = "") {
  return R"({"format": "velmora-config", "version": 1, "units": [)" + units + "]" + extra + "}";
}

void expectRoundTrip(const Bytes& image) {
  const std::string text = exportImageJson(image);
  const ImageJsonImport back = importImageJson(text);
  ASSERT_TRUE(back.ok) << back.path << ": " << back.reason << "\n" << text;
  ASSERT_EQ(back.image, image) << text;
}

}  // namespace

TEST(ImageJson, ExampleDocumentGivesItsBytes) {
  const Bytes image = importOk(R"({
    "format": "velmora-config", "version": 1,
    "units": [
      {"kind": "serial_port", "port": 1, "baud": 9600, "data_bits": 8, "stop_bits": "1", "parity": "none",
       "protocols": ["55", "program_download", "temporary_packets"], "extra_function": "none"},
      {"kind": "network_address", "net_port": 0, "virtual_index": 0, "field": "ip", "value": "192.168.1.110"},
      {"kind": "server_port", "entry_index": 0, "port": 502, "protocols": ["modbus_tcp"]},
      {"kind": "holding_register", "group": "input", "enable": true, "address": 0, "count": 16, "width": "1"},
      {"kind": "unknown", "bytes": "09 01 02 03 04 05 06 07"}
    ],
    "trailing": "A1 B2 C3"})");
  EXPECT_EQ(image, (Bytes{1, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D,  2, 0, 0, 0, 192, 168, 1, 110,
                          3, 0, 0x01, 0xF6, 0, 0, 0, 0x04,    4, 1, 1, 0, 0, 0, 16, 0,
                          9, 1, 2, 3, 4, 5, 6, 7,             0xA1, 0xB2, 0xC3}));
}

// Each kind's odd values: the unit, its object as exported, and back.
TEST(ImageJson, OddValuesKeepTheirStoredBytes) {
  const struct {
    Bytes unit;
    std::string json;
  } cases[] = {
      {{1, 255, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       R"({"kind":"serial_port","port":255,"baud":4294967295,"data_bits":15,"stop_bits":"0x3","parity":"mark",)"
       R"("protocols":["55","modbus_rtu","program_download","temporary_packets"],"extra_function":"0xf"})"},
      {{1, 3, 0, 0, 0x25, 0x80, 0x86, 0x12},
       R"({"kind":"serial_port","port":3,"baud":9600,"data_bits":8,"stop_bits":"1.5","parity":"odd",)"
       R"("protocols":["modbus_rtu"],"extra_function":"remote_control"})"},
      {{2, 1, 2, 7, 0, 0, 0, 0},
       R"({"kind":"network_address","net_port":1,"virtual_index":2,"field":"0x07","value":"0.0.0.0"})"},
      {{2, 0, 0, 3, 1, 2, 3, 4},
       R"({"kind":"network_address","net_port":0,"virtual_index":0,"field":"serial_number","value":"1.2.3.4"})"},
      {{3, 9, 0xFF, 0xFF, 0x80, 0, 0x01, 0x1F},
       R"({"kind":"server_port","entry_index":9,"port":65535,)"
       R"("protocols":["55","modbus_rtu","modbus_tcp","program_download","temporary_packets"],"other_bits":"0x80000100"})"},
      {{4, 3, 0, 0x06, 0x40, 0, 0x64, 1},
       R"({"kind":"holding_register","group":"global_integer","enable":false,"address":1600,"count":100,"width":"full_word"})"},
      {{4, 9, 5, 0, 0, 0, 0, 2},
       R"({"kind":"holding_register","group":"0x09","enable":"0x05","address":0,"count":0,"width":"0x02"})"},
      {{4, 0, 1, 0, 0, 0, 0, 1},
       R"({"kind":"holding_register","group":"0x00","enable":true,"address":0,"count":0,"width":"16"})"},
      {{0, 0, 0, 0, 0, 0, 0, 0xAB}, R"({"kind":"unknown","bytes":"00 00 00 00 00 00 00 AB"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(unitJson(c.unit.data()), c.json);
    EXPECT_EQ(importOk(document(c.json)), c.unit);
  }
}

TEST(ImageJson, ExportLayout) {
  EXPECT_EQ(exportImageJson({3, 0, 0x01, 0xF6, 0, 0, 0, 4, 0xA1}),
            "{\n  \"format\": \"velmora-config\",\n  \"version\": 1,\n  \"units\": [\n"
            "    {\"kind\": \"server_port\", \"entry_index\": 0, \"port\": 502, \"protocols\": [\"modbus_tcp\"]}\n"
            "  ],\n  \"trailing\": \"A1\"\n}\n");
  EXPECT_EQ(exportImageJson({}), "{\n  \"format\": \"velmora-config\",\n  \"version\": 1,\n  \"units\": []\n}\n");
}

TEST(ImageJson, RoundTripOfCorpusFilesAndRandomImages) {
  int files = 0;
  for (const auto& dir : std::filesystem::directory_iterator(VELMORA_SOURCE_DIR "/fuzz/corpus")) {
    for (const auto& file : std::filesystem::directory_iterator(dir.path())) {
      std::ifstream in(file.path(), std::ios::binary);
      const Bytes image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      SCOPED_TRACE(file.path().string());
      expectRoundTrip(image);
      ++files;
    }
  }
  EXPECT_GT(files, 10);

  std::mt19937 random(20240611);
  // Every length up to a full image and a partial unit; mostly short ones,
  // so the run stays quick under the sanitizers.
  for (int n = 0; n < 3000; ++n) {
    Bytes image(random() % (n % 10 == 0 ? 2048 + 8 : 136));
    for (size_t i = 0; i < image.size(); ++i) {
      // Mostly the four known kinds, so their odd values are hit often.
      image[i] = static_cast<uint8_t>(i % 8 == 0 && random() % 8 != 0 ? 1 + random() % 4 : random());
    }
    expectRoundTrip(image);
  }
}

TEST(ImageJson, RefusesWithPathAndReason) {
  const auto serial = [](const std::string& baud, const std::string& stop = "\"1\"") {
    return R"({"kind": "serial_port", "port": 1, "baud": )" + baud + R"(, "data_bits": 8, "stop_bits": )" + stop +
           R"(, "parity": "none", "protocols": [], "extra_function": "none"})";
  };
  const struct {
    std::string text, path, reason;
  } cases[] = {
      {"{", "$", "not valid JSON: "},
      {"[]", "$", "must be an object"},
      {R"({"format": "velmora-config", "version": 1})", "$", "missing member \"units\""},
      {R"({"format": "other", "version": 1, "units": []})", "$.format", "must be \"velmora-config\""},
      {R"({"format": "velmora-config", "version": 2, "units": []})", "$.version",
       "version 2 is newer than this tool reads (1)"},
      {R"({"format": "velmora-config", "version": 0, "units": []})", "$.version", "must be the integer 1"},
      {document("", R"(, "extra": 1)"), "$", "unknown member \"extra\""},
      {document("", R"(, "trailing": "A1 B2 C3 D4 E5 F6 07 08")"), "$.trailing", "at most 7 hex bytes"},
      {document(R"({"kind": "serial_port", "port": 1, "port": 2})"), "$", "duplicate member \"port\""},
      {document("7"), "$.units[0]", "must be an object"},
      {document(R"({"kind": "modem"})"), "$.units[0].kind", "unknown kind \"modem\""},
      {document(serial("9600, \"bad\": 1")), "$.units[0]", "unknown member \"bad\""},
      {document(R"({"kind": "server_port", "entry_index": 0, "protocols": []})"), "$.units[0]",
       "missing member \"port\""},
      {document(R"({"kind": "unknown", "bytes": "00"})"), "$.units[0].bytes", "must be 8 hex bytes"},
      {document(serial("9600") + R"(, {"kind": "serial_port"})"), "$.units[1]", "missing member \"port\""},
      {document(serial("4294967296")), "$.units[0].baud", "must be an integer 0-4294967295"},
      {document(serial("\"9600\"")), "$.units[0].baud", "must be an integer 0-4294967295"},
      {document(serial("9600", "\"3\"")), "$.units[0].stop_bits", "unknown value \"3\""},
      {document(serial("9600", "\"0x4\"")), "$.units[0].stop_bits", "out of range"},
      {document(R"({"kind": "server_port", "entry_index": 0, "port": 65536, "protocols": []})"),
       "$.units[0].port", "must be an integer 0-65535"},
      {document(R"({"kind": "server_port", "entry_index": -1, "port": 1, "protocols": []})"),
       "$.units[0].entry_index", "must be an integer 0-255"},
      {document(R"({"kind": "server_port", "entry_index": 0, "port": 1.5, "protocols": []})"),
       "$.units[0].port", "must be an integer 0-65535"},
      {document(R"({"kind": "server_port", "entry_index": 0, "port": 1, "protocols": ["55", "x"]})"),
       "$.units[0].protocols[1]", "unknown protocol \"x\""},
      {document(R"({"kind": "server_port", "entry_index": 0, "port": 1, "protocols": ["55", "55"]})"),
       "$.units[0].protocols[1]", "duplicate protocol \"55\""},
      {document(R"({"kind": "server_port", "entry_index": 0, "port": 1, "protocols": [], "other_bits": "0x01"})"),
       "$.units[0].other_bits", "without the protocol bits"},
      {document(R"({"kind": "network_address", "net_port": 0, "virtual_index": 0, "field": "ip", "value": "1.2.3"})"),
       "$.units[0].value", "dotted quad"},
      {document(R"({"kind": "network_address", "net_port": 0, "virtual_index": 0, "field": "ip", "value": "1.2.3.256"})"),
       "$.units[0].value", "dotted quad"},
      {document(R"({"kind": "network_address", "net_port": 0, "virtual_index": 0, "field": "0x100", "value": "1.2.3.4"})"),
       "$.units[0].field", "out of range"},
      {document(R"({"kind": "holding_register", "group": "input", "enable": 1, "address": 0, "count": 0, "width": "1"})"),
       "$.units[0].enable", "must be true, false"},
      {document(R"({"kind": "holding_register", "group": "input", "enable": true, "address": 0, "count": 0, "width": "full_word"})"),
       "$.units[0].width", "unknown value \"full_word\""},
      {document(R"({"kind": "unknown", "bytes": "01 00 00 00 00 00 00 00"})"), "$.units[0].bytes", "known kind"},
      {document(R"({"kind": "unknown", "bytes": "0G 00 00 00 00 00 00 00"})"), "$.units[0].bytes", "hex bytes"},
      {std::string(1 << 20, ' ') + "{}", "$", "larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    const ImageJsonImport r = importImageJson(c.text);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.image.empty());
    EXPECT_EQ(r.path, c.path);
    EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
    EXPECT_EQ(r.reason.find('\n'), std::string::npos) << r.reason;
  }
}

// The window and velmora-cli tell a document from a .vmc by one rule: the
// name, or else the first byte that is not a blank.
TEST(ImageJson, ConfigurationFilesAreDocumentsByNameOrByTheirFirstByte) {
  const Bytes image = {1, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D};
  const std::string text = exportImageJson(image);
  const Bytes documentBytes(text.begin(), text.end());
  Bytes indented = {' ', '\r', '\n', '\t'};
  indented.insert(indented.end(), documentBytes.begin(), documentBytes.end());
  for (const auto& [path, bytes] : {std::pair<std::string, Bytes>{"plant.json", documentBytes},
                                    {"PLANT.Json", documentBytes},
                                    {"plant.cfg", documentBytes},
                                    {"plant", indented}}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(isJsonDocument(path, bytes));
    const ImageJsonImport loaded = loadConfigurationBytes(path, bytes);
    EXPECT_TRUE(loaded.ok) << loaded.path << ": " << loaded.reason;
    EXPECT_EQ(loaded.image, image);
  }
  // Bytes of a .vmc stay as they are, whatever they hold; a .json name makes them a document.
  for (const Bytes& bytes : {image, Bytes{' ', 1, '{'}, Bytes{0x7A, '{'}}) {
    EXPECT_FALSE(isJsonDocument("plant.vmc", bytes));
    const ImageJsonImport loaded = loadConfigurationBytes("plant.vmc", bytes);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.image, bytes);
  }
  const ImageJsonImport refused = loadConfigurationBytes("plant.json", image);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.path, "$");
  EXPECT_FALSE(loadConfigurationBytes("x.vmc", Bytes{'{', '}'}).ok) << "a document by its first byte";
}
