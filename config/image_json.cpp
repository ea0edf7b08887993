#include "config/image_json.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "base/line_settings.h"
#include "base/text.h"
#include "config/image_json_members.h"
#include "config/image_rules.h"

namespace velmora {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// Value names by stored code; a null entry is a code without a name.
using Names = std::vector<const char*>;
const Names kSerialProtocolNames = {"55", "modbus_rtu", "program_download", "temporary_packets"};
const Names kServerProtocolNames = {"55", "modbus_rtu", "modbus_tcp", "program_download", "temporary_packets"};
const Names kExtraNames = {"none", "remote_control", "modbus_tcp"};
const Names kFieldNames = {"ip", "mask", "gateway", "serial_number"};
const Names kGroupNames = {nullptr, "input", "output", "global_integer", "bit_variable", "all_enable"};
const Names kWordWidthNames = {"half_word", "full_word"};
const Names kBitWidthNames = {"1", "16"};
const Names kKindNames = {"unknown", "serial_port", "network_address", "server_port", "holding_register"};
// The line settings' names, in the order of the codes an image stores.
const Names kStoredStopBitsNames = [] {
  Names names;
  for (int code = 0; code < kStoredStopBitsCodes; ++code) names.push_back(stopBitsName(*stopBitsOfStoredCode(code)));
  return names;
}();
const Names kStoredParityNames = [] {
  Names names;
  for (int code = 0; code < kStoredParityCodes; ++code) names.push_back(parityName(*parityOfStoredCode(code)));
  return names;
}();

constexpr uint32_t kServerNamedBits = 0x1F;
constexpr size_t kMaxDocumentBytes = size_t{1} << 20;

// A stored value the names do not cover is kept as hex, so it survives the
// round trip: one digit for a nibble, two for a byte.
std::string hexValue(uint32_t value, int digits) { return strprintf("0x%0*x", digits, value); }

ordered_json named(uint32_t code, const Names& names, int hexDigits) {
  if (code < names.size() && names[code] != nullptr) return names[code];
  return hexValue(code, hexDigits);
}

ordered_json flagNames(uint32_t flags, const Names& names) {
  ordered_json list = ordered_json::array();
  for (size_t bit = 0; bit < names.size(); ++bit)
    if (flags & (1u << bit)) list.push_back(names[bit]);
  return list;
}

std::string hexBytes(const uint8_t* data, size_t count) { return trim(hexBytesSpaced(data, count)); }

// ---- Reading -------------------------------------------------------------

struct Refusal {
  std::string path;
  std::string reason;
};

[[noreturn]] void refuse(std::string path, std::string reason) { throw Refusal{std::move(path), std::move(reason)}; }

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

std::optional<uint32_t> parseHexValue(const std::string& text, size_t maxDigits) {
  if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t readInteger(const json& v, const std::string& path, uint32_t max) {
  const std::string reason = "must be an integer 0-" + std::to_string(max);
  if (!v.is_number_integer()) refuse(path, reason);
  if (v.is_number_unsigned()) {
    const auto n = v.get<uint64_t>();
    if (n > max) refuse(path, reason);
    return static_cast<uint32_t>(n);
  }
  const auto n = v.get<int64_t>();
  if (n < 0 || n > static_cast<int64_t>(max)) refuse(path, reason);
  return static_cast<uint32_t>(n);
}

std::string expectedNames(const Names& names, uint32_t max) {
  std::string text;
  for (const char* n : names)
    if (n != nullptr) text += inQuotes(n) + ", ";
  return text + "or a stored value 0x0-" + strprintf("0x%x", max);
}

// A name of names, or any stored value up to max as "0x..".
uint32_t readNamed(const json& v, const std::string& path, const Names& names, uint32_t max) {
  if (!v.is_string()) refuse(path, "must be a string: " + expectedNames(names, max));
  const std::string text = v.get<std::string>();
  for (size_t code = 0; code < names.size(); ++code)
    if (names[code] != nullptr && text == names[code]) return static_cast<uint32_t>(code);
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
    const auto value = parseHexValue(text, 8);
    if (!value || *value > max) refuse(path, "malformed or out of range value " + inQuotes(text) + ": " + expectedNames(names, max));
    return *value;
  }
  refuse(path, "unknown value " + inQuotes(text) + ": " + expectedNames(names, max));
}

uint32_t readFlags(const json& v, const std::string& path, const Names& names) {
  if (!v.is_array()) refuse(path, "must be an array of protocol names");
  uint32_t flags = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string at = path + "[" + std::to_string(i) + "]";
    if (!v[i].is_string()) refuse(at, "must be a protocol name");
    const std::string name = v[i].get<std::string>();
    size_t bit = 0;
    while (bit < names.size() && name != names[bit]) ++bit;
    if (bit == names.size()) refuse(at, "unknown protocol " + inQuotes(name));
    if (flags & (1u << bit)) refuse(at, "duplicate protocol " + inQuotes(name));
    flags |= 1u << bit;
  }
  return flags;
}

// Hex bytes as the document writes them ("09 01 02"): two digits each,
// separated by blanks, either case.
std::vector<uint8_t> readHexBytes(const json& v, const std::string& path, size_t minCount, size_t maxCount) {
  const std::string reason = minCount == maxCount
                                 ? "must be " + std::to_string(maxCount) + " hex bytes like \"09 01 02\""
                                 : "must be at most " + std::to_string(maxCount) + " hex bytes like \"A1 B2\"";
  if (!v.is_string()) refuse(path, reason);
  const std::string text = v.get<std::string>();
  std::vector<uint8_t> bytes;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || (i + 2 < text.size() && text[i + 2] != ' ')) refuse(path, reason);
    const auto value = parseHexValue(std::string("0x") + text.substr(i, 2), 2);
    if (!value) refuse(path, reason);
    bytes.push_back(static_cast<uint8_t>(*value));
    i += 2;
  }
  if (bytes.size() < minCount || bytes.size() > maxCount) refuse(path, reason);
  return bytes;
}

Octets readDottedQuad(const json& v, const std::string& path) {
  const auto octets = v.is_string() ? parseDottedAddress(v.get<std::string>()) : std::nullopt;
  if (!octets) refuse(path, "must be a dotted quad like \"192.168.1.110\"");
  return *octets;
}

// The object must have exactly the members named; returns nothing, refuses
// the first unknown member, then the first missing one.
void requireMembers(const json& object, const std::string& path, std::initializer_list<const char*> members) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* m : members) known = known || key == m;
    if (!known) refuse(path, "unknown member " + inQuotes(key));
  }
  for (const char* m : members)
    if (!object.contains(m)) refuse(path, "missing member " + inQuotes(m));
}

ConfigUnit readUnit(const json& u, const std::string& path) {
  if (!u.is_object()) refuse(path, "must be an object");
  if (!u.contains("kind")) refuse(path, "missing member \"kind\"");
  const json& kind = u["kind"];
  if (!kind.is_string()) refuse(path + ".kind", "must be a string naming the kind");
  const std::string name = kind.get<std::string>();
  auto at = [&](const char* member) { return path + "." + member; };

  if (name == "serial_port") {
    requireMembers(u, path, {"kind", "port", "baud", "data_bits", "stop_bits", "parity", "protocols", "extra_function"});
    SerialPortUnit f;
    f.portNumber = static_cast<uint8_t>(readInteger(u["port"], at("port"), 255));
    f.baudRate = readInteger(u["baud"], at("baud"), 0xFFFFFFFFu);
    f.dataBits = static_cast<uint8_t>(readInteger(u["data_bits"], at("data_bits"), 15));
    f.stopBitsCode = static_cast<uint8_t>(readNamed(u["stop_bits"], at("stop_bits"), kStoredStopBitsNames, 3));
    f.parityCode = static_cast<uint8_t>(readNamed(u["parity"], at("parity"), kStoredParityNames, 3));
    const uint32_t protocols = readFlags(u["protocols"], at("protocols"), kSerialProtocolNames);
    const uint32_t extra = readNamed(u["extra_function"], at("extra_function"), kExtraNames, 15);
    f.protocolFlags = static_cast<uint8_t>(protocols | (extra << 4));
    return encodeSerialPort(f);
  }
  if (name == "network_address") {
    requireMembers(u, path, {"kind", "net_port", "virtual_index", "field", "value"});
    NetworkAddressUnit f;
    f.netPort = static_cast<uint8_t>(readInteger(u["net_port"], at("net_port"), 255));
    f.virtualIndex = static_cast<uint8_t>(readInteger(u["virtual_index"], at("virtual_index"), 255));
    f.fieldSelector = static_cast<uint8_t>(readNamed(u["field"], at("field"), kFieldNames, 255));
    f.value = readDottedQuad(u["value"], at("value"));
    return encodeNetworkAddress(f);
  }
  if (name == "server_port") {
    const bool hasOther = u.contains("other_bits");
    if (hasOther) requireMembers(u, path, {"kind", "entry_index", "port", "protocols", "other_bits"});
    else requireMembers(u, path, {"kind", "entry_index", "port", "protocols"});
    ServerPortUnit f;
    f.entryIndex = static_cast<uint8_t>(readInteger(u["entry_index"], at("entry_index"), 255));
    f.port = static_cast<uint16_t>(readInteger(u["port"], at("port"), 65535));
    f.protocolFlags = readFlags(u["protocols"], at("protocols"), kServerProtocolNames);
    if (hasOther) {
      const json& v = u["other_bits"];
      const std::string reason = "must be a 32-bit value \"0x00000100\" without the protocol bits 0-4";
      if (!v.is_string()) refuse(at("other_bits"), reason);
      const auto bits = parseHexValue(v.get<std::string>(), 8);
      if (!bits || (*bits & kServerNamedBits) != 0) refuse(at("other_bits"), reason);
      f.protocolFlags |= *bits;
    }
    return encodeServerPort(f);
  }
  if (name == "holding_register") {
    requireMembers(u, path, {"kind", "group", "enable", "address", "count", "width"});
    HoldingRegisterUnit f;
    f.group = static_cast<uint8_t>(readNamed(u["group"], at("group"), kGroupNames, 255));
    const json& enable = u["enable"];
    if (enable.is_boolean()) f.enable = enable.get<bool>() ? 1 : 0;
    else if (enable.is_string()) f.enable = static_cast<uint8_t>(readNamed(enable, at("enable"), {}, 255));
    else refuse(at("enable"), "must be true, false or a stored value 0x0-0xff");
    f.address = static_cast<uint16_t>(readInteger(u["address"], at("address"), 65535));
    f.count = static_cast<uint16_t>(readInteger(u["count"], at("count"), 65535));
    const Names& widths = f.group == kGroupGlobalInteger ? kWordWidthNames : kBitWidthNames;
    f.widthFlag = static_cast<uint8_t>(readNamed(u["width"], at("width"), widths, 255));
    return encodeHoldingRegister(f);
  }
  if (name == "unknown") {
    requireMembers(u, path, {"kind", "bytes"});
    const std::vector<uint8_t> bytes = readHexBytes(u["bytes"], at("bytes"), kUnitBytes, kUnitBytes);
    // A known kind byte would make it a unit of that kind in disguise.
    if (bytes[0] >= 1 && bytes[0] <= 4) refuse(at("bytes"), "first byte 01-04 is a known kind; write that kind instead");
    ConfigUnit unit;
    std::copy(bytes.begin(), bytes.end(), unit.begin());
    return unit;
  }
  refuse(path + ".kind", "unknown kind " + inQuotes(name));
}

// nlohmann keeps the last of duplicate members silently; a hand-edited
// document with two "baud" members is refused instead.
struct DuplicateCheck {
  std::vector<std::set<std::string>> open;
  std::string duplicate;
  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) open.emplace_back();
    else if (event == json::parse_event_t::object_end && !open.empty()) open.pop_back();
    else if (event == json::parse_event_t::key && !open.empty() && duplicate.empty()) {
      const std::string key = parsed.get<std::string>();
      if (!open.back().insert(key).second) duplicate = key;
    }
    return true;
  }
};

std::vector<uint8_t> readDocument(std::string_view text) {
  if (text.size() > kMaxDocumentBytes) refuse("$", "document larger than 1 MiB");
  DuplicateCheck check;
  json doc;
  try {
    doc = json::parse(text.begin(), text.end(), std::ref(check));
  } catch (const json::exception& e) {
    refuse("$", std::string("not valid JSON: ") + e.what());
  }
  if (!check.duplicate.empty()) refuse("$", "duplicate member " + inQuotes(check.duplicate));
  if (!doc.is_object()) refuse("$", "must be an object");
  for (const auto& [key, value] : doc.items())
    if (key != "format" && key != "version" && key != "units" && key != "trailing")
      refuse("$", "unknown member " + inQuotes(key));
  if (!doc.contains("format")) refuse("$", "missing member \"format\"");
  if (!doc["format"].is_string() || doc["format"].get<std::string>() != kImageJsonFormat)
    refuse("$.format", std::string("must be \"") + kImageJsonFormat + "\"");
  if (!doc.contains("version")) refuse("$", "missing member \"version\"");
  const json& version = doc["version"];
  if (!version.is_number_integer()) refuse("$.version", "must be the integer 1");
  if (version.is_number_unsigned() && version.get<uint64_t>() > static_cast<uint64_t>(kImageJsonVersion))
    refuse("$.version", "version " + version.dump() + " is newer than this tool reads (1)");
  if (version.get<int64_t>() != kImageJsonVersion) refuse("$.version", "must be the integer 1");
  if (!doc.contains("units")) refuse("$", "missing member \"units\"");
  const json& units = doc["units"];
  if (!units.is_array()) refuse("$.units", "must be an array");

  std::vector<uint8_t> image;
  image.reserve(units.size() * kUnitBytes + kUnitBytes);
  for (size_t i = 0; i < units.size(); ++i) {
    const ConfigUnit unit = readUnit(units[i], "$.units[" + std::to_string(i) + "]");
    image.insert(image.end(), unit.begin(), unit.end());
  }
  if (doc.contains("trailing")) {
    const std::vector<uint8_t> tail = readHexBytes(doc["trailing"], "$.trailing", 0, kUnitBytes - 1);
    image.insert(image.end(), tail.begin(), tail.end());
  }
  return image;
}

// One unit on one line, with the blanks of the documented layout
// ({"kind": "serial_port", "port": 1, ...}), so a document reads as a list.
std::string oneLine(const ordered_json& object) {
  std::string out = "{";
  bool first = true;
  for (const auto& [key, value] : object.items()) {
    if (!first) out += ", ";
    first = false;
    out += json(key).dump() + ": ";
    if (value.is_array()) {
      out += "[";
      for (size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + value[i].dump();
      out += "]";
    } else {
      out += value.dump();
    }
  }
  return out + "}";
}

}  // namespace

const char* unitKindMember(uint8_t kindByte) { return kKindNames[kindByte <= 4 ? kindByte : 0]; }

ordered_json unitObject(const ConfigUnit& unit) {
  ordered_json o;
  o["kind"] = unitKindMember(unit[0]);
  switch (unit[0]) {
    case kindCode(UnitKind::SerialPort): {
      const SerialPortUnit f = decodeSerialPort(unit);
      o["port"] = f.portNumber;
      o["baud"] = f.baudRate;
      o["data_bits"] = f.dataBits;
      o["stop_bits"] = named(f.stopBitsCode, kStoredStopBitsNames, 1);
      o["parity"] = named(f.parityCode, kStoredParityNames, 1);
      o["protocols"] = flagNames(f.protocolFlags & 0x0F, kSerialProtocolNames);
      o["extra_function"] = named(f.protocolFlags >> 4, kExtraNames, 1);
      break;
    }
    case kindCode(UnitKind::NetworkAddress): {
      const NetworkAddressUnit f = decodeNetworkAddress(unit);
      o["net_port"] = f.netPort;
      o["virtual_index"] = f.virtualIndex;
      o["field"] = named(f.fieldSelector, kFieldNames, 2);
      o["value"] = dottedAddress(f.value.data());
      break;
    }
    case kindCode(UnitKind::ServerPort): {
      const ServerPortUnit f = decodeServerPort(unit);
      o["entry_index"] = f.entryIndex;
      o["port"] = f.port;
      o["protocols"] = flagNames(f.protocolFlags & kServerNamedBits, kServerProtocolNames);
      if (const uint32_t other = f.protocolFlags & ~kServerNamedBits) o["other_bits"] = hexValue(other, 8);
      break;
    }
    case kindCode(UnitKind::HoldingRegister): {
      const HoldingRegisterUnit f = decodeHoldingRegister(unit);
      o["group"] = named(f.group, kGroupNames, 2);
      o["enable"] = f.enable <= 1 ? ordered_json(f.enable == 1) : ordered_json(hexValue(f.enable, 2));
      o["address"] = f.address;
      o["count"] = f.count;
      o["width"] = named(f.widthFlag, f.group == kGroupGlobalInteger ? kWordWidthNames : kBitWidthNames, 2);
      break;
    }
    default:
      o["bytes"] = hexBytes(unit.data(), unit.size());
      break;
  }
  return o;
}

std::string exportImageJson(const std::vector<uint8_t>& image) {
  std::string out = "{\n";
  out += std::string("  \"format\": \"") + kImageJsonFormat + "\",\n";
  out += "  \"version\": " + std::to_string(kImageJsonVersion) + ",\n";
  const size_t whole = image.size() / kUnitBytes;
  const size_t tail = image.size() % kUnitBytes;
  if (whole == 0) {
    out += "  \"units\": []";
  } else {
    out += "  \"units\": [\n";
    for (size_t i = 0; i < whole; ++i) {
      ConfigUnit unit;
      std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(i * kUnitBytes), kUnitBytes, unit.begin());
      out += "    " + oneLine(unitObject(unit)) + (i + 1 < whole ? ",\n" : "\n");
    }
    out += "  ]";
  }
  if (tail > 0) out += ",\n  \"trailing\": \"" + hexBytes(image.data() + whole * kUnitBytes, tail) + "\"";
  return out + "\n}\n";
}

ImageJsonImport importImageJson(std::string_view text) {
  ImageJsonImport result;
  try {
    result.image = readDocument(text);
    result.ok = true;
  } catch (const Refusal& r) {
    result.path = r.path;
    result.reason = r.reason;
  }
  return result;
}

bool isJsonDocument(std::string_view path, const std::vector<uint8_t>& bytes) {
  if (isJsonConfigPath(path)) return true;
  const auto first = std::find_if(bytes.begin(), bytes.end(),
                                  [](uint8_t b) { return b != ' ' && b != '\t' && b != '\n' && b != '\r'; });
  return first != bytes.end() && *first == '{';
}

ImageJsonImport loadConfigurationBytes(std::string_view path, std::vector<uint8_t> bytes) {
  if (isJsonDocument(path, bytes))
    return importImageJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ImageJsonImport image;
  image.ok = true;
  image.image = std::move(bytes);
  return image;
}

std::string unitJson(const uint8_t* unit) {
  ConfigUnit u;
  std::copy_n(unit, kUnitBytes, u.begin());
  return unitObject(u).dump();
}

std::string backupFolder(const std::string& given) {
  if (!given.empty()) return given;
  const auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
  };
#ifdef _WIN32
  if (const std::string local = env("LOCALAPPDATA"); !local.empty()) return local + "\\velmora\\backups";
#endif
  if (const std::string state = env("XDG_STATE_HOME"); !state.empty()) return state + "/velmora/backups";
  if (const std::string home = env("HOME"); !home.empty()) return home + "/.local/state/velmora/backups";
  return "velmora-backups";
}

}  // namespace velmora
