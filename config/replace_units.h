// How an editor page puts its units into the image: its own units go, the
// others close up in their order, and the page's current units follow.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "config/config_unit.h"

namespace velmora {

// Tells whether a unit belongs to the page that is storing.
using UnitPredicate = std::function<bool(const ConfigUnit&)>;

// Every unit whose kind byte is kind.
UnitPredicate unitsOfKind(UnitKind kind);

// buffer holds length bytes and has room for capacity. Removes the units
// owns() accepts, packs the rest to the front in their order, then appends
// units one by one while a whole unit still fits; length becomes the new
// byte count. The incoming length is clamped to 0..capacity and cut to whole
// units. A null buffer or a capacity below one unit gives length 0.
void replaceUnitsOfKind(uint8_t* buffer, int32_t& length, int32_t capacity, const UnitPredicate& owns,
                        std::span<const ConfigUnit> units);

}  // namespace velmora
