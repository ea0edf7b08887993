#include "link/serial_ports_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>

#include "link/serial_posix.h"

namespace velmora {

namespace {

std::string firstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string userName(uid_t uid) {
  passwd entry{}, *found = nullptr;
  char buffer[4096];
  return ::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr ? std::string(entry.pw_name)
                                                                                            : std::to_string(uid);
}

std::string groupName(gid_t gid) {
  group entry{}, *found = nullptr;
  char buffer[4096];
  return ::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr ? std::string(entry.gr_name)
                                                                                            : std::to_string(gid);
}

// The groups a new login of the account that runs us would have: what
// /etc/group (or the name service) says now, not what this session got.
bool accountHasGroup(uid_t uid, gid_t gid) {
  passwd entry{}, *found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return false;
  if (entry.pw_gid == gid) return true;
  std::vector<gid_t> groups(64);
  for (int attempt = 0; attempt < 4; ++attempt) {
    int count = static_cast<int>(groups.size());
    if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) >= 0) {
      groups.resize(static_cast<size_t>(count));
      return std::find(groups.begin(), groups.end(), gid) != groups.end();
    }
    groups.resize(static_cast<size_t>(count) > groups.size() ? static_cast<size_t>(count) : groups.size() * 4);
  }
  return false;
}

bool sessionHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// An 8250 port the kernel registered without finding a UART there: its
// sysfs type is 0 (PORT_UNKNOWN). Opening it would fail anyway.
bool isEmptyUartSlot(const std::string& sysRoot, const std::string& ttyName) {
  if (ttyName.rfind("ttyS", 0) != 0) return false;
  return firstLine(sysRoot + "/class/tty/" + ttyName + "/type") == "0";
}

// The terminals' own devices are ttys too, but no ports: /dev/tty, the
// console and ptmx (major 5), the virtual consoles (major 4 below the
// ttyS minors) and pty masters.
bool isTerminalOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;
  const unsigned majorNumber = ::major(st.st_rdev);
  return majorNumber == 5 || (majorNumber == 4 && ::minor(st.st_rdev) < 64) || (majorNumber >= 128 && majorNumber <= 135);
}

}  // namespace

PosixSerialPorts::PosixSerialPorts(std::vector<std::string> folders, std::string sysRoot, std::string procRoot)
    : folders_(std::move(folders)), sysRoot_(std::move(sysRoot)), procRoot_(std::move(procRoot)) {}

std::vector<SerialPortInfo> PosixSerialPorts::listPorts() {
  struct Node {
    std::string path;
    bool link = false;
  };
  // Keyed by the device the entries lead to: a link and its node are one port.
  std::map<std::string, std::vector<Node>> byDevice;
  for (std::string folder : folders_) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const bool familiesOnly = folder == kDevFolder;
    for (const std::string& name : entriesOf(folder)) {
      if (familiesOnly && !isSerialFamilyName(name)) continue;
      const std::string path = folder + "/" + name;
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) continue;
      const bool link = S_ISLNK(st.st_mode);
      if (!isTtyDevice(path)) continue;
      const std::string device = resolved(path);
      if (device.empty() || isEmptyUartSlot(sysRoot_, baseName(device))) continue;
      if (isTerminalOnly(path)) continue;
      byDevice[device].push_back({path, link});
    }
  }
  std::vector<SerialPortInfo> ports;
  for (const auto& [device, nodes] : byDevice) {
    SerialPortInfo port;
    port.device = device;
    // The first link in folder order names the port; a node without one is its own name.
    const auto link = std::find_if(nodes.begin(), nodes.end(), [](const Node& n) { return n.link; });
    if (link != nodes.end()) {
      port.link = port.path = link->path;
    } else {
      port.path = nodes.front().path;
    }
    readUsbInfo(sysRoot_, baseName(device), port);
    ports.push_back(std::move(port));
  }
  return orderPorts(std::move(ports));
}

std::error_code PosixSerialPorts::tryOpen(const std::string& path) {
  const int blocker = openBlocker(path);
  return blocker != 0 ? std::error_code(blocker, std::generic_category()) : std::error_code();
}

PortFacts PosixSerialPorts::examine(const std::string& path) {
  PortFacts f;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return f;  // also a link whose node is gone
  f.exists = true;
  f.serial = isTtyDevice(path);
  if (!f.serial) return f;
  f.ownerName = userName(st.st_uid);
  f.groupName = groupName(st.st_gid);
  f.mode = st.st_mode & 07777;
  f.accessible = ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
  f.userName = userName(::geteuid());
  f.accountInGroup = accountHasGroup(::geteuid(), st.st_gid);
  f.sessionInGroup = sessionHasGroup(st.st_gid);
  f.holders = findHolders(procRoot_, st.st_rdev, f.holdersHidden);
  return f;
}

void readUsbInfo(const std::string& sysRoot, const std::string& ttyName, SerialPortInfo& port) {
  // /sys/class/tty/NAME/device leads into the USB interface (ttyACM) or to a
  // port below it (usb-serial); the USB device with the ids is a few
  // folders up. A tty that is no USB device's has none on the way.
  std::string dir = resolved(sysRoot + "/class/tty/" + ttyName + "/device");
  for (int up = 0; up < 4 && !dir.empty() && dir != "/"; ++up) {
    const std::string vendor = firstLine(dir + "/idVendor");
    if (!vendor.empty()) {
      port.usbVendorId = vendor;
      port.usbProductId = firstLine(dir + "/idProduct");
      port.usbSerial = firstLine(dir + "/serial");
      port.manufacturer = firstLine(dir + "/manufacturer");
      port.product = firstLine(dir + "/product");
      return;
    }
    dir = dir.substr(0, dir.rfind('/'));
  }
}

std::vector<PortHolder> findHolders(const std::string& procRoot, dev_t rdev, bool& hidden) {
  std::vector<PortHolder> holders;
  const std::string self = std::to_string(::getpid());
  for (const std::string& name : entriesOf(procRoot)) {
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    const std::string fdFolder = procRoot + "/" + name + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) {
      // Another user's process (without root), or one that just ended.
      if (errno == EACCES || errno == EPERM) hidden = true;
      continue;
    }
    bool holds = false;
    while (const dirent* e = ::readdir(fds)) {
      if (e->d_name[0] == '.') continue;
      struct stat st {};
      if (::stat((fdFolder + "/" + e->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
        holds = true;
        break;
      }
    }
    ::closedir(fds);
    if (holds) holders.push_back({std::stoll(name), firstLine(procRoot + "/" + name + "/comm"), name == self});
  }
  return holders;
}

std::unique_ptr<SerialPortSystem> makeSerialPortSystem(std::vector<std::string> folders) {
  return std::make_unique<PosixSerialPorts>(std::move(folders));
}

}  // namespace velmora
