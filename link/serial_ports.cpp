#include "link/serial_ports.h"

#include <algorithm>

#include "base/text.h"
#include "base/tr_text.h"
#include "link/connect_logic.h"

namespace velmora {

SerialPortInfo portAtPath(std::string path) {
  SerialPortInfo port;
  port.path = std::move(path);
  return port;
}

std::vector<std::string> portFoldersFrom(const char* variable) {
  std::vector<std::string> folders;
  if (variable != nullptr) {
    const std::string_view text(variable);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(':', start);
      if (end == std::string_view::npos) end = text.size();
      if (end > start) folders.emplace_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  if (folders.empty()) folders = {kDevFolder, kByIdFolder};
  return folders;
}

bool isSerialFamilyName(std::string_view name) {
  // USB adapters (FTDI, CP210x, CH34x, PL2303 as ttyUSB; CDC as ttyACM;
  // some vendor drivers name their own), on-board and SoC UARTs.
  static constexpr std::string_view kFamilies[] = {"ttyUSB",  "ttyACM", "ttyS",   "ttyAMA",    "ttyXRUSB",
                                                   "ttyCH9344USB", "ttyCH343USB", "ttymxc", "ttySAC", "ttyO",
                                                   "ttyTHS",  "ttyMSM", "ttyGS",  "rfcomm"};
  for (const std::string_view family : kFamilies) {
    if (name.size() <= family.size() || name.substr(0, family.size()) != family) continue;
    const std::string_view number = name.substr(family.size());
    if (std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
  }
  return false;
}

std::string deviceShortName(const std::string& device) {
  constexpr std::string_view kDev = "/dev/";
  if (device.size() > kDev.size() && std::string_view(device).substr(0, kDev.size()) == kDev)
    return device.substr(kDev.size());
  return device;
}

std::vector<SerialPortInfo> orderPorts(std::vector<SerialPortInfo> ports) {
  std::vector<SerialPortInfo> linked, bare;
  for (SerialPortInfo& p : ports) (p.link.empty() ? bare : linked).push_back(std::move(p));
  std::sort(linked.begin(), linked.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.path < b.path; });
  std::vector<std::string> barePaths;
  for (const SerialPortInfo& p : bare) barePaths.push_back(p.path);
  barePaths = orderPortCandidates(std::move(barePaths));
  for (const std::string& path : barePaths) {
    const auto it = std::find_if(bare.begin(), bare.end(), [&](const SerialPortInfo& p) { return p.path == path; });
    linked.push_back(*it);
  }
  return linked;
}

// ---- history ----

namespace {

bool names(const SerialPortInfo& port, const std::string& path) {
  return !path.empty() && (port.path == path || port.device == path || port.link == path);
}

bool samePort(const SerialPortInfo& a, const SerialPortInfo& b) {
  // The stable link names a port wherever its node goes; a node that gained
  // its link (udev makes it a moment later) is still the same port.
  if (!a.link.empty() && !b.link.empty()) return a.link == b.link;
  if (!a.device.empty() && !b.device.empty()) return a.device == b.device;
  return a.path == b.path;
}

}  // namespace

PortHistory::Changes PortHistory::note(const std::vector<SerialPortInfo>& present, uint64_t nowUs) {
  Changes changes;
  std::vector<Seen> next;
  for (const SerialPortInfo& port : present) {
    const auto was = std::find_if(present_.begin(), present_.end(), [&](const Seen& s) { return samePort(s.port, port); });
    if (was != present_.end()) {
      next.push_back({port, was->appearedUs});
    } else {
      next.push_back({port, started_ ? std::max<uint64_t>(nowUs, 1) : 0});
      if (started_) changes.appeared.push_back(port);
    }
  }
  for (const Seen& s : present_) {
    if (std::any_of(present.begin(), present.end(), [&](const SerialPortInfo& p) { return samePort(s.port, p); }))
      continue;
    changes.vanished.push_back(s.port);
    if (s.appearedUs != 0 && nowUs >= s.appearedUs) lost_.push_back({s.port, nowUs - s.appearedUs, nowUs});
  }
  // Only what can still matter is kept.
  std::erase_if(lost_, [&](const Lost& l) { return nowUs - l.vanishedUs > kMemoryUs; });
  present_ = std::move(next);
  started_ = true;
  return changes;
}

std::optional<uint64_t> PortHistory::shortLife(const std::string& path, uint64_t nowUs) const {
  // A port that is there again now is no lost one.
  if (std::any_of(present_.begin(), present_.end(), [&](const Seen& s) { return names(s.port, path); }))
    return std::nullopt;
  for (auto it = lost_.rbegin(); it != lost_.rend(); ++it)
    if (names(it->port, path) && it->lifeUs <= kShortLifeUs && nowUs - it->vanishedUs <= kMemoryUs) return it->lifeUs;
  return std::nullopt;
}

// ---- the page's list ----

PortHistory::Changes PortList::update(std::vector<SerialPortInfo> ports, uint64_t nowUs) {
  ports_ = std::move(ports);
  return history_.note(ports_, nowUs);
}

std::vector<std::string> PortList::paths() const {
  std::vector<std::string> out;
  for (const SerialPortInfo& p : ports_) out.push_back(p.path);
  return out;
}

std::string PortList::label(const SerialPortInfo& port) {
  if (port.link.empty() || port.device.empty()) return port.path;
  // The link's own name: its folder (/dev/serial/by-id/) says nothing and
  // would push the node's name out of the box.
  const size_t slash = port.link.rfind('/');
  return port.link.substr(slash == std::string::npos ? 0 : slash + 1) + " (" + deviceShortName(port.device) + ")";
}

std::string PortList::goneLabel(const SerialPortInfo& port) {
  return label(port) + trText("PortList", "（已移除）");
}

PortList::Choice PortList::choiceOf(const std::string& text) const {
  Choice choice;
  if (text.empty()) return choice;
  if (gone_ && text == goneLabel(*gone_)) {
    choice.port = gone_;
    return choice;
  }
  for (const SerialPortInfo& p : ports_) {
    if (text == label(p)) {
      choice.port = p;
      return choice;
    }
  }
  choice.typed = text;
  return choice;
}

std::string PortList::pathOf(const std::string& text) const {
  const Choice choice = choiceOf(text);
  return choice.port ? choice.port->path : choice.typed;
}

const SerialPortInfo* PortList::find(const SerialPortInfo& port) const {
  for (const SerialPortInfo& p : ports_)
    if (p.path == port.path) return &p;
  // The same adapter under the other name: a link that came after its node
  // (udev makes it a moment later), or a node behind the chosen link.
  for (const SerialPortInfo& p : ports_)
    if (names(p, port.path) || (!port.link.empty() && p.link == port.link)) return &p;
  return nullptr;
}

PortList::Shown PortList::show(const Choice& choice) {
  Shown shown;
  for (const SerialPortInfo& p : ports_) shown.labels.push_back(label(p));
  gone_.reset();
  if (!choice.port) {
    shown.typed = choice.typed;
    if (choice.typed.empty() && !ports_.empty()) shown.selected = 0;
    return shown;
  }
  if (const SerialPortInfo* there = find(*choice.port)) {
    shown.selected = static_cast<int>(there - ports_.data());
    return shown;
  }
  gone_ = choice.port;
  shown.labels.push_back(goneLabel(*gone_));
  shown.selected = static_cast<int>(shown.labels.size()) - 1;
  return shown;
}

PortList::Followed PortList::follow(const std::string& boxText, std::vector<SerialPortInfo> ports, uint64_t nowUs) {
  const Choice choice = choiceOf(boxText);
  const PortHistory::Changes changes = update(std::move(ports), nowUs);
  Followed followed{show(choice), {}};
  for (const SerialPortInfo& p : changes.vanished)
    followed.logLines.push_back(strprintf(trText("PortList", "串口已移除: %s"), label(p).c_str()));
  for (const SerialPortInfo& p : changes.appeared)
    followed.logLines.push_back(strprintf(trText("PortList", "发现串口: %s"), label(p).c_str()));
  return followed;
}

std::vector<SerialPortInfo> PortSearch::operator()() const {
  if (!lister) return system->listPorts();
  std::vector<SerialPortInfo> ports;
  for (const std::string& path : lister()) ports.push_back(portAtPath(path));
  return ports;
}

PortList::Shown PortList::showRefreshed(const std::vector<std::string>& paths, uint64_t nowUs) {
  if (paths != this->paths()) {
    std::vector<SerialPortInfo> ports;
    for (const std::string& path : paths) ports.push_back(portAtPath(path));
    update(std::move(ports), nowUs);
  }
  return showFirst();
}

PortList::Shown PortList::showFirst() {
  gone_.reset();
  Shown shown;
  for (const SerialPortInfo& p : ports_) shown.labels.push_back(label(p));
  if (!ports_.empty()) shown.selected = 0;
  return shown;
}

}  // namespace velmora
