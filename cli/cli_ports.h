// velmora-cli ports: every serial port present, whether it opens now and,
// when it does not, the reason and the port doctor's account, as text or JSON.
#pragma once

#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "link/serial_ports.h"

namespace velmora::cli {

struct PortReport {
  SerialPortInfo port;
  std::error_code error;               // why it does not open now; empty when it does
  std::vector<std::string> diagnosis;  // the doctor's lines
};

// Lists system's ports and tries each (nothing is taken from anyone).
std::vector<PortReport> examinePorts(SerialPortSystem& system);

// One block a port: the path, the node and USB adapter, whether it opens
// (the reason and the doctor's lines in the language of the log lines).
std::string portsText(const std::vector<PortReport>& reports);
// One JSON object a line: path, device, by_id, usb (vendor_id, product_id,
// serial, manufacturer, product; null when no USB adapter), opens, error,
// reason and diagnosis.
std::string portsJson(const std::vector<PortReport>& reports);

// The command on the host's ports: the list on standard output, exit 0.
int runPorts(CliHost& host, const Options& options);

}  // namespace velmora::cli
