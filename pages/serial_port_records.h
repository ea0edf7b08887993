// The serial data-port page's records and rules, apart from its window:
// up to 32 data ports, the selected one mirrored in the parameter controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/config_unit.h"

namespace velmora {

inline constexpr int kMaxDataPorts = 32;
// The baud rates the page offers, positions 0..7 of its list.
inline constexpr std::array<int32_t, 8> kBaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr int32_t kDefaultBaudRate = 9600;

// Position of rate in the baud list; rates not in it show at 9600's place.
int baudIndex(int32_t baudRate);

struct SerialPortRecord {
  int32_t number = 1;
  int32_t baudRate = kDefaultBaudRate;
  int32_t dataBits = 8;
  int32_t stopBitsCode = 0;
  int32_t parityCode = 0;
  int32_t protocolFlags = kNewDataPortProtocols;
};
SerialPortRecord freshDataPort(int position);

// The list row of a data port: name, baud, data bits, stop bits, parity, protocols.
std::array<std::string, 6> dataPortRowTexts(const SerialPortRecord& record);

// What the parameter controls hold, as plain values.
struct SerialPortControls {
  std::string portName;       // the selected port's name
  std::string baudText;       // the baud box's edit field
  int baudSelection = -1;     // selected position in the baud list, -1 for none
  // The data-bits list holds 8 only; a port loaded with 5..7 data bits shows
  // no selection and its own value as text, and keeps that value until 8 is picked.
  int dataBitsSelection = 0;
  std::string dataBitsText = "8";
  int stopSelection = 0;
  int paritySelection = 0;
  std::array<bool, 4> protocolBits{};  // 55, Modbus RTU, download, temporary packets
  bool noExtraFunction = true;
  bool remoteControl = false;
  bool modbusTcp = false;

  bool operator==(const SerialPortControls&) const = default;
};

std::string tooManyDataPortsMessage();

class SerialPortRecords {
 public:
  SerialPortRecords();

  int count() const { return count_; }
  int selected() const { return selected_; }
  bool hasSelection() const { return selected_ >= 0 && selected_ < kMaxDataPorts; }
  const SerialPortRecord& record(int position) const { return records_.at(static_cast<size_t>(position)); }

  // Opening the page selects the first port.
  void open() { selected_ = 0; }

  // The controls' values for the port at position (0..31).
  SerialPortControls showPort(int position) const;
  // Reads the controls into the port at position (0..31).
  void capturePort(int position, const SerialPortControls& controls);
  // A control changed: the selected port follows it. False when no port is selected.
  bool controlsChanged(const SerialPortControls& controls);

  // Appends a fresh port and selects it; false when all 32 are in use.
  bool addPort();
  // Drops the last port, whatever is selected; false when only one is left.
  bool removePort();
  // A click on row: the port being left keeps the controls' values, the
  // clicked one becomes selected. False for a row outside 0..31.
  bool selectPort(int row, const SerialPortControls& controls);

  // Takes the data-port units of a whole image, later units winning; the
  // count becomes the number of the last unit taken. Returns whether any
  // unit was taken; otherwise nothing changed.
  bool load(const uint8_t* data, int32_t length);
  // Captures the selected port from controls, then replaces the image's
  // data-port units by ports 0..count-1.
  void store(uint8_t* buffer, int32_t& length, int32_t capacity, const SerialPortControls& controls);

  ConfigUnit unitOf(int position) const;

 private:
  std::array<SerialPortRecord, kMaxDataPorts> records_;
  int count_ = 1;
  int selected_ = -1;
};

}  // namespace velmora
