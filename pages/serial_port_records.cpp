#include "pages/serial_port_records.h"

#include <vector>

#include "base/line_settings.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "config/replace_units.h"
#include "config/unit_text.h"

namespace velmora {

int baudIndex(int32_t baudRate) {
  for (size_t i = 0; i < kBaudRates.size(); ++i)
    if (kBaudRates[i] == baudRate) return static_cast<int>(i);
  return 3;
}

SerialPortRecord freshDataPort(int position) {
  SerialPortRecord r;
  r.number = position + 1;
  return r;
}

std::array<std::string, 6> dataPortRowTexts(const SerialPortRecord& r) {
  return {strprintf(trText("SerialPortRecords", "数据口%d"), r.number),
          strprintf("%d", r.baudRate),
          strprintf("%d", r.dataBits),
          stopBitsText(r.stopBitsCode),
          parityLongText(r.parityCode),
          serialProtocolText(static_cast<uint8_t>(r.protocolFlags))};
}

std::string tooManyDataPortsMessage() {
  return strprintf(trText("SerialPortRecords", "已达到最大数据口数量 (%d)"), kMaxDataPorts);
}

SerialPortRecords::SerialPortRecords() {
  for (int i = 0; i < kMaxDataPorts; ++i) records_[static_cast<size_t>(i)] = freshDataPort(i);
}

static bool validPosition(int p) { return p >= 0 && p < kMaxDataPorts; }

// A stored code that names nothing reads as the list's first entry.
static int knownStopBitsCode(int code) { return storedCode(stopBitsOfStoredCode(code).value_or(StopBits::One)); }
static int knownParityCode(int code) { return *storedCode(parityOfStoredCode(code).value_or(Parity::None)); }

SerialPortControls SerialPortRecords::showPort(int p) const {
  SerialPortControls c;
  if (!validPosition(p)) return c;
  const SerialPortRecord& r = record(p);
  c.portName = strprintf(trText("SerialPortRecords", "数据口%d"), r.number);
  // The list position first, then the text, so a rate not in the list shows as typed.
  c.baudSelection = baudIndex(r.baudRate);
  c.baudText = strprintf("%d", r.baudRate);
  c.dataBitsSelection = r.dataBits == 8 ? 0 : -1;
  c.dataBitsText = strprintf("%d", r.dataBits);
  c.stopSelection = knownStopBitsCode(r.stopBitsCode);
  c.paritySelection = knownParityCode(r.parityCode);
  for (int bit = 0; bit < 4; ++bit) c.protocolBits[static_cast<size_t>(bit)] = (r.protocolFlags >> bit) & 1;
  const int extra = (r.protocolFlags >> 4) & 0x0F;
  c.noExtraFunction = r.protocolFlags < 16;
  c.remoteControl = extra == kExtraRemoteControl;
  c.modbusTcp = extra == kExtraModbusTcp;
  return c;
}

void SerialPortRecords::capturePort(int p, const SerialPortControls& c) {
  if (!validPosition(p)) return;
  SerialPortRecord& r = records_[static_cast<size_t>(p)];
  r.number = p + 1;
  const std::string baudText = trim(c.baudText);
  const int32_t typed = parseDecimal(baudText);
  if (!baudText.empty() && typed > 0) {
    r.baudRate = typed;
  } else if (c.baudSelection >= 0 && c.baudSelection < static_cast<int>(kBaudRates.size())) {
    r.baudRate = kBaudRates[static_cast<size_t>(c.baudSelection)];
  } else {
    r.baudRate = kDefaultBaudRate;
  }
  // Only 8 can be chosen; a port that came with 5..7 data bits keeps them
  // until 8 is picked, so looking at a port never rewrites its line format.
  if (c.dataBitsSelection == 0 || r.dataBits < 5 || r.dataBits > 8) r.dataBits = 8;
  r.stopBitsCode = knownStopBitsCode(c.stopSelection);
  r.parityCode = knownParityCode(c.paritySelection);
  int flags = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (c.protocolBits[static_cast<size_t>(bit)]) flags |= 1 << bit;
  if (c.modbusTcp) flags |= kExtraModbusTcp << 4;
  else if (c.remoteControl) flags |= kExtraRemoteControl << 4;
  r.protocolFlags = flags;
}

bool SerialPortRecords::controlsChanged(const SerialPortControls& c) {
  if (!hasSelection()) return false;
  capturePort(selected_, c);
  return true;
}

bool SerialPortRecords::addPort() {
  if (count_ >= kMaxDataPorts) return false;
  const int p = count_;
  ++count_;
  selected_ = p;
  records_[static_cast<size_t>(p)] = freshDataPort(p);
  return true;
}

bool SerialPortRecords::removePort() {
  if (count_ < 2) return false;
  // The freed slot keeps its values until it is used again.
  --count_;
  if (selected_ >= count_) selected_ = count_ - 1;
  return true;
}

bool SerialPortRecords::selectPort(int row, const SerialPortControls& c) {
  if (!validPosition(row)) return false;
  if (hasSelection()) capturePort(selected_, c);
  selected_ = row;
  return true;
}

bool SerialPortRecords::load(const uint8_t* data, int32_t length) {
  if (!isWholeImage(data, length)) return false;
  bool taken = false;
  for (const ConfigUnit& unit : wholeUnits(data, length)) {
    if (!isUnitOfKind(unit, UnitKind::SerialPort)) continue;
    const SerialPortUnit f = decodeSerialPort(unit);
    if (f.portNumber < 1 || f.portNumber > kMaxDataPorts) continue;
    SerialPortRecord& r = records_[static_cast<size_t>(f.portNumber - 1)];
    r.number = f.portNumber;
    r.baudRate = static_cast<int32_t>(f.baudRate);
    r.dataBits = (f.dataBits >= 5 && f.dataBits <= 8) ? f.dataBits : 8;
    r.stopBitsCode = knownStopBitsCode(f.stopBitsCode);
    r.parityCode = f.parityCode;
    r.protocolFlags = f.protocolFlags;
    count_ = f.portNumber;
    taken = true;
  }
  // A selection beyond the new count would show, and take edits for, a port
  // that is neither listed nor stored; it moves to the last listed port.
  if (taken && selected_ >= count_) selected_ = count_ - 1;
  return taken;
}

ConfigUnit SerialPortRecords::unitOf(int p) const {
  const SerialPortRecord& r = record(p);
  SerialPortUnit f;
  f.portNumber = static_cast<uint8_t>(r.number);
  f.baudRate = static_cast<uint32_t>(r.baudRate);
  f.dataBits = static_cast<uint8_t>(r.dataBits);
  f.stopBitsCode = static_cast<uint8_t>(r.stopBitsCode);
  f.parityCode = static_cast<uint8_t>(r.parityCode);
  f.protocolFlags = static_cast<uint8_t>(r.protocolFlags);
  return encodeSerialPort(f);
}

void SerialPortRecords::store(uint8_t* buffer, int32_t& length, int32_t capacity, const SerialPortControls& c) {
  if (hasSelection()) capturePort(selected_, c);
  std::vector<ConfigUnit> units;
  for (int p = 0; p < count_; ++p) units.push_back(unitOf(p));
  replaceUnitsOfKind(buffer, length, capacity, unitsOfKind(UnitKind::SerialPort), units);
}

}  // namespace velmora
