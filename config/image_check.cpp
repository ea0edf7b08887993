#include "config/image_check.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "config/unit_names.h"
#include "config/unit_text.h"

namespace velmora {

namespace {

constexpr DiffLanguage kEn = DiffLanguage::English;
constexpr DiffLanguage kZh = DiffLanguage::Chinese;

// The rates the serial page offers; others work on some devices only.
constexpr std::array<uint32_t, 8> kStandardBauds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// The page keeps network ports 0..31 and server ports in image order.
constexpr int kNetPorts = 32;
constexpr int kRegisterSpace = 65536;

std::string range(uint32_t first, uint32_t last, const char* dash) {
  return std::to_string(first) + dash + std::to_string(last);
}

std::string dotted(uint32_t v) {
  return strprintf("%u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

uint32_t valueOf(const ConfigUnit& u) {
  return (uint32_t{u[4]} << 24) | (uint32_t{u[5]} << 16) | (uint32_t{u[6]} << 8) | u[7];
}

// The number of leading ones of a contiguous mask, or nothing for a mask
// with a zero among its ones.
std::optional<int> prefixLength(uint32_t mask) {
  const uint32_t inverted = ~mask;
  if ((inverted & (inverted + 1)) != 0) return std::nullopt;
  int ones = 0;
  for (uint32_t m = mask; m & 0x80000000u; m <<= 1) ++ones;
  return ones;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& p : parts) text += (text.empty() ? "" : separator) + p;
  return text;
}

struct Checker {
  const std::vector<ConfigUnit>& units;
  std::vector<CheckFinding> findings;

  void add(CheckSeverity severity, const char* rule, std::vector<int32_t> which, std::string english,
           std::string chinese) {
    std::sort(which.begin(), which.end());
    which.erase(std::unique(which.begin(), which.end()), which.end());
    findings.push_back({severity, rule, std::move(which), std::move(english), std::move(chinese)});
  }

  void holdingRegisters() {
    // The effective unit of each ranged group (a later one wins, as on the
    // page). The all-enable group's address and count mean nothing: it is a
    // switch, so it takes no part in the range rules.
    std::map<int, int32_t> effective;
    for (int32_t i = 0; i < static_cast<int32_t>(units.size()); ++i)
      if (isUnitOfKind(units[i], UnitKind::HoldingRegister) && units[i][1] >= kGroupInput &&
          units[i][1] <= kGroupBitVariable)
        effective[units[i][1]] = i;
    for (const auto& [group, index] : effective) {
      const HoldingRegisterUnit r = decodeHoldingRegister(units[index]);
      const uint32_t end = uint32_t{r.address} + r.count;
      if (end > kRegisterSpace)
        add(CheckSeverity::Error, "holding_past_end", {index},
            holdingGroupName(group, kEn) + ": registers " + range(r.address, end - 1, "-") + " run past 65535",
            holdingGroupName(group, kZh) + "：地址范围（" + range(r.address, end - 1, "–") + "）超出 65535");
      if (r.enable != 0 && r.count == 0)
        add(CheckSeverity::Warning, "holding_count_zero", {index}, holdingGroupName(group, kEn) + ": enabled with count 0",
            holdingGroupName(group, kZh) + "：已使能但数量为 0");
    }
    for (auto a = effective.begin(); a != effective.end(); ++a) {
      for (auto b = std::next(a); b != effective.end(); ++b) {
        const HoldingRegisterUnit ra = decodeHoldingRegister(units[a->second]);
        const HoldingRegisterUnit rb = decodeHoldingRegister(units[b->second]);
        if (ra.enable == 0 || rb.enable == 0) continue;
        const uint32_t first = std::max<uint32_t>(ra.address, rb.address);
        const uint32_t end = std::min(uint32_t{ra.address} + ra.count, uint32_t{rb.address} + rb.count);
        if (first >= end) continue;
        add(CheckSeverity::Error, "holding_overlap", {a->second, b->second},
            holdingGroupName(a->first, kEn) + " and " + holdingGroupText(b->first, kEn) + " overlap at " +
                range(first, end - 1, "-"),
            holdingGroupName(a->first, kZh) + " 与 " + holdingGroupText(b->first, kZh) + " 的地址范围重叠（" +
                range(first, end - 1, "–") + "）");
      }
    }
  }

  void networkPorts() {
    // The effective unit per (port, virtual interface, field), ip, mask, gateway.
    std::map<std::pair<int, int>, std::array<int32_t, 3>> ports;
    for (int32_t i = 0; i < static_cast<int32_t>(units.size()); ++i) {
      const ConfigUnit& u = units[i];
      if (!isUnitOfKind(u, UnitKind::NetworkAddress) || u[1] >= kNetPorts || u[3] > kFieldGateway) continue;
      auto [it, fresh] = ports.try_emplace({u[1], u[2]}, std::array<int32_t, 3>{-1, -1, -1});
      it->second[u[3]] = i;
    }
    for (const auto& [key, fields] : ports) checkNetPort(key.first, key.second, fields);
  }

  void checkNetPort(int port, int virtualIndex, const std::array<int32_t, 3>& fields) {
    const std::string en = netPortName(port, virtualIndex, kEn);
    const std::string zh = netPortName(port, virtualIndex, kZh);
    const int32_t ipAt = fields[kFieldIp], maskAt = fields[kFieldMask], gatewayAt = fields[kFieldGateway];
    std::vector<std::string> missingEn, missingZh;
    std::vector<int32_t> present;
    for (int f = kFieldIp; f <= kFieldGateway; ++f) {
      if (fields[f] >= 0) {
        present.push_back(fields[f]);
      } else {
        missingEn.push_back(f == kFieldIp ? "IP" : f == kFieldMask ? "mask" : "gateway");
        missingZh.push_back(selectorText(f));
      }
    }
    if (!present.empty() && !missingEn.empty())
      add(CheckSeverity::Warning, "address_incomplete", present, en + ": " + joined(missingEn, " and ") + " missing",
          zh + "：缺少 " + joined(missingZh, "、"));
    if (maskAt < 0) return;
    const uint32_t mask = valueOf(units[maskAt]);
    const std::optional<int> prefix = prefixLength(mask);
    if (!prefix) {
      add(CheckSeverity::Error, "mask_not_contiguous", {maskAt}, en + ": mask " + dotted(mask) + " is not contiguous",
          zh + "：掩码 " + dotted(mask) + " 不连续");
      return;
    }
    if (ipAt < 0) return;
    const uint32_t ip = valueOf(units[ipAt]);
    const uint32_t network = ip & mask;
    const std::string subnet = dotted(network) + "/" + std::to_string(*prefix);
    if (gatewayAt >= 0) {
      const uint32_t gateway = valueOf(units[gatewayAt]);
      if ((gateway & mask) != network)
        add(CheckSeverity::Error, "gateway_outside_subnet", {ipAt, maskAt, gatewayAt},
            en + ": gateway " + dotted(gateway) + " is outside subnet " + subnet,
            zh + "：网关 " + dotted(gateway) + " 不在子网 " + subnet + " 内");
    }
    // /31 and /32 have no network or broadcast address to avoid.
    if (*prefix >= 31) return;
    if (ip == network)
      add(CheckSeverity::Error, "ip_network_address", {ipAt, maskAt},
          en + ": IP " + dotted(ip) + " is the network address of " + subnet,
          zh + "：IP " + dotted(ip) + " 是子网 " + subnet + " 的网络地址");
    else if (ip == (network | ~mask))
      add(CheckSeverity::Error, "ip_broadcast_address", {ipAt, maskAt},
          en + ": IP " + dotted(ip) + " is the broadcast address of " + subnet,
          zh + "：IP " + dotted(ip) + " 是子网 " + subnet + " 的广播地址");
  }

  void serverPorts() {
    std::map<int, std::vector<int32_t>> byPort;  // port → units, in image order
    std::map<int32_t, size_t> position;
    for (int32_t i = 0; i < static_cast<int32_t>(units.size()); ++i) {
      if (!isUnitOfKind(units[i], UnitKind::ServerPort)) continue;
      const int port = decodeServerPort(units[i]).port;
      const size_t at = position.size();
      position[i] = at;
      byPort[port].push_back(i);
      if (port == 0)
        add(CheckSeverity::Warning, "server_port_zero", {i}, serverEntryName(at, 0, kEn) + ": port 0 reads as 3000",
            serverEntryName(at, 0, kZh) + "：端口号 0 按 3000 读取");
    }
    for (const auto& [port, which] : byPort) {
      if (which.size() < 2) continue;
      std::vector<std::string> entries;
      for (int32_t i : which) entries.push_back(std::to_string(position[i] + 1));
      add(CheckSeverity::Error, "server_port_duplicate", which,
          serverPortName(port, kEn) + " appears more than once (entries " + joined(entries, ", ") + ")",
          serverPortName(port, kZh) + " 重复（第 " + joined(entries, "、") + " 项）");
    }
  }

  void dataPorts() {
    std::map<int, std::vector<int32_t>> byNumber;
    for (int32_t i = 0; i < static_cast<int32_t>(units.size()); ++i) {
      if (!isUnitOfKind(units[i], UnitKind::SerialPort)) continue;
      const SerialPortUnit s = decodeSerialPort(units[i]);
      byNumber[s.portNumber].push_back(i);
      const std::string en = serialPortName(s.portNumber, kEn), zh = serialPortName(s.portNumber, kZh);
      if (std::find(kStandardBauds.begin(), kStandardBauds.end(), s.baudRate) == kStandardBauds.end())
        add(CheckSeverity::Note, "baud_unusual", {i}, en + ": baud " + std::to_string(s.baudRate) + " is not a standard rate",
            zh + "：波特率 " + std::to_string(s.baudRate) + " 不是常用值");
      if (s.dataBits < 5 || s.dataBits > 8)
        add(CheckSeverity::Warning, "data_bits_invalid", {i},
            en + ": data bits " + std::to_string(s.dataBits) + " outside 5-8 (the page reads 8)",
            zh + "：数据位 " + std::to_string(s.dataBits) + " 超出 5–8（按 8 读取）");
    }
    for (const auto& [number, which] : byNumber)
      if (which.size() > 1)
        add(CheckSeverity::Warning, "serial_port_duplicate", which,
            serialPortName(number, kEn) + " appears more than once (the last one wins)",
            serialPortName(number, kZh) + " 重复（以最后一个为准）");
  }

  void unknownUnits() {
    for (int32_t i = 0; i < static_cast<int32_t>(units.size()); ++i)
      if (units[i][0] < kindCode(UnitKind::SerialPort) || units[i][0] > kindCode(UnitKind::HoldingRegister))
        add(CheckSeverity::Note, "unknown_kind", {i}, unknownUnitName(units[i], kEn) + ": unknown kind, carried unchanged",
            unknownUnitName(units[i], kZh) + "：类型未知，原样保留");
  }
};

}  // namespace

std::vector<CheckFinding> checkImage(const std::vector<uint8_t>& image) {
  const std::vector<ConfigUnit> units = wholeUnits(image.data(), static_cast<int32_t>(image.size()));
  Checker c{units, {}};
  c.holdingRegisters();
  c.networkPorts();
  c.serverPorts();
  c.dataPorts();
  c.unknownUnits();
  const size_t partial = image.size() % kUnitBytes;
  if (partial != 0) {
    const std::string bytes = trim(hexBytesSpaced(image.data() + image.size() - partial, partial));
    c.add(CheckSeverity::Warning, "trailing_partial", {},
          std::to_string(partial) + (partial == 1 ? " byte" : " bytes") + " after the last whole unit (" + bytes +
              ") not sent as a unit",
          "末尾残余字节（" + bytes + "）不足一个单元");
  }
  // Errors first; within a severity by the first unit concerned, the
  // trailing bytes (no unit) last.
  const auto firstUnit = [](const CheckFinding& f) { return f.units.empty() ? INT32_MAX : f.units.front(); };
  std::stable_sort(c.findings.begin(), c.findings.end(), [&](const CheckFinding& a, const CheckFinding& b) {
    if (a.severity != b.severity) return a.severity > b.severity;
    return firstUnit(a) < firstUnit(b);
  });
  return std::move(c.findings);
}

bool hasErrors(const std::vector<CheckFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const CheckFinding& f) { return f.severity == CheckSeverity::Error; });
}

std::string severityText(CheckSeverity severity, DiffLanguage language) {
  const bool en = language == DiffLanguage::English;
  switch (severity) {
    case CheckSeverity::Error: return en ? "error" : "错误";
    case CheckSeverity::Warning: return en ? "warning" : "警告";
    default: return en ? "note" : "提示";
  }
}

std::string findingLine(const CheckFinding& finding, DiffLanguage language) {
  if (language == DiffLanguage::English) return severityText(finding.severity, language) + ": " + finding.english;
  return severityText(finding.severity, language) + "：" + finding.chinese;
}

std::string findingsJson(const std::vector<CheckFinding>& findings) {
  if (findings.empty()) return "[]";
  // One finding a line, as the difference prints its changes.
  std::string out = "[\n";
  for (size_t i = 0; i < findings.size(); ++i) {
    nlohmann::ordered_json entry;
    entry["severity"] = severityText(findings[i].severity, DiffLanguage::English);
    entry["rule"] = findings[i].rule;
    entry["units"] = findings[i].units;
    entry["message"] = findings[i].english;
    out += "  " + entry.dump() + (i + 1 < findings.size() ? ",\n" : "\n");
  }
  return out + "]";
}

}  // namespace velmora
