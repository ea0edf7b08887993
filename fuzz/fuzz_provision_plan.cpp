// The provisioning plan (velmora-cli apply PLAN.csv) on arbitrary text, and
// each row's device image from a template. The input is the CSV table; when
// it holds the marker "\0template\0", the bytes after it are the template,
// else every row is put into each of a few built-in templates. Checked:
// - a refused plan yields no device and names where: a row no later than the
//   text has lines, a one-line reason, a column written in the text (or
//   none, or the missing "target"), and a message that starts "header" or
//   "row N" and ends with the reason;
// - an accepted plan yields rows 1, 2, 3 ... whose cells hold what the
//   format allows (a host or device path without spaces or control
//   characters; addresses, ports, rates and line settings in their ranges);
// - a target written back as a plan writes it reads back as the same target;
// - each row's image is refused exactly when the template is not whole units,
//   lacks a data port or server port the row sets, or would pass 2048 bytes,
//   and then names the row and the column (or none) and holds no bytes;
// - an accepted image is whole units, at most 2048 bytes, the template plus
//   one unit for each network field the row sets and the template lacks
//   (IP, mask, gateway of port 0, in that order), every byte outside the
//   fields the row sets is the template's, and those fields hold its values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "config/config_unit.h"
#include "fleet/provision_plan.h"
#include "fuzz/fuzz_check.h"

using namespace velmora;

namespace {

constexpr std::string_view kMarker{"\0template\0", 10};
constexpr size_t kMaxImage = 2048;
using Bytes = std::vector<uint8_t>;

void add(Bytes& image, const ConfigUnit& unit) { image.insert(image.end(), unit.begin(), unit.end()); }

// Port 0 with a field twice and one on another virtual interface, data port 2
// twice, server ports, and a unit of no known kind: every branch of a row.
Bytes richTemplate() {
  Bytes t;
  add(t, encodeSerialPort({2, 9600, 8, 0, 0, 0x0D}));
  add(t, encodeNetworkAddress({0, 0, kFieldIp, {192, 0, 2, 1}}));
  add(t, encodeNetworkAddress({0, 0, kFieldMask, {255, 255, 0, 0}}));
  add(t, encodeNetworkAddress({1, 0, kFieldIp, {198, 51, 100, 1}}));
  add(t, encodeNetworkAddress({0, 1, kFieldGateway, {192, 0, 2, 254}}));
  add(t, encodeNetworkAddress({0, 0, kFieldSerialNumber, {1, 2, 3, 4}}));
  add(t, encodeServerPort({0, 3000, kServerModbusTcp}));
  add(t, ConfigUnit{0x7E, 1, 2, 3, 4, 5, 6, 7});
  add(t, encodeSerialPort({1, 115200, 8, 0, 0, 0x01}));
  add(t, encodeSerialPort({2, 19200, 7, 1, 2, 0x01}));
  add(t, encodeServerPort({1, 3001, kServer55Protocol}));
  add(t, encodeSerialPort({32, 1200, 8, 0, 0, 0}));
  add(t, encodeNetworkAddress({0, 0, kFieldIp, {192, 0, 2, 9}}));
  return t;
}

const std::vector<Bytes>& builtInTemplates() {
  static const std::vector<Bytes> templates = [] {
    Bytes full = richTemplate();
    while (full.size() < kMaxImage - 8) add(full, encodeHoldingRegister({1, 1, 0, 16, 0}));
    return std::vector<Bytes>{{}, richTemplate(), full, Bytes(12, 0x02)};
  }();
  return templates;
}

// No space or control character: what the channel opens is the whole name.
bool plainName(const std::string& s) {
  return !s.empty() && std::none_of(s.begin(), s.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7F;
  });
}

bool oneLine(const std::string& s) { return !s.empty() && s.find_first_of("\r\n") == std::string::npos; }

// A cell as a plan writes it: quoted, quotes doubled.
std::string quoted(const std::string& cell) {
  std::string out = "\"";
  for (char c : cell) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

bool sameTarget(const PlanTarget& a, const PlanTarget& b) {
  return a.kind == b.kind && a.host == b.host && a.port == b.port && a.path == b.path && a.baud == b.baud &&
         a.dataBits == b.dataBits && a.parityCode == b.parityCode && a.stopBitsCode == b.stopBitsCode;
}

void checkRefusal(const ParsedPlan& plan, std::string_view csv) {
  FUZZ_CHECK(plan.rows.empty());
  const PlanError& e = plan.error;
  FUZZ_CHECK(oneLine(e.reason));
  size_t lines = 0;
  for (char c : csv) lines += c == '\n';
  FUZZ_CHECK(e.row >= 0 && static_cast<size_t>(e.row) <= lines);
  if (!e.column.empty()) {
    // The column is a header cell as written, spaces around it taken off,
    // or the one column every plan needs when it is missing.
    std::string asQuoted;
    for (char c : e.column) asQuoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    FUZZ_CHECK(csv.find(e.column) != std::string_view::npos || csv.find(asQuoted) != std::string_view::npos ||
               (e.row == 0 && e.column == "target"));
    FUZZ_CHECK(trim(e.column) == e.column);
  }
  const std::string where = e.row == 0 ? std::string("header") : strprintf("row %d", e.row);
  const std::string text = e.text();
  FUZZ_CHECK(text.compare(0, where.size(), where) == 0);
  FUZZ_CHECK(text.size() >= e.reason.size() && text.compare(text.size() - e.reason.size(), e.reason.size(), e.reason) == 0);
}

void checkRow(const PlanRow& row) {
  const PlanTarget& t = row.target;
  if (t.kind == PlanTarget::Kind::Tcp) {
    FUZZ_CHECK(plainName(t.host) && t.port >= 1 && t.path.empty());
  } else {
    FUZZ_CHECK(plainName(t.path) && t.host.empty() && t.port == 0);
    FUZZ_CHECK(t.baud >= 50 && t.baud <= 4'000'000 && t.dataBits >= 5 && t.dataBits <= 8);
    FUZZ_CHECK(t.parityCode >= 0 && t.parityCode <= 4 && t.stopBitsCode >= 0 && t.stopBitsCode <= 2);
  }
  FUZZ_CHECK(row.address >= 1 && (!row.setAddress || *row.setAddress >= 1));
  for (const auto& [port, baud] : row.serialBaud) FUZZ_CHECK(port >= 1 && port <= 32 && baud >= 1);
  for (const auto& [entry, port] : row.serverPort) FUZZ_CHECK(entry >= 1 && entry <= 32 && port >= 1);

  // Written back as the report writes it, the target reads back the same.
  const ParsedPlan back = parsePlan("target\n" + quoted(targetText(t)) + "\n");
  FUZZ_CHECK(back.ok && back.rows.size() == 1 && sameTarget(back.rows[0].target, t));
}

// The row's image from the template, against what docs/provisioning.md says
// it must be, worked out here unit by unit.
void checkImage(const Bytes& tmpl, const PlanRow& row) {
  const DeviceImage out = deviceImage(tmpl, row);
  if (!out.ok) {
    FUZZ_CHECK(out.image.empty() && out.error.row == row.row && oneLine(out.error.reason));
  }
  if (tmpl.size() % kUnitBytes != 0) {
    FUZZ_CHECK(!out.ok && out.error.column.empty());
    return;
  }
  const size_t units = tmpl.size() / kUnitBytes;
  const uint8_t* bytes = tmpl.data();

  // Which bytes of which unit the row may set: [from, to) per unit.
  std::vector<std::pair<int, int>> open(units, {0, 0});
  const std::optional<Octets>* fields[3] = {&row.ip, &row.mask, &row.gateway};
  bool present[3] = {false, false, false};
  for (size_t i = 0; i < units; ++i) {
    const ConfigUnit u = unitAt(bytes, static_cast<int32_t>(i));
    if (u[0] == kindCode(UnitKind::NetworkAddress) && u[1] == 0 && u[2] == 0 && u[3] < 3 && *fields[u[3]]) {
      present[u[3]] = true;
      open[i] = {4, 8};
    }
  }
  std::string missingColumn;  // the first override the template cannot take
  for (const auto& [port, baud] : row.serialBaud) {
    std::optional<size_t> last;
    for (size_t i = 0; i < units; ++i)
      if (bytes[i * 8] == kindCode(UnitKind::SerialPort) && bytes[i * 8 + 1] == port) last = i;
    if (!last) {
      if (missingColumn.empty()) missingColumn = strprintf("serial%d_baud", port);
    } else {
      open[*last] = {2, 6};
    }
  }
  for (const auto& [entry, port] : row.serverPort) {
    int seen = 0;
    std::optional<size_t> at;
    for (size_t i = 0; i < units && !at; ++i)
      if (bytes[i * 8] == kindCode(UnitKind::ServerPort) && ++seen == entry) at = i;
    if (!at) {
      if (missingColumn.empty()) missingColumn = strprintf("server%d_port", entry);
    } else {
      open[*at] = {2, 4};
    }
  }
  size_t added = 0;
  for (int f = 0; f < 3; ++f) added += *fields[f] && !present[f] ? kUnitBytes : 0;
  const size_t length = tmpl.size() + added;

  if (!missingColumn.empty()) {
    FUZZ_CHECK(!out.ok && out.error.column == missingColumn);
    return;
  }
  if (length > kMaxImage) {
    FUZZ_CHECK(!out.ok && out.error.column.empty());
    return;
  }
  FUZZ_CHECK(out.ok);
  const Bytes& image = out.image;
  FUZZ_CHECK(image.size() == length && image.size() % kUnitBytes == 0 && image.size() <= kMaxImage);
  for (size_t i = 0; i < units; ++i)
    for (int b = 0; b < kUnitBytes; ++b)
      if (b < open[i].first || b >= open[i].second) FUZZ_CHECK(image[i * 8 + b] == bytes[i * 8 + b]);

  // The set fields hold the row's values.
  for (size_t i = 0; i < units; ++i) {
    const ConfigUnit u = unitAt(image.data(), static_cast<int32_t>(i));
    if (open[i].first == 4) FUZZ_CHECK(decodeNetworkAddress(u).value == **fields[u[3]]);
    if (open[i].first == 2 && open[i].second == 6) FUZZ_CHECK(decodeSerialPort(u).baudRate == row.serialBaud.at(u[1]));
  }
  for (const auto& [entry, port] : row.serverPort) {
    int seen = 0;
    for (size_t i = 0; i < units; ++i)
      if (image[i * 8] == kindCode(UnitKind::ServerPort) && ++seen == entry)
        FUZZ_CHECK(decodeServerPort(unitAt(image.data(), static_cast<int32_t>(i))).port == port);
  }
  // Then one unit for each field the template lacks: IP, mask, gateway.
  size_t at = tmpl.size();
  for (uint8_t f = 0; f < 3; ++f) {
    if (!*fields[f] || present[f]) continue;
    const ConfigUnit expected = encodeNetworkAddress({0, 0, f, **fields[f]});
    FUZZ_CHECK(std::memcmp(image.data() + at, expected.data(), kUnitBytes) == 0);
    at += kUnitBytes;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view csv(reinterpret_cast<const char*>(data), size);
  std::optional<Bytes> given;
  // memmem, which libFuzzer watches, so that it learns the marker.
  if (const void* found = memmem(data, size, kMarker.data(), kMarker.size())) {
    const size_t marker = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
    // Just past 2048 bytes is enough to reach every refusal.
    const size_t from = marker + kMarker.size();
    given = Bytes(data + from, data + std::min(size, from + kMaxImage + 16));
    csv = csv.substr(0, marker);
  }

  const ParsedPlan plan = parsePlan(csv);
  if (!plan.ok) {
    checkRefusal(plan, csv);
    return 0;
  }
  FUZZ_CHECK(!plan.rows.empty());
  for (size_t r = 0; r < plan.rows.size(); ++r) {
    const PlanRow& row = plan.rows[r];
    FUZZ_CHECK(row.row == static_cast<int>(r) + 1);
    checkRow(row);
    if (given) {
      checkImage(*given, row);
    } else {
      for (const Bytes& t : builtInTemplates()) checkImage(t, row);
    }
  }
  return 0;
}
