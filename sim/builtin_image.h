// The image the simulated device starts with when no file is given: a
// plausible gateway with units of every kind the pages edit.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora::sim {

// Three data ports with different line settings and protocols, network port 0
// with address, mask, gateway and serial number, two server ports and the five
// holding-register groups: 14 units, 112 bytes, an envelope of three packets.
std::vector<uint8_t> builtinImage();

}  // namespace velmora::sim
