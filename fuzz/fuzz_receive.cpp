// The receive path under arbitrary byte streams, gaps, link changes, timer
// expiries and transfer starts: no crash, the receive buffer never grows past
// 1025 bytes, and the frames handed to the transfers and the address handler
// are exactly those that pass the recogniser on their own (a shadow of the
// assembly rules counts the ones that must be refused as invalid).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/frames.h"
#include "protocol/transfer_engine.h"

using namespace velmora;

#define CHECK(cond) \
  do {              \
    if (!(cond)) std::abort(); \
  } while (0)

namespace {

// A host, link and main window that cost next to nothing: a virtual clock,
// periodic timers fired by advance(), and a count of the invalid-frame lines.
class LeanSide : public TransferHost, public DeviceLink, public ImageHost {
 public:
  uint64_t now = 5'000'000;
  std::vector<uint8_t> image;
  size_t invalidFrames = 0;
  TransferEngine* engine = nullptr;
  uint64_t timers[3] = {0, 0, 0};  // expiry of 2001 and 2002, 0 when stopped

  void advance(uint64_t ms) {
    const uint64_t target = now + ms;
    for (;;) {
      int due = -1;
      for (int i = 1; i <= 2; ++i)
        if (timers[i] != 0 && timers[i] <= target && (due < 0 || timers[i] < timers[due])) due = i;
      if (due < 0) break;
      now = timers[due];
      timers[due] = now + 2000;
      engine->onTimer(2000 + due);
    }
    now = target;
  }

  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return {}; }
  void sleepMs(int ms) override { now += static_cast<uint64_t>(ms); }
  void startTimer(int id, int ms) override { timers[id - 2000] = now + static_cast<uint64_t>(ms); }
  void stopTimer(int id) override { timers[id - 2000] = 0; }
  void messageBox(const std::string&) override {}
  void setStateText(const std::string&) override {}
  void setLinkStatusText(const std::string&) override {}
  void setProgress(int) override {}
  void resetProgress() override {}
  void setButtonsEnabled(bool, bool) override {}
  bool sendBytes(const uint8_t*, int32_t) override { return true; }
  uint8_t addressBoxValue() const override { return 1; }
  void showAddressReport(const std::string&, const std::string&) override {}
  void loadImage(const uint8_t* data, int32_t length) override { image.assign(data, data + std::max(length, 0)); }
  bool gatherCurrentPage() override { return true; }
  const std::vector<uint8_t>& configImage() const override { return image; }
  void logMessage(const std::string& text) override { invalidFrames += text == "接收到无效帧"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LeanSide side;
  TransferEngine engine(side);
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
        const bool starts = engine.fields().connected && engine.fields().operationState != 2;
        engine.startRead();
        if (starts) shadow.clear(), lastByte = 0;
        break;
      }
      case 1: {
        const bool starts = engine.fields().connected && engine.fields().operationState != 1;
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
            if (!checkFrame(shadow.data(), *length, address)) ++expectedInvalid;
            shadow.erase(shadow.begin(), shadow.begin() + *length);
          } else if (shadow.size() > 1024) {
            shadow.clear();
          }
          engine.receiveByte(byte);
          CHECK(engine.fields().receiveBuffer.size() <= 1025);
          CHECK(engine.fields().receiveBuffer == shadow);
          CHECK(engine.fields().transferLength >= 0 && engine.fields().transferLength <= 2056);
        }
        break;
      }
    }
  }
  CHECK(side.invalidFrames == expectedInvalid);
  CHECK(engine.fields().operationState >= 0 && engine.fields().operationState <= 2);
  return 0;
}
