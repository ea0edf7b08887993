// The system's ports on Linux: folders of links to ptys, a made-up sysfs
// tree, a pty held by another process, and the folder watch.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>

#include <filesystem>

#include "link/port_watch_posix.h"
#include "link/serial_posix.h"
#include "link/serial_ports_posix.h"
#include "tests/link/held_pty.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  TempDir() : path(::testing::TempDir() + "velmora_ports_XXXXXX") { ::mkdtemp(path.data()); }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

void link(const std::string& target, const std::string& at) { fs::create_symlink(target, at); }

void writeText(const std::string& file, const std::string& text) {
  fs::create_directories(fs::path(file).parent_path());
  writeWholeFile(file, std::vector<uint8_t>(text.begin(), text.end()));
}

const SerialPortInfo* portAt(const std::vector<SerialPortInfo>& ports, const std::string& path) {
  for (const SerialPortInfo& p : ports)
    if (p.path == path) return &p;
  return nullptr;
}

}  // namespace

TEST(PosixSerialPorts, ALinkAndItsNodeAreOnePortAndOnlyTtysCount) {
  PtyPair a, b, c;
  ASSERT_TRUE(a.ok() && b.ok() && c.ok());
  TempDir byId;
  link(a.slavePath(), byId / "usb-Velmora_A-if00");
  link(b.slavePath(), byId / "usb-Velmora_B-if00");
  link("/dev/null", byId / "null");
  link("/dev/ptmx", byId / "ptmx");
  link(byId / "nowhere", byId / "dangling");
  writeText(byId / "file", "x");

  PosixSerialPorts own({byId.path});
  std::vector<SerialPortInfo> ports = own.listPorts();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].path, byId / "usb-Velmora_A-if00");
  EXPECT_EQ(ports[0].link, byId / "usb-Velmora_A-if00");
  EXPECT_EQ(ports[0].device, a.slavePath());
  EXPECT_EQ(ports[0].usbVendorId, "");
  EXPECT_EQ(ports[1].device, b.slavePath());

  // With the nodes' folder first: the link still names the port, a node without one follows the links.
  PosixSerialPorts both({"/dev/pts", byId.path});
  ports = both.listPorts();
  const SerialPortInfo* linkedA = portAt(ports, byId / "usb-Velmora_A-if00");
  const SerialPortInfo* bareC = portAt(ports, c.slavePath());
  ASSERT_TRUE(linkedA && bareC);
  EXPECT_EQ(linkedA->device, a.slavePath());
  EXPECT_EQ(bareC->link, "");
  EXPECT_LT(linkedA, bareC);
  EXPECT_FALSE(portAt(ports, a.slavePath())) << "listed twice";
  EXPECT_FALSE(portAt(ports, "/dev/pts/ptmx"));
}

TEST(PosixSerialPorts, TheUsbAdapterBehindATtyComesFromSysfs) {
  TempDir sys;
  const std::string usb = sys / "devices/pci0000:00/usb1/1-2";
  for (const auto& [file, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"idVendor", "0403\n"}, {"idProduct", "6001\n"}, {"serial", "A10K3Z\n"}, {"manufacturer", "FTDI\n"},
           {"product", "FT232R USB UART\n"}})
    writeText(usb + "/" + file, text);
  fs::create_directories(usb + "/1-2:1.0/ttyUSB0");
  fs::create_directories(sys / "devices/platform/serial8250/tty/ttyS0");
  fs::create_directories(sys / "class/tty/ttyUSB0");
  fs::create_directories(sys / "class/tty/ttyACM0");
  fs::create_directories(sys / "class/tty/ttyS0");
  // usb-serial: the tty's device is a port below the interface; cdc-acm: the interface itself.
  link(usb + "/1-2:1.0/ttyUSB0", sys / "class/tty/ttyUSB0/device");
  link(usb + "/1-2:1.0", sys / "class/tty/ttyACM0/device");
  link(sys / "devices/platform/serial8250", sys / "class/tty/ttyS0/device");

  for (const char* tty : {"ttyUSB0", "ttyACM0"}) {
    SerialPortInfo port;
    readUsbInfo(sys.path, tty, port);
    SerialPortInfo want;
    want.usbVendorId = "0403", want.usbProductId = "6001", want.usbSerial = "A10K3Z";
    want.manufacturer = "FTDI", want.product = "FT232R USB UART";
    EXPECT_EQ(port, want) << tty;
  }
  SerialPortInfo uart;
  readUsbInfo(sys.path, "ttyS0", uart);
  readUsbInfo(sys.path, "ttyUSB9", uart);
  EXPECT_EQ(uart, SerialPortInfo{});
}

TEST(PosixSerialPorts, WhatTheDoctorLearnsAboutAPort) {
  PtyPair free;
  HeldPty held;
  ASSERT_TRUE(free.ok() && held.ok());
  PosixSerialPorts system({});

  EXPECT_FALSE(system.tryOpen(free.slavePath()));
  EXPECT_EQ(system.tryOpen(held.path()), std::errc::device_or_resource_busy);
  EXPECT_EQ(system.tryOpen("/dev/velmora-no-such-port"), std::errc::no_such_file_or_directory);
  EXPECT_EQ(system.tryOpen("/dev/null"), std::errc::inappropriate_io_control_operation);

  const PortFacts facts = system.examine(held.path());
  EXPECT_TRUE(facts.exists && facts.serial);
  EXPECT_EQ(facts.holders, (std::vector<PortHolder>{{held.holder.pid(), "sleep", false}}));
  struct stat st {};
  ASSERT_EQ(::stat(held.path().c_str(), &st), 0);
  EXPECT_EQ(facts.mode, st.st_mode & 07777);
  EXPECT_FALSE(facts.groupName.empty());
  EXPECT_FALSE(facts.userName.empty());
  EXPECT_EQ(facts.accessible, ::access(held.path().c_str(), R_OK | W_OK) == 0);

  // This program holding it is told apart.
  const int own = openSerialDevice(free.slavePath());
  ASSERT_GE(own, 0);
  const PortFacts ours = system.examine(free.slavePath());
  closeSerialDevice(own);
  ASSERT_EQ(ours.holders.size(), 1u);
  EXPECT_TRUE(ours.holders[0].self);

  EXPECT_FALSE(system.examine("/dev/velmora-no-such-port").exists);
  const PortFacts null = system.examine("/dev/null");
  EXPECT_TRUE(null.exists);
  EXPECT_FALSE(null.serial);
}

TEST(FolderWatch, AFolderThatComesLaterAndItsEntries) {
  TempDir root;
  FolderWatch watch;
  ASSERT_TRUE(watch.watch({root / "serial/by-id"}));
  // One bounded wait for the next change.
  const auto changed = [&] {
    pollfd p{watch.descriptor(), POLLIN, 0};
    return ::poll(&p, 1, 3000) == 1 && watch.drain();
  };
  EXPECT_FALSE(watch.drain()) << "nothing happened yet";
  fs::create_directory(root / "serial");
  EXPECT_TRUE(changed());
  fs::create_directory(root / "serial/by-id");
  EXPECT_TRUE(changed());
  link("/dev/null", root / "serial/by-id/usb-x");
  EXPECT_TRUE(changed());
  fs::remove(root / "serial/by-id/usb-x");
  EXPECT_TRUE(changed());
  // Gone and made again: watched again.
  fs::remove(root / "serial/by-id");
  EXPECT_TRUE(changed());
  fs::create_directory(root / "serial/by-id");
  EXPECT_TRUE(changed());
  link("/dev/null", root / "serial/by-id/usb-y");
  EXPECT_TRUE(changed());
}
