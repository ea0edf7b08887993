// What the text output calls a unit, in English and in the window's words.
// The difference and the check name a setting alike, so a line of one can
// be looked up in the other.
#pragma once

#include <cstddef>
#include <string>

#include "base/tr_text.h"
#include "config/config_unit.h"

namespace velmora {

enum class DiffLanguage { English, Chinese };

// The window's words for the program's language: these texts are written
// in both languages here, not translated.
inline DiffLanguage diffLanguageOfWindow() {
  return textLanguage() == Language::English ? DiffLanguage::English : DiffLanguage::Chinese;
}

// The English prose of a document name: "global_integer" → "global integer",
// "ip" → "IP"; other names unchanged.
std::string englishMemberName(const std::string& name);

// "serial port 2" / "串口配置 2".
std::string serialPortName(int portNumber, DiffLanguage language);
// "network port 0" / "网络配置 0"; a virtual interface other than 0 adds "/1".
std::string netPortName(int netPort, int virtualIndex, DiffLanguage language);
// The port followed by the unit's field: "network port 0 IP" / "网络配置 0 IP".
std::string netFieldUnitName(const ConfigUnit& unit, DiffLanguage language);
// "server port 502" / "网络端口 502".
std::string serverPortName(int port, DiffLanguage language);
// By its position among the server ports (from 0) and its port: "server port #2 (502)".
std::string serverEntryName(size_t position, int port, DiffLanguage language);
// The group alone: "input", "global integer" / "输入"; outside 1..5 its stored value "0x06".
std::string holdingGroupText(int group, DiffLanguage language);
// "holding registers input" / "保持寄存器配置 输入".
std::string holdingGroupName(int group, DiffLanguage language);
// "unknown unit 09 01 02 03 04 05 06 07" / "未知 09 01 ...".
std::string unknownUnitName(const ConfigUnit& unit, DiffLanguage language);

}  // namespace velmora
