// The receive path under arbitrary byte streams, gaps, link changes, timer
// expiries and transfer starts: no crash, the receive buffer never grows past
// 1025 bytes, and the frames handed to the transfers and the address handler
// are exactly those that pass the recogniser on their own (a shadow of the
// assembly rules counts the ones that must be refused as invalid).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_check.h"
#include "protocol/frames.h"
#include "protocol/transfer_engine.h"
#include "tests/support/null_transfer_side.h"

using namespace velmora;


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmora::testing::NullTransferSide side;
  TransferEngine engine(side, &side);
  side.engine = &engine;
  engine.setConnectionPage(&side);
  engine.setMainWindow(&side);
  side.image.assign(100, 0x11);
  engine.start();
  engine.setLinkState(true, "up");

  // Shadow of the assembly: the buffer the engine should hold.
  std::vector<uint8_t> shadow;
  uint64_t lastByte = 0;
  size_t expectedInvalid = 0;

  size_t i = 0;
  while (i < size) {
    const uint8_t op = data[i++];
    switch (op % 8) {
      case 0: {
        // A refused start (not connected, or a write running) leaves reception alone.
        const bool starts = engine.fields().connected && engine.fields().operationState != kWriting;
        engine.startRead();
        if (starts) shadow.clear(), lastByte = 0;
        break;
      }
      case 1: {
        const bool starts = engine.fields().connected && engine.fields().operationState != kReading;
        engine.startWrite();
        if (starts) shadow.clear(), lastByte = 0;
        break;
      }
      case 2:
        side.advance((op >> 3) * 100u);
        break;
      case 3:
        engine.setLinkState(false, "down");
        shadow.clear();
        lastByte = 0;
        break;
      case 4:
        engine.setLinkState(true, "up");
        break;
      default: {
        // Feed up to 31 bytes, each after a gap of 0..255 ms taken from the input.
        const size_t n = std::min<size_t>(op >> 3, (size - i) / 2);
        for (size_t k = 0; k < n; ++k) {
          const uint64_t gap = data[i++];
          const uint8_t byte = data[i++];
          side.now += gap;
          if (lastByte != 0 && side.now - lastByte > 200) shadow.clear();
          lastByte = side.now;
          shadow.push_back(byte);
          const uint8_t address = engine.fields().deviceAddress;
          if (const auto length = checkFrame(shadow.data(), static_cast<int32_t>(shadow.size()), address)) {
            if (!checkFrame(shadow.data(), length, address)) ++expectedInvalid;
            shadow.erase(shadow.begin(), shadow.begin() + length);
          } else if (shadow.size() > 1024) {
            shadow.clear();
          }
          engine.receiveByte(byte);
          FUZZ_CHECK(engine.fields().receiveBuffer.size() <= 1025);
          FUZZ_CHECK(engine.fields().receiveBuffer == shadow);
          FUZZ_CHECK(engine.fields().transferLength >= 0 && engine.fields().transferLength <= 2056);
        }
        break;
      }
    }
  }
  FUZZ_CHECK(side.invalidFrames == expectedInvalid);
  FUZZ_CHECK(engine.fields().operationState == kIdle || engine.fields().operationState == kReading ||
             engine.fields().operationState == kWriting);
  return 0;
}
