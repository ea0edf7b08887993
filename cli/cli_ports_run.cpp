// velmora-cli ports on this system's serial ports. Apart from cli_ports.cpp
// because it needs the platform's ports, which the logic tests do not link.
#include <cstdio>
#include <cstdlib>

#include "cli/cli_ports.h"

namespace velmora::cli {

int runPorts(const Options& options) {
  const auto system = makeSerialPortSystem(portFoldersFrom(std::getenv("VELMORA_SERIAL_DIRS")));
  const std::vector<PortReport> reports = examinePorts(*system);
  const std::string out = options.json ? portsJson(reports) : portsText(reports);
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace velmora::cli
