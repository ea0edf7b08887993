// The parameter list page's texts for one unit: its kind and a one-line
// description of all its fields.
#pragma once

#include <cstdint>
#include <string>

#include "config/config_unit.h"

namespace velmora {

// "串口配置", "网络配置", "网络端口", "保持寄存器配置", else "未知".
std::string unitKindName(uint8_t kind);

// Every field of the unit in the list page's words; units of unknown kind
// show their eight bytes in hexadecimal.
std::string describeUnit(const ConfigUnit& unit);

}  // namespace velmora
