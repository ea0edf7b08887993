#include "config/unit_names.h"

#include <map>

#include "config/image_json_members.h"
#include "config/unit_text.h"

namespace velmora {

std::string englishMemberName(const std::string& name) {
  static const std::map<std::string, std::string> prose = {
      {"55", "55 protocol"},           {"modbus_rtu", "Modbus RTU"},
      {"modbus_tcp", "Modbus TCP"},    {"program_download", "program download"},
      {"temporary_packets", "temporary packets"}, {"remote_control", "remote control"},
      {"half_word", "half word"},      {"full_word", "full word"},
      {"global_integer", "global integer"}, {"bit_variable", "bit variable"},
      {"all_enable", "all enable"},    {"serial_number", "serial number"},
      {"ip", "IP"}};
  const auto it = prose.find(name);
  return it == prose.end() ? name : it->second;
}

std::string serialPortName(int portNumber, DiffLanguage language) {
  return (language == DiffLanguage::English ? "serial port " : "串口配置 ") + std::to_string(portNumber);
}

std::string netPortName(int netPort, int virtualIndex, DiffLanguage language) {
  std::string name = (language == DiffLanguage::English ? "network port " : "网络配置 ") + std::to_string(netPort);
  if (virtualIndex != 0) name += "/" + std::to_string(virtualIndex);
  return name;
}

std::string netFieldUnitName(const ConfigUnit& u, DiffLanguage language) {
  const std::string name = netPortName(u[1], u[2], language);
  const std::string field = unitObject(u)["field"].get<std::string>();
  if (language == DiffLanguage::English)
    return name + " " + (field.rfind("0x", 0) == 0 ? "field " + field : englishMemberName(field));
  return name + " " + (u[3] <= kFieldSerialNumber ? selectorText(u[3]) : field);
}

std::string serverPortName(int port, DiffLanguage language) {
  return (language == DiffLanguage::English ? "server port " : "网络端口 ") + std::to_string(port);
}

std::string serverEntryName(size_t position, int port, DiffLanguage language) {
  return (language == DiffLanguage::English ? "server port #" : "网络端口 #") + std::to_string(position + 1) + " (" +
         std::to_string(port) + ")";
}

std::string holdingGroupText(int group, DiffLanguage language) {
  ConfigUnit u{kindCode(UnitKind::HoldingRegister), static_cast<uint8_t>(group)};
  if (language == DiffLanguage::Chinese && group >= kGroupInput && group <= kGroupAllEnable) return groupText(group);
  const std::string name = unitObject(u)["group"].get<std::string>();
  return language == DiffLanguage::English ? englishMemberName(name) : name;
}

std::string holdingGroupName(int group, DiffLanguage language) {
  return (language == DiffLanguage::English ? "holding registers " : "保持寄存器配置 ") +
         holdingGroupText(group, language);
}

std::string unknownUnitName(const ConfigUnit& u, DiffLanguage language) {
  return (language == DiffLanguage::English ? "unknown unit " : "未知 ") + unitObject(u)["bytes"].get<std::string>();
}

}  // namespace velmora
