// The network address page's records and rules, apart from its window: one
// address record per network port, of which port 0 is shown and edited.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/config_unit.h"
#include "base/tr_text.h"

namespace velmora {

inline constexpr int kMaxNetworkPorts = 32;

inline constexpr const char* kAddressStatusReady = VELMORA_TR_NOOP("NetworkAddressRecords", "就绪");
inline constexpr const char* kAddressStatusConfirmed = VELMORA_TR_NOOP("NetworkAddressRecords", "修改已确认");

struct NetworkAddressRecord {
  uint8_t netPort = 0;
  uint8_t virtualIndex = 0;
  Octets ip{192, 168, 1, 110};
  Octets mask{255, 255, 255, 0};
  Octets gateway{192, 168, 1, 1};
};
// A record with the factory addresses; such a record adds no units to the image.
NetworkAddressRecord factoryAddressRecord(int position);
bool hasFactoryAddresses(const NetworkAddressRecord& record);

// "%u.%u.%u.%u".
std::string formatAddress(const Octets& octets);
// An address field's text, read as typed (DottedForm::Typed: the way a
// "%u.%u.%u.%u" scan does); accepted only when all four numbers are read and
// each is at most 255.
std::optional<Octets> parseAddress(std::string_view text);

// The three edits' texts.
struct AddressTexts {
  std::string ip;
  std::string mask;
  std::string gateway;
  bool operator==(const AddressTexts&) const = default;
};

class NetworkAddressRecords {
 public:
  NetworkAddressRecords();

  int selected() const { return selected_; }
  const NetworkAddressRecord& record(int position) const { return records_.at(static_cast<size_t>(position)); }

  // The selected record's addresses as the edits show them.
  AddressTexts showAddress() const;
  // Takes each edit's text that reads as an address; an empty or malformed
  // text keeps the field.
  void captureAddress(const AddressTexts& texts);

  // Takes the address units (selectors 0..2, ports below 32) of a whole
  // image, later units winning; records not mentioned keep their values.
  // Returns whether any unit was taken.
  bool load(const uint8_t* data, int32_t length);
  // Captures the edits, then replaces the page's units: every record that
  // differs from the factory addresses gives its three units.
  void store(uint8_t* buffer, int32_t& length, int32_t capacity, const AddressTexts& texts);

  // The units the page owns: kind 2 with selector 0, 1 or 2. Serial-number
  // units (selector 3) belong to the device and stay where they are.
  static bool ownsUnit(const ConfigUnit& unit);

 private:
  std::array<NetworkAddressRecord, kMaxNetworkPorts> records_;
  int selected_ = 0;
};

}  // namespace velmora
