// Receive assembly throughput: a stream of valid data responses pushed
// byte by byte through TransferEngine::receiveByte, as the channels do.
#include <benchmark/benchmark.h>

#include <vector>

#include "diag/monitor_log.h"
#include "protocol/frame_trace.h"
#include "protocol/frames.h"
#include "protocol/transfer_engine.h"
#include "tests/support/null_transfer_side.h"

using namespace velmora;

namespace {

using Side = velmora::testing::NullTransferSide;

// Built here rather than with the simulated device's builder, which keeps
// to the device's 50-byte packets: the 251-byte case is the longest frame.
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
  Side host;
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

// The window's traffic record: every frame decoded and kept, as the
// monitor page has it.
class MonitorObserver final : public FrameObserver {
 public:
  void onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
               const FrameInfo& info) override {
    log.add(direction, timeUs, bytes, length, info);
  }
  MonitorLog log;
};

// Reading: 42 in-order packets of 50 bytes, the read transfer taking each,
// with or without an observer of the frames.
void receiveRead(benchmark::State& state, FrameObserver* observer) {
  Side host;
  TransferEngine engine(host, &host);
  engine.setConnectionPage(&host);
  engine.setMainWindow(&host);
  engine.setLinkState(true, "");
  engine.setFrameObserver(observer);
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

void ReceiveDuringRead(benchmark::State& state) { receiveRead(state, nullptr); }
BENCHMARK(ReceiveDuringRead);

void ReceiveDuringReadObserved(benchmark::State& state) {
  MonitorObserver observer;
  receiveRead(state, &observer);
}
BENCHMARK(ReceiveDuringReadObserved);

}  // namespace

BENCHMARK_MAIN();
