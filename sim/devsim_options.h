// The command line of velmora-devsim, read without touching the system so
// that every refusal can be tested.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/device_model.h"

namespace velmora::sim {

struct Endpoint {
  std::string host;  // as given, brackets removed from an IPv6 literal
  uint16_t port = 0;
  bool ipv6 = false;
};

// Devices one process may simulate at once.
inline constexpr int kMaxDevices = 1000;

struct DevsimOptions {
  std::optional<Endpoint> tcp;
  std::optional<Endpoint> udp;
  bool pty = false;
  uint8_t address = 1;
  std::string imageFile;
  std::string saveFile;  // with count > 1 a pattern: each "%d" becomes the device's index
  int baud = 0;  // 0: no line pacing
  FaultPlan faults;
  int count = 1;                   // devices, each on its own TCP port (consecutive from --tcp's)
  std::optional<int> faultDevice;  // 0-based; the faults apply to that device only
  bool allowNonlocal = false;
  bool log = false;
  bool help = false;
};

struct ParsedOptions {
  std::optional<DevsimOptions> options;  // empty on error
  std::string error;                     // one line
};

// args excludes the program name.
ParsedOptions parseDevsimOptions(const std::vector<std::string>& args);

// "HOST:PORT" or "[V6]:PORT"; HOST must be a numeric address or "localhost".
std::optional<Endpoint> parseEndpoint(const std::string& text);

// 127.0.0.0/8, ::1 and "localhost"; decided on the text alone, no lookup.
bool isLoopbackHost(const Endpoint& endpoint);

// The address to bind: "localhost" becomes 127.0.0.1.
std::string numericHost(const Endpoint& endpoint);

// The save file of device index: each "%d" of the pattern replaced by it.
std::string saveFileOf(const std::string& pattern, int index);

std::string devsimUsage();

}  // namespace velmora::sim
