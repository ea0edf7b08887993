// The document's members of one unit as a JSON object, shared by the
// document and the difference (which compares units member by member).
#pragma once

#include <nlohmann/json.hpp>

#include "config/config_unit.h"

namespace velmora {

// The unit's object, members in document order.
nlohmann::ordered_json unitObject(const ConfigUnit& unit);

// The document's kind name of a unit's kind byte; "unknown" outside 1..4.
const char* unitKindMember(uint8_t kindByte);

}  // namespace velmora
