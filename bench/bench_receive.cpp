// Receive assembly throughput: a stream of valid data responses pushed
// byte by byte through TransferEngine::receiveByte, as the channels do.
#include <benchmark/benchmark.h>

#include <vector>

#include "protocol/frames.h"
#include "protocol/transfer_engine.h"

using namespace velmora;

namespace {

// Everything the engine asks for is free: only the assembly is measured.
class NullHost : public TransferHost, public DeviceLink, public ImageHost {
 public:
  uint64_t now = 1'000'000;
  std::vector<uint8_t> image;
  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return {}; }
  void sleepMs(int) override {}
  void startTimer(int, int) override {}
  void stopTimer(int) override {}
  void messageBox(const std::string&) override {}
  void setStateText(const std::string&) override {}
  void setLinkStatusText(const std::string&) override {}
  void setProgress(int) override {}
  void resetProgress() override {}
  void setButtonsEnabled(bool, bool) override {}
  bool sendBytes(const uint8_t*, int32_t) override { return true; }
  uint8_t addressBoxValue() const override { return 1; }
  void showAddressReport(const std::string&, const std::string&) override {}
  void loadImage(const uint8_t*, int32_t) override {}
  bool gatherCurrentPage() override { return true; }
  const std::vector<uint8_t>& configImage() const override { return image; }
  void logMessage(const std::string&) override {}
};

std::vector<uint8_t> dataResponse(int packet, int total, int dataBytes) {
  std::vector<uint8_t> f(7 + dataBytes + 2);
  f[0] = 1;
  f[1] = kFunctionRead;
  f[2] = static_cast<uint8_t>(dataBytes + 4);
  f[3] = static_cast<uint8_t>(packet >> 8);
  f[4] = static_cast<uint8_t>(packet);
  f[5] = static_cast<uint8_t>(total >> 8);
  f[6] = static_cast<uint8_t>(total);
  for (int i = 0; i < dataBytes; ++i) f[7 + i] = static_cast<uint8_t>(i * 13 + packet);
  const uint16_t crc = crc16(f.data(), static_cast<uint16_t>(7 + dataBytes));
  f[7 + dataBytes] = static_cast<uint8_t>(crc);
  f[8 + dataBytes] = static_cast<uint8_t>(crc >> 8);
  return f;
}

// Idle: every response is recognised, cut out and dispatched as unknown.
void ReceiveIdle(benchmark::State& state) {
  NullHost host;
  TransferEngine engine(host);
  engine.setConnectionPage(&host);
  engine.setLinkState(true, "");
  const std::vector<uint8_t> frame = dataResponse(0, 1, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (uint8_t b : frame) engine.receiveByte(b);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(ReceiveIdle)->Arg(50)->Arg(251);

// Reading: 42 in-order packets of 50 bytes, the read transfer taking each.
void ReceiveDuringRead(benchmark::State& state) {
  NullHost host;
  TransferEngine engine(host);
  engine.setConnectionPage(&host);
  engine.setMainWindow(&host);
  engine.setLinkState(true, "");
  std::vector<std::vector<uint8_t>> packets;
  size_t bytesPerRead = 0;
  for (int p = 0; p < 42; ++p) {
    packets.push_back(dataResponse(p, 42, p == 41 ? 6 : 50));
    bytesPerRead += packets.back().size();
  }
  for (auto _ : state) {
    engine.startRead();
    for (const auto& frame : packets)
      for (uint8_t b : frame) engine.receiveByte(b);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesPerRead));
}
BENCHMARK(ReceiveDuringRead);

}  // namespace

BENCHMARK_MAIN();
