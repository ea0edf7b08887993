// The texts under which unit field values are shown, shared by the list
// page and the editor pages.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The serial protocol set: the texts of bits 0..3, then of the extra
// function in the high nibble, trailing blank removed; "无协议" when empty.
std::string serialProtocolText(uint8_t protocolFlags);
// The server protocol set (bits 0..4 of the lowest byte), same rules.
std::string serverProtocolText(uint32_t protocolFlags);

// Stop bits by the code an image stores: 1 "1.5", 2 "2", anything else one
// stop bit "1".
std::string stopBitsText(int stopBitsCode);
// Parity by the code an image stores, short ("无", "偶", "奇", "标记") and
// long ("无校验", ...); codes outside 0..3 read as none.
std::string parityShortText(int parityCode);
std::string parityLongText(int parityCode);

// The network field selector: "IP", "掩码", "网关", "序列号", else "未知".
std::string selectorText(int fieldSelector);
// Holding-register group names, "未知" outside 1..5.
std::string groupText(int group);
// "开" for non-zero, "关" for zero.
std::string enableText(int enable);
// Width of a holding-register group: words for the global integers, bit
// counts for every other group.
std::string widthText(int group, int widthFlag);

}  // namespace velmora
