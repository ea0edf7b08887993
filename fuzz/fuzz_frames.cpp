// Frame recogniser and parsers on arbitrary bytes: never read outside the
// buffer, and whatever they accept must be consistent with itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_check.h"
#include "protocol/frames.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t address = data[0];
  const uint8_t* b = data + 1;
  const int32_t n = static_cast<int32_t>(size - 1);

  if (const auto length = checkFrame(b, n, address)) {
    FUZZ_CHECK(length <= n);
    FUZZ_CHECK(length >= 5);
    // A recognised frame of eight bytes or more is valid on its own as well:
    // the receive path checks every cut frame again.
    if (length >= 8) FUZZ_CHECK(checkFrame(b, length, address) == length);
    if (length >= 8 && b[1] == kFunctionRead && !(b[0] == kAddressReportHead && b[2] == kAddressCommand)) {
      const auto r = parseDataResponse(b, length);
      FUZZ_CHECK(r.has_value());
      FUZZ_CHECK(static_cast<int>(r->data.size()) == b[2] - 4);
    }
  }
  if (const auto r = parseDataResponse(b, n)) {
    FUZZ_CHECK(static_cast<int>(r->data.size()) + 4 == b[2]);
    FUZZ_CHECK(b[2] + 5 <= n);
  }
  if (const auto p = parseWriteAck(b, n)) FUZZ_CHECK(*p >= 0 && *p <= 0xFFFF);
  if (checkEnvelope(b, n)) {
    FUZZ_CHECK(n >= 8 && n % 8 == 0);
    // Rebuilding the envelope from its image gives the same bytes (bytes 6-7
    // are not examined on reception, so only when they hold what we write).
    if (n - 8 <= 2048 && b[6] == 0x00 && b[7] == 0x01) {
      const auto again = buildEnvelope(b + 8, n - 8);
      FUZZ_CHECK(static_cast<int32_t>(again.size()) == n);
      for (int32_t i = 0; i < n; ++i) FUZZ_CHECK(again[i] == b[i]);
    }
  }
  return 0;
}
