// The port doctor: when a serial port does not open, what the system can
// tell about why, as lines the log shows after the reason of the failure
// (and velmora-cli ports under each port). Each line names the cause and
// what to do: the group that owns the port and whether the user is in it,
// the program that holds it, a port that vanished right after it appeared,
// a path that is no serial device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "link/serial_ports.h"

namespace velmora {

// At most this many holders are named, one line each.
inline constexpr size_t kMaxHoldersNamed = 4;

// The doctor's lines for path, which did not open with error; facts as the
// system found them, shortLifeUs when the port vanished soon after it
// appeared. None for an error that is no system error (line settings the
// device kept) or when the facts explain nothing.
std::vector<std::string> portDoctorLines(const std::string& path, const std::error_code& error,
                                         const PortFacts& facts, std::optional<uint64_t> shortLifeUs);

// Asks system about path and history (may be null) about its life.
std::vector<std::string> examineOpenFailure(SerialPortSystem& system, const PortHistory* history,
                                            const std::string& path, const std::error_code& error, uint64_t nowUs);

}  // namespace velmora
