#include "pages/server_port_records.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "base/tr_text.h"
#include "config/replace_units.h"
#include "config/unit_text.h"

namespace velmora {

std::string tooManyServerPortsMessage() {
  return strprintf(trText("ServerPortRecords", "已达到最大端口数量 (%d)"), kMaxServerPorts);
}

std::array<std::string, 2> serverPortRowTexts(const ServerPortRecord& r) {
  return {strprintf("%d", r.port), serverProtocolText(r.protocolFlags)};
}

ServerPortControls ServerPortRecords::showServerPort(int p) const {
  ServerPortControls c;
  if (p < 0 || p >= count_) return c;
  const ServerPortRecord& r = record(p);
  c.portText = strprintf("%d", r.port);
  c.noProtocol = r.protocolFlags == 0;
  c.protocol55 = (r.protocolFlags & kServer55Protocol) != 0;
  c.modbusRtu = (r.protocolFlags & kServerModbusRtu) != 0;
  c.modbusTcp = (r.protocolFlags & kServerModbusTcp) != 0;
  c.programDownload = (r.protocolFlags & kServerProgramDownload) != 0;
  c.temporaryPackets = (r.protocolFlags & kServerTemporaryPackets) != 0;
  return c;
}

ServerPortControls ServerPortRecords::clearedControls() { return ServerPortControls{}; }

void ServerPortRecords::captureServerPort(int p, const ServerPortControls& c) {
  if (p < 0 || p >= count_) return;
  ServerPortRecord& r = records_[static_cast<size_t>(p)];
  const int32_t port = parseDecimal(trim(c.portText));
  if (port >= 1 && port <= 65535) r.port = port;
  uint32_t flags = 0;
  if (c.protocol55) flags |= kServer55Protocol;
  if (c.modbusRtu) flags |= kServerModbusRtu;
  if (c.modbusTcp) flags |= kServerModbusTcp;
  if (c.programDownload) flags |= kServerProgramDownload;
  if (c.temporaryPackets) flags |= kServerTemporaryPackets;
  r.protocolFlags = flags;
  r.index = p;
}

bool ServerPortRecords::controlsChanged(const ServerPortControls& c) {
  if (!hasSelection()) return false;
  captureServerPort(selected_, c);
  return true;
}

bool ServerPortRecords::addEntry() {
  if (count_ >= kMaxServerPorts) return false;
  const int32_t port = count_ == 0 ? kFirstServerPort : std::min(record(count_ - 1).port + 1, 65535);
  records_[static_cast<size_t>(count_)] = {count_, port, 0};
  selected_ = count_;
  ++count_;
  return true;
}

bool ServerPortRecords::deleteSelected() {
  if (!hasSelection()) return false;
  for (int i = selected_; i + 1 < count_; ++i) records_[static_cast<size_t>(i)] = records_[static_cast<size_t>(i + 1)];
  --count_;
  records_[static_cast<size_t>(count_)] = ServerPortRecord{};
  for (int i = 0; i < count_; ++i) records_[static_cast<size_t>(i)].index = i;
  if (count_ == 0) selected_ = -1;
  else if (selected_ >= count_) selected_ = count_ - 1;
  return true;
}

bool ServerPortRecords::selectEntry(int row) {
  if (row < 0 || row >= count_) return false;
  selected_ = row;
  return true;
}

void ServerPortRecords::clear() {
  records_.fill(ServerPortRecord{});
  count_ = 0;
  selected_ = -1;
}

void ServerPortRecords::load(const uint8_t* data, int32_t length) {
  clear();
  if (isWholeImage(data, length)) {
    for (const ConfigUnit& unit : wholeUnits(data, length)) {
      if (!isUnitOfKind(unit, UnitKind::ServerPort)) continue;
      if (count_ >= kMaxServerPorts) break;
      // The unit's own entry index is not used: the position in the image decides.
      const ServerPortUnit f = decodeServerPort(unit);
      records_[static_cast<size_t>(count_)] = {count_, f.port == 0 ? kFirstServerPort : f.port, f.protocolFlags};
      ++count_;
    }
  }
  if (count_ > 0) selected_ = 0;
}

void ServerPortRecords::store(uint8_t* buffer, int32_t& length, int32_t capacity) const {
  std::vector<ConfigUnit> units;
  for (int p = 0; p < count_; ++p) {
    const ServerPortRecord& r = record(p);
    units.push_back(encodeServerPort(
        {static_cast<uint8_t>(r.index), static_cast<uint16_t>(r.port), r.protocolFlags}));
  }
  replaceUnitsOfKind(buffer, length, capacity, unitsOfKind(UnitKind::ServerPort), units);
}

}  // namespace velmora
