// Every image page's load then store on arbitrary images: the stored length
// stays within capacity and whole units, the units the page does not own
// come out unchanged and in order, and its own units follow them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "config/config_unit.h"
#include "fuzz/fuzz_check.h"
#include "pages/holding_register_records.h"
#include "pages/list_page_units.h"
#include "pages/network_address_records.h"
#include "pages/serial_port_records.h"
#include "pages/server_port_records.h"

using namespace velmora;

namespace {

constexpr int32_t kCapacity = 2048;

std::vector<ConfigUnit> unitsOf(const uint8_t* bytes, int32_t length) {
  std::vector<ConfigUnit> units;
  for (int32_t i = 0; i + 8 <= length; i += 8) {
    ConfigUnit u;
    std::memcpy(u.data(), bytes + i, 8);
    units.push_back(u);
  }
  return units;
}

// store(buffer, length, capacity) on a copy of the image; checks the result.
void checkStore(const std::vector<uint8_t>& image, const std::function<bool(const ConfigUnit&)>& owns,
                const std::function<void(uint8_t*, int32_t&, int32_t)>& store) {
  std::vector<uint8_t> buffer(kCapacity, 0);
  const int32_t in = static_cast<int32_t>(std::min<size_t>(image.size(), kCapacity));
  if (in > 0) std::memcpy(buffer.data(), image.data(), static_cast<size_t>(in));
  int32_t length = in;
  store(buffer.data(), length, kCapacity);
  FUZZ_CHECK(length >= 0 && length <= kCapacity && length % 8 == 0);

  std::vector<ConfigUnit> foreignIn;
  for (const ConfigUnit& u : unitsOf(image.data(), in))
    if (!owns(u)) foreignIn.push_back(u);
  const std::vector<ConfigUnit> out = unitsOf(buffer.data(), length);
  // Foreign units first, in order, none lost; then only owned units.
  FUZZ_CHECK(out.size() >= foreignIn.size());
  for (size_t k = 0; k < foreignIn.size(); ++k) FUZZ_CHECK(out[k] == foreignIn[k]);
  for (size_t k = foreignIn.size(); k < out.size(); ++k) FUZZ_CHECK(owns(out[k]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The image may be any length, whole units or not.
  const std::vector<uint8_t> image(data, data + std::min<size_t>(size, 4096));
  const uint8_t* bytes = image.empty() ? nullptr : image.data();
  const int32_t length = static_cast<int32_t>(image.size());

  SerialPortRecords serial;
  serial.open();
  serial.load(bytes, length);
  FUZZ_CHECK(serial.count() >= 1 && serial.count() <= 32);
  checkStore(image, [](const ConfigUnit& u) { return u[0] == 1; },
             [&](uint8_t* b, int32_t& l, int32_t c) { serial.store(b, l, c, serial.showPort(serial.selected())); });

  NetworkAddressRecords address;
  address.load(bytes, length);
  checkStore(image, &NetworkAddressRecords::ownsUnit,
             [&](uint8_t* b, int32_t& l, int32_t c) { address.store(b, l, c, address.showAddress()); });

  ServerPortRecords server;
  server.load(bytes, length);
  FUZZ_CHECK(server.count() >= 0 && server.count() <= 32);
  checkStore(image, [](const ConfigUnit& u) { return u[0] == 3; },
             [&](uint8_t* b, int32_t& l, int32_t c) { server.store(b, l, c); });

  HoldingRegisterRecords registers;
  registers.load(bytes, length);
  checkStore(image, [](const ConfigUnit& u) { return u[0] == 4; },
             [&](uint8_t* b, int32_t& l, int32_t c) { registers.store(b, l, c); });

  // The list page hands back exactly the whole units it was given.
  ListPageUnits list;
  list.load(bytes, length);
  std::vector<uint8_t> buffer(kCapacity, 0xEE);
  int32_t stored = 0;
  const bool taken = list.store(buffer.data(), stored, kCapacity);
  const int32_t whole = length / 8 * 8;
  FUZZ_CHECK(taken == (whole <= kCapacity));
  if (taken) {
    FUZZ_CHECK(stored == whole);
    FUZZ_CHECK(whole == 0 || std::memcmp(buffer.data(), image.data(), static_cast<size_t>(whole)) == 0);
  }
  FUZZ_CHECK(list.rows().size() == static_cast<size_t>(length / 8));
  return 0;
}
