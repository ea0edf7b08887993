#include "pages/network_address_records.h"

#include <vector>

#include "base/text.h"
#include "config/replace_units.h"

namespace velmora {

NetworkAddressRecord factoryAddressRecord(int position) {
  NetworkAddressRecord r;
  r.netPort = static_cast<uint8_t>(position);
  return r;
}

bool hasFactoryAddresses(const NetworkAddressRecord& r) {
  const NetworkAddressRecord factory;
  return r.ip == factory.ip && r.mask == factory.mask && r.gateway == factory.gateway;
}

std::string formatAddress(const Octets& o) { return dottedAddress(o.data()); }

std::optional<Octets> parseAddress(std::string_view text) { return parseDottedAddress(text, DottedForm::Typed); }

NetworkAddressRecords::NetworkAddressRecords() {
  for (int i = 0; i < kMaxNetworkPorts; ++i) records_[static_cast<size_t>(i)] = factoryAddressRecord(i);
}

AddressTexts NetworkAddressRecords::showAddress() const {
  const NetworkAddressRecord& r = record(selected_);
  return {formatAddress(r.ip), formatAddress(r.mask), formatAddress(r.gateway)};
}

void NetworkAddressRecords::captureAddress(const AddressTexts& texts) {
  NetworkAddressRecord& r = records_[static_cast<size_t>(selected_)];
  const auto take = [](const std::string& text, Octets& field) {
    const std::string trimmed = trim(text);
    if (trimmed.empty()) return;
    if (const auto octets = parseAddress(trimmed)) field = *octets;
  };
  take(texts.ip, r.ip);
  take(texts.mask, r.mask);
  take(texts.gateway, r.gateway);
}

bool NetworkAddressRecords::ownsUnit(const ConfigUnit& unit) {
  return isUnitOfKind(unit, UnitKind::NetworkAddress) && unit[3] <= kFieldGateway;
}

bool NetworkAddressRecords::load(const uint8_t* data, int32_t length) {
  if (!isWholeImage(data, length)) return false;
  bool taken = false;
  for (const ConfigUnit& unit : wholeUnits(data, length)) {
    if (!ownsUnit(unit)) continue;
    const NetworkAddressUnit f = decodeNetworkAddress(unit);
    if (f.netPort >= kMaxNetworkPorts) continue;
    NetworkAddressRecord& r = records_[f.netPort];
    r.netPort = f.netPort;
    r.virtualIndex = f.virtualIndex;
    switch (f.fieldSelector) {
      case kFieldIp: r.ip = f.value; break;
      case kFieldMask: r.mask = f.value; break;
      default: r.gateway = f.value; break;
    }
    taken = true;
  }
  return taken;
}

void NetworkAddressRecords::store(uint8_t* buffer, int32_t& length, int32_t capacity, const AddressTexts& texts) {
  captureAddress(texts);
  std::vector<ConfigUnit> units;
  for (const NetworkAddressRecord& r : records_) {
    if (hasFactoryAddresses(r)) continue;
    units.push_back(encodeNetworkAddress({r.netPort, r.virtualIndex, kFieldIp, r.ip}));
    units.push_back(encodeNetworkAddress({r.netPort, r.virtualIndex, kFieldMask, r.mask}));
    units.push_back(encodeNetworkAddress({r.netPort, r.virtualIndex, kFieldGateway, r.gateway}));
  }
  replaceUnitsOfKind(buffer, length, capacity, &NetworkAddressRecords::ownsUnit, units);
}

}  // namespace velmora
