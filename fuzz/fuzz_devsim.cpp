// The simulated device's request handling on arbitrary byte streams with
// arbitrary gaps: it never crashes, its partial-frame state stays bounded,
// every answer it sends is a frame the tool recognises, and its image stays
// a sane size whatever is written to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocol/frames.h"
#include "sim/builtin_image.h"
#include "sim/device_model.h"

using namespace velmora;
using namespace velmora::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DeviceModel device(builtinImage(), 1);
  device.setImageListener([](const std::vector<uint8_t>& image) {
    if (image.size() > 2048) std::abort();
  });
  DeviceSession session(device);
  SimTime now{1000};
  std::vector<uint8_t> out;
  // Input: chunks of [gap in ms (1 byte), length (1 byte), bytes...].
  size_t i = 0;
  while (i + 2 <= size) {
    now += std::chrono::milliseconds(data[i] * 2);
    const size_t length = std::min<size_t>(data[i + 1], size - i - 2);
    session.receive(now, data + i + 2, length);
    i += 2 + length;
    const std::vector<uint8_t> answer = session.poll(now);
    out.insert(out.end(), answer.begin(), answer.end());
    if (session.pendingInput() > 4096) std::abort();
  }
  now += std::chrono::seconds(1);
  const std::vector<uint8_t> rest = session.poll(now);
  out.insert(out.end(), rest.begin(), rest.end());

  // Without faults every answer is a whole frame, back to back (for the
  // address the device had when it answered, which an address change moves).
  size_t pos = 0;
  while (pos < out.size()) {
    const int32_t left = static_cast<int32_t>(out.size() - pos);
    int32_t take = 0;
    for (int32_t n = 8; n <= left && n <= 260; ++n)
      if (const auto f = checkFrame(out.data() + pos, n, out[pos]); f == n) {
        take = n;
        break;
      }
    if (take == 0) std::abort();
    pos += static_cast<size_t>(take);
  }
  return 0;
}
