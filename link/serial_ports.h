// Serial ports as the system presents them, apart from any system: what a
// port is (the path the user opens, the device node behind it, the USB
// adapter's ids), what the system can tell about one that will not open,
// and the connection page's port list that follows plug and unplug.
//
// A platform supplies a SerialPortSystem (serial_ports_posix.cpp reads
// /dev, sysfs and /proc; a Windows one goes beside it). The doctor's texts
// (port_doctor.h) and the list below are the same on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace velmora {

struct SerialPortInfo {
  // What the list shows and the channel opens: the stable link when there is
  // one (it keeps its name when the adapter comes back as another ttyUSB),
  // the device node otherwise.
  std::string path;
  std::string device;  // the node itself ("/dev/ttyUSB0")
  std::string link;    // the stable link ("/dev/serial/by-id/usb-…"), empty when none
  // What the system tells about a USB adapter; empty when it says nothing.
  std::string usbVendorId, usbProductId, usbSerial, manufacturer, product;
  bool operator==(const SerialPortInfo&) const = default;
};

// A port known by its path alone (one a replaced search gives).
SerialPortInfo portAtPath(std::string path);

// The folders listed unless told otherwise; in /dev itself only the serial
// families count (it also holds consoles and everything else).
inline constexpr const char* kDevFolder = "/dev";
inline constexpr const char* kByIdFolder = "/dev/serial/by-id";
// The folders named by variable (VELMORA_SERIAL_DIRS: folders separated by
// colons) when it is set and not empty; the two above otherwise.
std::vector<std::string> portFoldersFrom(const char* variable);
// A name in /dev that is a serial port's: ttyS, ttyUSB, ttyACM, ttyAMA and
// the other UART families, followed by a number.
bool isSerialFamilyName(std::string_view name);

// The node below /dev/ as the list shows it beside a link ("ttyUSB0",
// "pts/3"); other paths as they are.
std::string deviceShortName(const std::string& device);

// Display order: the ports with a stable link first (by link), then the
// bare nodes in orderPortCandidates order.
std::vector<SerialPortInfo> orderPorts(std::vector<SerialPortInfo> ports);

// Another process that has a port open.
struct PortHolder {
  int64_t pid = 0;
  std::string name;   // its command name, as the system gives it
  bool self = false;  // this program
  bool operator==(const PortHolder&) const = default;
};

// What the system says about a path that did not open. Fields a platform
// cannot tell keep their defaults, and the doctor then says nothing of them.
struct PortFacts {
  bool exists = false;  // the path leads to a node
  bool serial = false;  // and the node is a serial (tty) device
  // The node's owner and group and its permission bits (Unix).
  std::string ownerName, groupName;
  unsigned mode = 0;
  bool accessible = true;  // this program may read and write it
  std::string userName;    // who runs this program
  bool accountInGroup = false;  // the account is in groupName: a new login has it
  bool sessionInGroup = false;  // this program has groupName now
  std::vector<PortHolder> holders;  // the processes that have it open
  bool holdersHidden = false;       // some processes could not be looked into
  bool holdersUnnamed = false;      // the system names no holder at all (Windows)
  bool operator==(const PortFacts&) const = default;
};

// The system's serial ports.
class SerialPortSystem {
 public:
  virtual ~SerialPortSystem() = default;
  // The ports present now, in display order, found without opening any (an
  // open can reset a device, or disturb a program that has it).
  virtual std::vector<SerialPortInfo> listPorts() = 0;
  // Opens path as the channel does and closes it at once, taking nothing
  // from anyone: empty when it opens now, the reason otherwise.
  virtual std::error_code tryOpen(const std::string& path) = 0;
  // What the doctor needs to know about path.
  virtual PortFacts examine(const std::string& path) = 0;
};

// This platform's ports, in folders (portFoldersFrom).
std::unique_ptr<SerialPortSystem> makeSerialPortSystem(std::vector<std::string> folders);

// Where a port list's ports come from: the system's search, or a lister's
// paths in its place (tests).
struct PortSearch {
  std::unique_ptr<SerialPortSystem> system;
  std::function<std::vector<std::string>()> lister;
  std::vector<SerialPortInfo> operator()() const;
};

// When ports came and went. A port that vanishes within seconds of
// appearing was most likely taken by another driver (a braille display
// driver claims common USB serial chips).
class PortHistory {
 public:
  // A life this short is suspicious; a loss this long ago is forgotten.
  static constexpr uint64_t kShortLifeUs = 3'000'000;
  static constexpr uint64_t kMemoryUs = 300'000'000;

  struct Changes {
    std::vector<SerialPortInfo> appeared, vanished;
  };
  // The ports present at nowUs (steady clock). The first call only learns
  // what is there: those ports did not appear, they were found.
  Changes note(const std::vector<SerialPortInfo>& present, uint64_t nowUs);
  // How long the port named path (its path, link or device) lived, when it
  // vanished soon after it appeared and not long before nowUs.
  std::optional<uint64_t> shortLife(const std::string& path, uint64_t nowUs) const;

 private:
  struct Seen {
    SerialPortInfo port;
    uint64_t appearedUs = 0;  // 0: there before the first note
  };
  struct Lost {
    SerialPortInfo port;
    uint64_t lifeUs = 0, vanishedUs = 0;
  };
  bool started_ = false;
  std::vector<Seen> present_;
  std::vector<Lost> lost_;
};

// The connection page's port list: the entries' texts, the path behind a
// text of the box, and which entry stays chosen when the ports change.
class PortList {
 public:
  // What the box holds before a change: an entry (path) or a typed text.
  struct Choice {
    std::string typed;                  // a text that is no entry's
    std::optional<SerialPortInfo> port; // the chosen entry's port
  };
  // What the box shows: entries, the selected one (-1: none), and the text
  // to put back in the box when nothing is selected.
  struct Shown {
    std::vector<std::string> labels;
    int selected = -1;
    std::string typed;
    bool operator==(const Shown&) const = default;
  };

  // The ports found now (in display order); what changed since the last call.
  PortHistory::Changes update(std::vector<SerialPortInfo> ports, uint64_t nowUs);
  const std::vector<SerialPortInfo>& ports() const { return ports_; }
  std::vector<std::string> paths() const;
  const PortHistory& history() const { return history_; }

  // An entry's text: a link's name with the device node beside it, or the path.
  static std::string label(const SerialPortInfo& port);
  // The text of a chosen port that went away.
  static std::string goneLabel(const SerialPortInfo& port);

  // What text in the box stands for, before the ports change.
  Choice choiceOf(const std::string& text) const;
  // The path to open for the box's text: an entry's (a gone one's too) or the text itself.
  std::string pathOf(const std::string& text) const;
  // The box after a change, keeping choice: its port selected when it is
  // still there (also under another link or node), marked gone at the end
  // when not; a typed text stays; with nothing chosen, the first entry.
  Shown show(const Choice& choice);
  // The box after the refresh button: the first entry selected.
  Shown showFirst();
  // The same for the refresh's paths; paths that are not the list's own
  // (not from the last search) become the list, as plain paths.
  Shown showRefreshed(const std::vector<std::string>& paths, uint64_t nowUs);

  // The ports changed while the box showed boxText: the box to show now
  // (boxText's choice kept) and the log's lines on what came and went.
  struct Followed {
    Shown shown;
    std::vector<std::string> logLines;
  };
  Followed follow(const std::string& boxText, std::vector<SerialPortInfo> ports, uint64_t nowUs);

 private:
  const SerialPortInfo* find(const SerialPortInfo& port) const;
  std::vector<SerialPortInfo> ports_;
  std::optional<SerialPortInfo> gone_;  // the chosen port shown as gone, if any
  PortHistory history_;
};

}  // namespace velmora
