#include "cli/cli_ports.h"

#include <nlohmann/json.hpp>

#include "cli/cli_output.h"
#include "link/connect_logic.h"
#include "link/port_doctor.h"

namespace velmora::cli {

std::vector<PortReport> examinePorts(SerialPortSystem& system) {
  std::vector<PortReport> reports;
  for (SerialPortInfo& port : system.listPorts()) {
    PortReport r{std::move(port), {}, {}};
    r.error = system.tryOpen(r.port.path);
    // No history here: a one-off look cannot have seen a port come and go.
    if (r.error) r.diagnosis = examineOpenFailure(system, nullptr, r.port.path, r.error, 0);
    reports.push_back(std::move(r));
  }
  return reports;
}

namespace {

std::string usbLine(const SerialPortInfo& p) {
  std::string line = p.usbVendorId + ":" + p.usbProductId;
  for (const std::string* s : {&p.manufacturer, &p.product})
    if (!s->empty()) line += " " + *s;
  if (!p.usbSerial.empty()) line += " (serial " + p.usbSerial + ")";
  return line;
}

nlohmann::ordered_json orNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

}  // namespace

std::string portsText(const std::vector<PortReport>& reports) {
  if (reports.empty()) return "no serial ports\n";
  std::string out;
  for (const PortReport& r : reports) {
    out += r.port.path + "\n";
    if (!r.port.device.empty() && r.port.device != r.port.path) out += "    device: " + r.port.device + "\n";
    if (!r.port.usbVendorId.empty()) out += "    usb: " + usbLine(r.port) + "\n";
    if (!r.error) {
      out += "    opens now\n";
      continue;
    }
    out += "    does not open: " + serialOpenReason(r.error) + "\n";
    for (const std::string& line : r.diagnosis) out += "    " + line + "\n";
  }
  return out;
}

std::string portsJson(const std::vector<PortReport>& reports) {
  if (reports.empty()) return "[]\n";
  std::string out = "[\n";
  for (size_t i = 0; i < reports.size(); ++i) {
    const PortReport& r = reports[i];
    const SerialPortInfo& p = r.port;
    nlohmann::ordered_json entry;
    entry["path"] = p.path;
    entry["device"] = orNull(p.device);
    entry["by_id"] = orNull(p.link);
    if (p.usbVendorId.empty()) {
      entry["usb"] = nullptr;
    } else {
      entry["usb"] = {{"vendor_id", p.usbVendorId}, {"product_id", p.usbProductId}, {"serial", orNull(p.usbSerial)},
                      {"manufacturer", orNull(p.manufacturer)}, {"product", orNull(p.product)}};
    }
    entry["opens"] = !r.error;
    entry["error"] = r.error ? nlohmann::ordered_json(r.error.message()) : nlohmann::ordered_json();
    entry["reason"] = r.error ? nlohmann::ordered_json(serialOpenReason(r.error)) : nlohmann::ordered_json();
    entry["diagnosis"] = r.diagnosis;
    out += "  " + entry.dump() + (i + 1 < reports.size() ? ",\n" : "\n");
  }
  return out + "]\n";
}

int runPorts(CliHost& host, const Options& options) {
  const std::unique_ptr<SerialPortSystem> system = host.serialPorts();
  const std::vector<PortReport> reports = examinePorts(*system);
  printOut(options.json ? portsJson(reports) : portsText(reports));
  return kExitOk;
}

}  // namespace velmora::cli
