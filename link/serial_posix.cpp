#include "link/serial_posix.h"

#include <fcntl.h>
#include <glob.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/line_settings.h"

namespace velmora {

speed_t baudToSpeed(int baudRate) {
  switch (baudRate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return B0;
  }
}

bool applyLineSettings(termios& t, const SerialSettings& s) {
  const speed_t speed = baudToSpeed(s.baudRate);
  if (speed == B0) return false;
  tcflag_t size = 0;
  switch (s.byteSize) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  const std::optional<Parity> asked = parityOfChannelCode(s.parity);
  const std::optional<StopBits> stopBits = stopBitsOfChannelCode(s.stopBits);
  if (!asked || !stopBits) return false;
  tcflag_t parity = 0;
  switch (*asked) {
    case Parity::None: parity = 0; break;
    case Parity::Odd: parity = PARENB | PARODD; break;
    case Parity::Even: parity = PARENB; break;
    case Parity::Mark: parity = PARENB | CMSPAR | PARODD; break;  // parity bit always 1
    case Parity::Space: parity = PARENB | CMSPAR; break;          // parity bit always 0
  }

  termios raw = t;
  cfmakeraw(&raw);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  raw.c_cflag |= CLOCAL | CREAD | size | parity;
  if (*stopBits != StopBits::One) raw.c_cflag |= CSTOPB;
  // Reads return what is there; the reader waits in poll(), not in read().
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (cfsetispeed(&raw, speed) != 0 || cfsetospeed(&raw, speed) != 0) return false;
  t = raw;
  return true;
}

unsigned lineSettingsMismatch(const termios& asked, const termios& taken) {
  unsigned refused = 0;
  if (cfgetospeed(&asked) != cfgetospeed(&taken) || cfgetispeed(&asked) != cfgetispeed(&taken)) refused |= kLineSpeed;
  if ((asked.c_cflag & CSIZE) != (taken.c_cflag & CSIZE)) refused |= kLineDataBits;
  const tcflag_t parityAsked = asked.c_cflag & PARENB;
  if (parityAsked != (taken.c_cflag & PARENB) ||
      (parityAsked != 0 && (asked.c_cflag & (PARODD | CMSPAR)) != (taken.c_cflag & (PARODD | CMSPAR))))
    refused |= kLineParity;
  if ((asked.c_cflag & CSTOPB) != (taken.c_cflag & CSTOPB)) refused |= kLineStopBits;
  return refused;
}

namespace {

// True when the node is a character device that a tty driver serves, as
// /proc/tty/drivers lists them ("name  /dev/prefix  major  minors  type").
// Opening any other device can have effects of its own (a watchdog arms
// itself on open), so a typed path is checked before it is opened.
bool servedByTtyDriver(const struct stat& st) {
  if (!S_ISCHR(st.st_mode)) return false;
  std::ifstream drivers("/proc/tty/drivers");
  if (!drivers) return true;  // nothing to check against: the tty checks after open decide
  const unsigned major = ::major(st.st_rdev);
  const unsigned minor = ::minor(st.st_rdev);
  std::string line;
  while (std::getline(drivers, line)) {
    std::istringstream fields(line);
    std::string name, node, minors;
    unsigned driverMajor = 0;
    if (!(fields >> name >> node >> driverMajor >> minors) || driverMajor != major) continue;
    unsigned first = 0, last = 0;
    const int n = std::sscanf(minors.c_str(), "%u-%u", &first, &last);
    if (n == 1) last = first;
    if (n >= 1 && minor >= first && minor <= last) return true;
  }
  return false;
}

bool heldExclusively(int fd) {
  int exclusive = 0;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

}  // namespace

bool isTtyDevice(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (servedByTtyDriver(st)) return true;
  errno = ENOTTY;
  return false;
}

int openSerialDevice(const std::string& path) {
  if (!isTtyDevice(path)) return -1;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (!::isatty(fd)) {
    ::close(fd);
    errno = ENOTTY;
    return -1;
  }
  // Root is let through another holder's TIOCEXCL, so look for it; taking
  // the port then would also clear the holder's flag when we close.
  if (heldExclusively(fd)) {
    ::close(fd);
    errno = EBUSY;
    return -1;
  }
  // The lock before TIOCEXCL: it also holds against root, and a refused
  // lock must not touch the holder's flag.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

void closeSerialDevice(int fd) {
  if (fd < 0) return;
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

namespace {

bool isUnbackedUart(int fd, const std::string& path) {
  if (path.rfind("/dev/ttyS", 0) != 0) return false;
  serial_struct info{};
  if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
  return info.type == PORT_UNKNOWN;
}

void globInto(const char* pattern, std::vector<std::string>& out) {
  glob_t found{};
  if (::glob(pattern, 0, nullptr, &found) == 0) {
    for (size_t i = 0; i < found.gl_pathc; ++i) out.emplace_back(found.gl_pathv[i]);
  }
  ::globfree(&found);
}

}  // namespace

std::vector<std::string> probeSerialPorts() {
  std::vector<std::string> candidates;
  for (const char* pattern :
       {"/dev/ttyS*", "/dev/ttyUSB*", "/dev/ttyACM*", "/dev/ttyAMA*", "/dev/serial/by-id/*"})
    globInto(pattern, candidates);
  return filterOpenablePorts(candidates);
}

std::vector<std::string> filterOpenablePorts(const std::vector<std::string>& candidates) {
  std::vector<std::string> usable;
  for (const std::string& path : candidates)
    if (openBlocker(path) == 0) usable.push_back(path);
  return orderPortCandidates(std::move(usable));
}

int openBlocker(const std::string& path) {
  if (!isTtyDevice(path)) return errno != 0 ? errno : ENOTTY;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;  // missing, or not ours to open
  int blocker = 0;
  if (!::isatty(fd) || isUnbackedUart(fd, path))
    blocker = ENOTTY;
  else if (heldExclusively(fd))
    blocker = EBUSY;
  else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    blocker = EBUSY;  // in use by another program
  else
    ::flock(fd, LOCK_UN);
  ::close(fd);
  return blocker;
}

}  // namespace velmora
