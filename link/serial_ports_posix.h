// The serial ports of a Linux system: the tty nodes and links in the listed
// folders, the USB adapter behind each as sysfs describes it, and what the
// port doctor needs about one that will not open (owner, group, the user's
// groups, the processes that hold it, found in /proc/*/fd).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "link/serial_ports.h"

namespace velmora {

class PosixSerialPorts final : public SerialPortSystem {
 public:
  // sysRoot and procRoot stand for /sys and /proc (tests give trees of their own).
  explicit PosixSerialPorts(std::vector<std::string> folders, std::string sysRoot = "/sys",
                            std::string procRoot = "/proc");

  std::vector<SerialPortInfo> listPorts() override;
  std::error_code tryOpen(const std::string& path) override;
  PortFacts examine(const std::string& path) override;

 private:
  std::vector<std::string> folders_;
  std::string sysRoot_, procRoot_;
};

// Fills port's USB fields from the adapter behind the tty ttyName ("ttyUSB0")
// under sysRoot; leaves them empty when the tty is no USB device's.
void readUsbInfo(const std::string& sysRoot, const std::string& ttyName, SerialPortInfo& port);

// The processes under procRoot that have the character device rdev open;
// hidden becomes true when a process's descriptors could not be read.
std::vector<PortHolder> findHolders(const std::string& procRoot, dev_t rdev, bool& hidden);

}  // namespace velmora
