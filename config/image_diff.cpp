#include "config/image_diff.h"

#include <map>
#include <string>

#include "base/line_settings.h"
#include "base/text.h"
#include "config/image_json_members.h"
#include "config/unit_names.h"
#include "config/unit_text.h"

namespace velmora {

using nlohmann::ordered_json;

namespace {

// The members that say which setting a unit is; they are never a change.
bool isKeyMember(uint8_t kind, const std::string& member) {
  if (member == "kind") return true;
  switch (kind) {
    case kindCode(UnitKind::SerialPort): return member == "port";
    case kindCode(UnitKind::NetworkAddress): return member == "net_port" || member == "virtual_index" || member == "field";
    case kindCode(UnitKind::HoldingRegister): return member == "group";
    default: return false;
  }
}

// Which setting a unit carries. Server ports have no number of their own
// (the position decides on loading), so their key is that position.
std::string unitKey(const ConfigUnit& u, size_t serverPosition) {
  switch (u[0]) {
    case kindCode(UnitKind::SerialPort): return std::string{char(u[0]), char(u[1])};
    case kindCode(UnitKind::NetworkAddress): return std::string{char(u[0]), char(u[1]), char(u[2]), char(u[3])};
    case kindCode(UnitKind::ServerPort): return std::string{char(u[0])} + std::to_string(serverPosition);
    case kindCode(UnitKind::HoldingRegister): return std::string{char(u[0]), char(u[1])};
    default: return std::string(u.begin(), u.end());
  }
}

// The keys of an image's units with the occurrence of each key: the n-th
// unit with a key on one side pairs with the n-th on the other.
std::vector<std::string> occurrenceKeys(const std::vector<ConfigUnit>& units) {
  std::vector<std::string> keys;
  std::map<std::string, size_t> seen;
  size_t serverPosition = 0;
  for (const ConfigUnit& u : units) {
    std::string key = unitKey(u, u[0] == kindCode(UnitKind::ServerPort) ? serverPosition++ : 0);
    const size_t n = seen[key]++;
    keys.push_back(key + '#' + std::to_string(n));
  }
  return keys;
}

// A member's value; a server port without other bits has them as zero.
ordered_json memberValue(const ordered_json& object, const std::string& member) {
  if (object.contains(member)) return object[member];
  return "0x00000000";
}

std::vector<std::string> changedMembers(const ordered_json& before, const ordered_json& after, uint8_t kind) {
  std::vector<std::string> members;
  for (const auto& [key, value] : before.items())
    if (!isKeyMember(kind, key)) members.push_back(key);
  for (const auto& [key, value] : after.items())
    if (!before.contains(key)) members.push_back(key);
  std::vector<std::string> changed;
  for (const std::string& m : members)
    if (memberValue(before, m) != memberValue(after, m)) changed.push_back(m);
  return changed;
}

std::string englishValue(const ordered_json& v) {
  if (v.is_boolean()) return v.get<bool>() ? "on" : "off";
  if (v.is_string()) return englishMemberName(v.get<std::string>());
  if (v.is_array()) {
    if (v.empty()) return "none";
    std::string text;
    for (const auto& name : v) text += (text.empty() ? "" : ", ") + englishMemberName(name.get<std::string>());
    return text;
  }
  return v.dump();
}

std::string chineseValue(const ConfigUnit& unit, const std::string& member, const ordered_json& v) {
  if (member == "protocols") {
    if (unit[0] == kindCode(UnitKind::SerialPort)) return serialProtocolText(unit[7] & 0x0F);
    return serverProtocolText(decodeServerPort(unit).protocolFlags & 0x1F);
  }
  if (v.is_boolean()) return enableText(v.get<bool>() ? 1 : 0);
  if (!v.is_string()) return v.dump();
  const std::string text = v.get<std::string>();
  if (member == "parity")
    if (const auto parity = parityNamed(text)) return kParityLongTexts[indexOf(*parity)];
  static const std::map<std::string, std::string> words = {{"half_word", "半字"}, {"full_word", "全字"}};
  static const std::map<std::string, std::string> extra = {
      {"none", "无附加功能"}, {"remote_control", "远程控制"}, {"modbus_tcp", "Modbus TCP协议"}};
  const auto& table = member == "extra_function" ? extra : words;
  const auto it = table.find(text);
  return it == table.end() ? text : it->second;
}

std::string memberLabel(const std::string& member, DiffLanguage language) {
  if (language == DiffLanguage::English) {
    std::string label = member;
    for (char& c : label)
      if (c == '_') c = ' ';
    return label;
  }
  static const std::map<std::string, std::string> labels = {
      {"baud", "波特率"},    {"data_bits", "数据位"}, {"stop_bits", "停止位"},    {"parity", "校验位"},
      {"extra_function", "附加"}, {"entry_index", "序号"}, {"port", "端口号"}, {"other_bits", "其他位"},
      {"enable", "使能"},    {"address", "地址"},     {"count", "数量"},          {"width", "位数"}};
  if (member == "protocols") return "协议";
  const auto it = labels.find(member);
  return it == labels.end() ? member : it->second;
}

// What a line calls the unit. A changed server port is named by its
// position and port, an added or removed one by its port alone.
std::string unitName(const ConfigUnit& u, size_t serverPosition, bool changed, DiffLanguage language) {
  switch (u[0]) {
    case kindCode(UnitKind::SerialPort): return serialPortName(u[1], language);
    case kindCode(UnitKind::NetworkAddress): return netFieldUnitName(u, language);
    case kindCode(UnitKind::ServerPort): {
      const int port = decodeServerPort(u).port;
      return changed ? serverEntryName(serverPosition, port, language) : serverPortName(port, language);
    }
    case kindCode(UnitKind::HoldingRegister): return holdingGroupName(u[1], language);
    default: return unknownUnitName(u, language);
  }
}

std::string trailingText(const std::vector<uint8_t>& bytes, DiffLanguage language) {
  if (bytes.empty()) return language == DiffLanguage::English ? "none" : "无";
  return trim(hexBytesSpaced(bytes.data(), bytes.size()));
}

std::vector<uint8_t> trailingBytes(const std::vector<uint8_t>& image) {
  return {image.end() - static_cast<std::ptrdiff_t>(image.size() % kUnitBytes), image.end()};
}

}  // namespace

ImageDifference diffImages(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  ImageDifference difference;
  const std::vector<ConfigUnit> a = wholeUnits(before.data(), static_cast<int32_t>(before.size()));
  const std::vector<ConfigUnit> b = wholeUnits(after.data(), static_cast<int32_t>(after.size()));
  const std::vector<std::string> keysA = occurrenceKeys(a);
  const std::vector<std::string> keysB = occurrenceKeys(b);
  std::map<std::string, size_t> indexB;
  for (size_t j = 0; j < keysB.size(); ++j) indexB[keysB[j]] = j;
  std::vector<bool> pairedB(b.size(), false);

  size_t serverPosition = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const size_t position = a[i][0] == kindCode(UnitKind::ServerPort) ? serverPosition++ : 0;
    const auto it = indexB.find(keysA[i]);
    if (it == indexB.end()) {
      difference.units.push_back({DiffChange::Removed, a[i], ConfigUnit{}, {}});
      continue;
    }
    pairedB[it->second] = true;
    const ConfigUnit& other = b[it->second];
    if (other == a[i]) continue;
    const ordered_json oa = unitObject(a[i]);
    const ordered_json ob = unitObject(other);
    UnitDifference changed{DiffChange::Changed, a[i], other, {}, position};
    for (const std::string& m : changedMembers(oa, ob, a[i][0]))
      changed.fields.push_back({m, englishValue(memberValue(oa, m)), englishValue(memberValue(ob, m))});
    difference.units.push_back(std::move(changed));
  }
  for (size_t j = 0; j < b.size(); ++j)
    if (!pairedB[j]) difference.units.push_back({DiffChange::Added, ConfigUnit{}, b[j], {}});

  difference.trailingBefore = trailingBytes(before);
  difference.trailingAfter = trailingBytes(after);
  difference.trailingDiffers = difference.trailingBefore != difference.trailingAfter;
  if (!difference.trailingDiffers) {
    difference.trailingBefore.clear();
    difference.trailingAfter.clear();
  }
  return difference;
}

std::vector<std::string> diffLines(const ImageDifference& difference, DiffLanguage language) {
  const bool en = language == DiffLanguage::English;
  std::vector<std::string> lines;
  for (const UnitDifference& d : difference.units) {
    if (d.change == DiffChange::Changed) {
      const ordered_json ob = unitObject(d.before);
      const ordered_json oa = unitObject(d.after);
      const bool network = d.before[0] == kindCode(UnitKind::NetworkAddress);
      const std::string name = unitName(d.before, d.serverPosition, true, language);
      for (const FieldDifference& f : d.fields) {
        std::string before = f.before, after = f.after;
        if (!en) {
          before = chineseValue(d.before, f.field, memberValue(ob, f.field));
          after = chineseValue(d.after, f.field, memberValue(oa, f.field));
        }
        const std::string change = before + " → " + after;
        if (network) lines.push_back(name + (en ? " " : "：") + change);
        else lines.push_back(name + (en ? ": " : "：") + memberLabel(f.field, language) + " " + change);
      }
      continue;
    }
    const bool added = d.change == DiffChange::Added;
    const ConfigUnit& unit = added ? d.after : d.before;
    std::string name = unitName(unit, 0, false, language);
    if (unit[0] == kindCode(UnitKind::NetworkAddress)) name += " " + unitObject(unit)["value"].get<std::string>();
    if (en) lines.push_back(name + (added ? " added" : " removed"));
    else lines.push_back(name + (added ? "：新增" : "：删除"));
  }
  if (difference.trailingDiffers) {
    const std::string change =
        trailingText(difference.trailingBefore, language) + " → " + trailingText(difference.trailingAfter, language);
    lines.push_back((en ? "bytes after the last whole unit: " : "末尾残余字节：") + change);
  }
  return lines;
}

std::vector<std::string> settingsLines(const std::vector<uint8_t>& image, DiffLanguage language) {
  const bool en = language == DiffLanguage::English;
  std::vector<std::string> lines;
  size_t serverPosition = 0;
  for (const ConfigUnit& u : wholeUnits(image.data(), static_cast<int32_t>(image.size()))) {
    const ordered_json object = unitObject(u);
    std::string name;
    switch (u[0]) {
      case kindCode(UnitKind::NetworkAddress):
        lines.push_back(netFieldUnitName(u, language) + (en ? " " : "：") + object["value"].get<std::string>());
        continue;
      case kindCode(UnitKind::ServerPort):
        // By position alone: a changed port number must not rename the entry's other lines.
        name = (en ? "server port #" : "网络端口 #") + std::to_string(++serverPosition);
        break;
      case kindCode(UnitKind::SerialPort):
      case kindCode(UnitKind::HoldingRegister): name = unitName(u, 0, false, language); break;
      default: lines.push_back(unknownUnitName(u, language)); continue;
    }
    for (const auto& [member, value] : object.items()) {
      if (isKeyMember(u[0], member)) continue;
      const std::string text = en ? englishValue(value) : chineseValue(u, member, value);
      lines.push_back(name + (en ? ": " : "：") + memberLabel(member, language) + " " + text);
    }
  }
  if (const std::vector<uint8_t> trailing = trailingBytes(image); !trailing.empty())
    lines.push_back((en ? "bytes after the last whole unit: " : "末尾残余字节：") + trailingText(trailing, language));
  return lines;
}

std::string diffJson(const ImageDifference& difference) {
  ordered_json list = ordered_json::array();
  for (const UnitDifference& d : difference.units) {
    if (d.change == DiffChange::Changed) {
      const ordered_json ob = unitObject(d.before);
      const ordered_json oa = unitObject(d.after);
      for (const FieldDifference& f : d.fields) {
        ordered_json entry;
        entry["change"] = "changed";
        entry["unit"] = ob;
        entry["field"] = f.field;
        entry["before"] = memberValue(ob, f.field);
        entry["after"] = memberValue(oa, f.field);
        list.push_back(std::move(entry));
      }
      continue;
    }
    ordered_json entry;
    entry["change"] = d.change == DiffChange::Added ? "added" : "removed";
    entry["unit"] = unitObject(d.change == DiffChange::Added ? d.after : d.before);
    list.push_back(std::move(entry));
  }
  if (difference.trailingDiffers) {
    const auto hex = [](const std::vector<uint8_t>& bytes) { return trim(hexBytesSpaced(bytes.data(), bytes.size())); };
    ordered_json entry;
    entry["change"] = "trailing";
    entry["before"] = hex(difference.trailingBefore);
    entry["after"] = hex(difference.trailingAfter);
    list.push_back(std::move(entry));
  }
  // One change a line: a script can read it as JSON, a person line by line.
  if (list.empty()) return "[]";
  std::string out = "[\n";
  for (size_t i = 0; i < list.size(); ++i) out += "  " + list[i].dump() + (i + 1 < list.size() ? ",\n" : "\n");
  return out + "]";
}

std::string firstByteDifference(const std::vector<uint8_t>& written, const std::vector<uint8_t>& read) {
  const size_t common = std::min(written.size(), read.size());
  for (size_t i = 0; i < common; ++i)
    if (written[i] != read[i]) return strprintf("byte %zu: 0x%02X written, 0x%02X read", i, written[i], read[i]);
  if (written.size() == read.size()) return {};
  return strprintf("%zu bytes written, %zu read", written.size(), read.size());
}

}  // namespace velmora
