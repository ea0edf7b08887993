#include "fleet/provision_plan.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/line_settings.h"
#include "base/text.h"

namespace velmora {

namespace {

constexpr int kMaxPortKey = 32;  // the pages keep 32 data ports and 32 server ports

struct Record {
  std::vector<std::string> cells;
  bool blank = false;  // an empty line: one empty cell that was not quoted
};

struct CsvFailure {
  size_t record = 0;  // 0-based among the records that are not blank
  size_t cell = 0;
  std::string reason;
};

// RFC 4180 records. A quote may open a cell only at its start; inside a
// quoted cell "" is one quote and the cell must end right after its closing
// quote. CR is taken only as part of CRLF outside quotes.
std::optional<CsvFailure> splitCsv(std::string_view text, std::vector<Record>& records) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Record current;
  std::string cell;
  bool quoted = false, cellWasQuoted = false, afterQuote = false;
  size_t filled = 0;  // records that are not blank
  auto fail = [&](std::string reason) {
    return CsvFailure{filled, current.cells.size(), std::move(reason)};
  };
  auto endCell = [&] {
    current.cells.push_back(std::move(cell));
    cell.clear();
    afterQuote = false;
  };
  auto endRecord = [&] {
    const bool blank = current.cells.size() == 1 && current.cells[0].empty() && !cellWasQuoted;
    current.blank = blank;
    if (!blank) ++filled;
    records.push_back(std::move(current));
    current = Record{};
    cellWasQuoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
        afterQuote = true;
      }
      continue;
    }
    if (c == ',') {
      endCell();
      cellWasQuoted = false;
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      endCell();
      endRecord();
    } else if (afterQuote) {
      return fail("text after a closing quote");
    } else if (c == '"') {
      if (!cell.empty()) return fail("a quote inside an unquoted cell");
      quoted = cellWasQuoted = true;
    } else if (c == '\r') {
      return fail("a carriage return without a line feed");
    } else {
      cell += c;
    }
  }
  if (quoted) return fail("a quoted cell is not closed");
  if (!cell.empty() || !current.cells.empty() || cellWasQuoted) {
    endCell();
    endRecord();
  }
  return std::nullopt;
}

// Digits only, no sign, within min..max.
std::optional<uint64_t> number(std::string_view text, uint64_t min, uint64_t max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < min || value > max) return std::nullopt;
  return value;
}

// "8N1", "7E1.5", "8O2": data bits 5..8, parity N E O M S, stop bits 1, 1.5 or 2.
bool lineSettings(std::string_view text, PlanTarget& t) {
  if (text.size() < 3) return false;
  if (text[0] < '5' || text[0] > '8') return false;
  const auto parity = parityOfLetter(text[1]);
  const auto stopBits = stopBitsNamed(text.substr(2));
  if (!parity || !stopBits) return false;
  t.dataBits = text[0] - '0';
  t.parityCode = channelCode(*parity);
  t.stopBitsCode = channelCode(*stopBits);
  return true;
}

}  // namespace

std::optional<std::string> parsePlanTarget(std::string_view text, PlanTarget& t) {
  // Spaces and control characters never belong in a host or a device path; a
  // NUL would also cut the name short where the channel opens it, so two
  // rows that differ after it would name one port.
  const auto blank = [](std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return byte <= ' ' || byte == 0x7F;
    });
  };
  if (text.substr(0, 4) == "tcp:") {
    text.remove_prefix(4);
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return "needs tcp:HOST:PORT";
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string_view::npos) return "an IPv6 host needs brackets: tcp:[HOST]:PORT";
    if (host.empty() || blank(host)) return "needs a host: tcp:HOST:PORT";
    const auto port = number(text.substr(colon + 1), 1, 65535);
    if (!port) return "needs a port 1-65535: tcp:HOST:PORT";
    t.kind = PlanTarget::Kind::Tcp;
    t.host = std::string(host);
    t.port = static_cast<uint16_t>(*port);
    return std::nullopt;
  }
  if (text.substr(0, 7) == "serial:") {
    text.remove_prefix(7);
    const size_t at = text.rfind('@');
    const std::string_view path = text.substr(0, at);
    if (path.empty() || blank(path)) return "needs a device: serial:PATH";
    t.kind = PlanTarget::Kind::Serial;
    t.path = std::string(path);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(at + 1);
    const size_t comma = line.find(',');
    const auto baud = number(line.substr(0, comma), 50, 4'000'000);
    if (!baud) return "needs a baud rate 50-4000000 after @";
    t.baud = static_cast<int>(*baud);
    if (comma != std::string_view::npos && !lineSettings(line.substr(comma + 1), t))
      return "needs line settings such as 8N1 after the baud rate (5-8 data bits, parity N E O M S, stop 1, 1.5 or 2)";
    return std::nullopt;
  }
  return "needs tcp:HOST:PORT or serial:PATH[@BAUD[,8N1]]";
}

namespace {

enum class Column { Target, Address, SetAddress, Ip, Mask, Gateway, SerialBaud, ServerPort };

struct ColumnKey {
  Column column;
  int number = 0;  // the N of serialN_baud, the K of serverK_port
};

// "serial<N>_baud" and "server<K>_port", N and K 1..32 without leading zeros.
std::optional<int> numbered(std::string_view name, std::string_view head, std::string_view tail) {
  if (name.size() <= head.size() + tail.size() || name.substr(0, head.size()) != head ||
      name.substr(name.size() - tail.size()) != tail)
    return std::nullopt;
  const std::string_view digits = name.substr(head.size(), name.size() - head.size() - tail.size());
  if (digits[0] == '0') return std::nullopt;
  const auto n = number(digits, 1, kMaxPortKey);
  return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

std::optional<ColumnKey> columnOf(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Column>, 6> kPlain = {{{"target", Column::Target},
                                                                               {"address", Column::Address},
                                                                               {"set_address", Column::SetAddress},
                                                                               {"ip", Column::Ip},
                                                                               {"mask", Column::Mask},
                                                                               {"gateway", Column::Gateway}}};
  for (const auto& [text, column] : kPlain)
    if (name == text) return ColumnKey{column};
  if (const auto n = numbered(name, "serial", "_baud")) return ColumnKey{Column::SerialBaud, *n};
  if (const auto k = numbered(name, "server", "_port")) return ColumnKey{Column::ServerPort, *k};
  return std::nullopt;
}

// Stores one non-empty cell into the row; the reason when refused.
std::optional<std::string> applyCell(const ColumnKey& key, const std::string& value, PlanRow& row) {
  switch (key.column) {
    case Column::Target:
      return parsePlanTarget(value, row.target);
    case Column::Address:
    case Column::SetAddress: {
      const auto n = number(value, 1, 255);
      if (!n) return "must be a bus address 1-255";
      if (key.column == Column::Address) row.address = static_cast<uint8_t>(*n);
      else row.setAddress = static_cast<uint8_t>(*n);
      return std::nullopt;
    }
    case Column::Ip:
    case Column::Mask:
    case Column::Gateway: {
      const auto octets = parseDottedAddress(value);
      if (!octets) return "must be four dotted numbers 0-255";
      (key.column == Column::Ip ? row.ip : key.column == Column::Mask ? row.mask : row.gateway) = *octets;
      return std::nullopt;
    }
    case Column::SerialBaud: {
      const auto n = number(value, 1, std::numeric_limits<uint32_t>::max());
      if (!n) return "must be a baud rate 1-4294967295";
      row.serialBaud[key.number] = static_cast<uint32_t>(*n);
      return std::nullopt;
    }
    case Column::ServerPort: {
      const auto n = number(value, 1, 65535);
      if (!n) return "must be a port 1-65535";
      row.serverPort[key.number] = static_cast<uint16_t>(*n);
      return std::nullopt;
    }
  }
  return "unknown column";
}

ParsedPlan refuse(int row, std::string column, std::string reason) {
  ParsedPlan plan;
  plan.error = {row, std::move(column), std::move(reason)};
  return plan;
}

DeviceImage refuseImage(const PlanRow& row, std::string column, std::string reason) {
  DeviceImage out;
  out.error = {row.row, std::move(column), std::move(reason)};
  return out;
}

}  // namespace

std::string targetText(const PlanTarget& t) {
  if (t.kind == PlanTarget::Kind::Serial) {
    const char parity = parityLetter(parityOfChannelCode(t.parityCode).value_or(Parity::None));
    const char* stop = stopBitsName(stopBitsOfChannelCode(t.stopBitsCode).value_or(StopBits::One));
    return strprintf("serial:%s@%d,%d%c%s", t.path.c_str(), t.baud, t.dataBits, parity, stop);
  }
  const bool v6 = t.host.find(':') != std::string::npos;
  return strprintf(v6 ? "tcp:[%s]:%u" : "tcp:%s:%u", t.host.c_str(), t.port);
}

std::string PlanError::text() const {
  std::string where = row == 0 ? std::string("header") : strprintf("row %d", row);
  if (!column.empty()) where += ", column " + column;
  return where + ": " + reason;
}

ParsedPlan parsePlan(std::string_view csvText) {
  std::vector<Record> records;
  std::vector<std::string> header;
  if (const auto failure = splitCsv(csvText, records)) {
    // The header is whatever came first, to name the column the failure is in.
    for (const Record& r : records)
      if (!r.blank) {
        header = r.cells;
        break;
      }
    const std::string column = failure->record > 0 && failure->cell < header.size() ? trim(header[failure->cell]) : "";
    return refuse(static_cast<int>(failure->record), column, failure->reason);
  }
  std::erase_if(records, [](const Record& r) { return r.blank; });
  if (records.empty()) return refuse(0, "", "the table is empty; it needs a header row");

  std::vector<ColumnKey> keys;
  header.clear();
  bool hasTarget = false;
  for (const std::string& cell : records[0].cells) {
    const std::string name = trim(cell);
    const auto key = columnOf(name);
    if (!key) return refuse(0, name, name.empty() ? "a column without a name" : "unknown column");
    if (std::find(header.begin(), header.end(), name) != header.end()) return refuse(0, name, "column given twice");
    hasTarget = hasTarget || key->column == Column::Target;
    header.push_back(name);
    keys.push_back(*key);
  }
  if (!hasTarget) return refuse(0, "target", "missing column");
  if (records.size() == 1) return refuse(0, "", "no device rows after the header");

  ParsedPlan plan;
  for (size_t r = 1; r < records.size(); ++r) {
    const int rowNumber = static_cast<int>(r);
    const std::vector<std::string>& cells = records[r].cells;
    if (cells.size() != keys.size())
      return refuse(rowNumber, cells.size() < keys.size() ? header[cells.size()] : "",
                    strprintf("%zu cells where the header has %zu", cells.size(), keys.size()));
    PlanRow row;
    row.row = rowNumber;
    for (size_t c = 0; c < keys.size(); ++c) {
      const std::string value = trim(cells[c]);
      if (value.empty()) {
        if (keys[c].column == Column::Target) return refuse(rowNumber, header[c], "every device needs a target");
        continue;  // the template's value stays
      }
      if (const auto reason = applyCell(keys[c], value, row)) return refuse(rowNumber, header[c], *reason);
    }
    plan.rows.push_back(std::move(row));
  }
  plan.ok = true;
  return plan;
}

DeviceImage deviceImage(const std::vector<uint8_t>& templateImage, const PlanRow& row) {
  if (templateImage.size() % kUnitBytes != 0)
    return refuseImage(row, "", "the template image is not whole 8-byte units");
  std::vector<uint8_t> image = templateImage;
  const auto unitCount = static_cast<int32_t>(image.size() / kUnitBytes);
  auto put = [&image](int32_t index, const ConfigUnit& unit) {
    std::copy(unit.begin(), unit.end(), image.begin() + index * kUnitBytes);
  };

  // Network port 0: every unit of a field carries the new value, so no
  // earlier or later unit of the same field can tell the device otherwise.
  const std::array<std::pair<const std::optional<Octets>*, uint8_t>, 3> fields = {
      {{&row.ip, kFieldIp}, {&row.mask, kFieldMask}, {&row.gateway, kFieldGateway}}};
  for (const auto& [value, selector] : fields) {
    if (!*value) continue;
    bool found = false;
    for (int32_t i = 0; i < unitCount; ++i) {
      const ConfigUnit unit = unitAt(image.data(), i);
      if (!isUnitOfKind(unit, UnitKind::NetworkAddress)) continue;
      NetworkAddressUnit fieldsOf = decodeNetworkAddress(unit);
      if (fieldsOf.netPort != 0 || fieldsOf.virtualIndex != 0 || fieldsOf.fieldSelector != selector) continue;
      fieldsOf.value = **value;
      put(i, encodeNetworkAddress(fieldsOf));
      found = true;
    }
    if (!found) {
      const ConfigUnit added = encodeNetworkAddress({0, 0, selector, **value});
      image.insert(image.end(), added.begin(), added.end());
    }
  }

  for (const auto& [portNumber, baud] : row.serialBaud) {
    int32_t last = -1;
    for (int32_t i = 0; i < unitCount; ++i) {
      const ConfigUnit unit = unitAt(image.data(), i);
      if (isUnitOfKind(unit, UnitKind::SerialPort) && decodeSerialPort(unit).portNumber == portNumber) last = i;
    }
    const std::string column = strprintf("serial%d_baud", portNumber);
    if (last < 0) return refuseImage(row, column, strprintf("the template has no data port %d", portNumber));
    SerialPortUnit port = decodeSerialPort(unitAt(image.data(), last));
    port.baudRate = baud;
    put(last, encodeSerialPort(port));
  }

  for (const auto& [entry, portValue] : row.serverPort) {
    int32_t seen = 0, at = -1;
    for (int32_t i = 0; i < unitCount && at < 0; ++i)
      if (isUnitOfKind(unitAt(image.data(), i), UnitKind::ServerPort) && ++seen == entry) at = i;
    const std::string column = strprintf("server%d_port", entry);
    if (at < 0)
      return refuseImage(row, column, strprintf("the template has %d server ports, not %d", seen, entry));
    ServerPortUnit server = decodeServerPort(unitAt(image.data(), at));
    server.port = portValue;
    put(at, encodeServerPort(server));
  }

  if (image.size() > static_cast<size_t>(kMaxImageBytes))
    return refuseImage(row, "", strprintf("the image would hold %zu bytes; the device takes at most %d",
                                          image.size(), kMaxImageBytes));
  DeviceImage out;
  out.ok = true;
  out.image = std::move(image);
  return out;
}

}  // namespace velmora
