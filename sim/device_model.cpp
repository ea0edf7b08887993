#include "sim/device_model.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "config/config_unit.h"
#include "protocol/frames.h"

namespace velmora::sim {

namespace {

constexpr char kProbe[] = "RAZ";

const char* kindName(RequestKind kind) {
  switch (kind) {
    case RequestKind::Preamble: return "preamble";
    case RequestKind::AddressQuery: return "address query";
    case RequestKind::AddressChange: return "address change";
    case RequestKind::ReadRequest: return "read request";
    case RequestKind::WritePacket: return "write packet";
  }
  return "?";
}

}  // namespace

DeviceModel::DeviceModel(std::vector<uint8_t> image, uint8_t address) : image_(std::move(image)), address_(address) {
  // The envelope cannot carry more; a longer image would be cut on the wire.
  if (image_.size() > static_cast<size_t>(kMaxImageBytes))
    image_.resize(static_cast<size_t>(kMaxImageBytes));
}

void DeviceModel::log(const std::string& line) const {
  if (log_) log_(line);
}

Answer DeviceModel::handle(const Request& request, WriteAssembly& assembly) {
  Answer answer;
  std::optional<std::vector<uint8_t>> reply = respond(request, assembly);
  if (!reply) return answer;
  answer.answered = true;
  answer.sequence = ++answered_;
  answer.bytes = std::move(*reply);
  applyFaults(answer);
  if (!log_) return answer;
  if (answer.bytes.empty()) {
    log(strprintf("answer #%d dropped", answer.sequence));
  } else {
    const std::string late =
        answer.delay.count() > 0 ? strprintf(", %lld ms late", static_cast<long long>(answer.delay.count())) : "";
    log(strprintf("answer #%d (%zu bytes%s): %s", answer.sequence, answer.bytes.size(), late.c_str(),
                  hexBytesSpaced(answer.bytes.data(), std::min<size_t>(answer.bytes.size(), 80)).c_str()));
  }
  if (answer.closeLink) log(strprintf("link closes after answer #%d", answer.sequence));
  return answer;
}

std::optional<std::vector<uint8_t>> DeviceModel::respond(const Request& request, WriteAssembly& assembly) {
  // The address the answer will carry, a fault may replace the device's own.
  const int sequence = answered_ + 1;
  const bool otherAddress =
      faults_.replyAddress && (faults_.replyAddressAt == 0 || faults_.replyAddressAt == sequence);
  const uint8_t wireAddress = otherAddress ? *faults_.replyAddress : address_;

  switch (request.kind) {
    case RequestKind::Preamble:
      log("preamble");
      return std::nullopt;
    case RequestKind::AddressQuery:
      log("address query");
      return buildAddressReport(wireAddress);
    case RequestKind::AddressChange:
      log(strprintf("address change %d -> %d", address_, request.newAddress));
      address_ = request.newAddress;
      return buildAddressReport(otherAddress ? wireAddress : address_);
    case RequestKind::ReadRequest: {
      if (request.address != address_) {
        log(strprintf("read request for address %d ignored", request.address));
        return std::nullopt;
      }
      const std::vector<uint8_t> envelope = buildEnvelope(image_.data(), static_cast<int32_t>(image_.size()));
      const int total = packetCount(static_cast<int>(envelope.size()));
      if (request.packetNumber >= total) {
        log(strprintf("read request for packet %d of %d ignored", request.packetNumber, total));
        return std::nullopt;
      }
      const size_t offset = static_cast<size_t>(request.packetNumber) * kPacketPayload;
      const size_t count = std::min<size_t>(kPacketPayload, envelope.size() - offset);
      log(strprintf("read request packet %d of %d", request.packetNumber, total));
      return buildDataResponse(wireAddress, static_cast<uint16_t>(request.packetNumber), static_cast<uint16_t>(total),
                               envelope.data() + offset, count);
    }
    case RequestKind::WritePacket: {
      std::optional<std::vector<uint8_t>> ack = respondToWrite(request, assembly);
      if (ack) ack = buildWriteAck(wireAddress, static_cast<uint16_t>(request.packetNumber));
      return ack;
    }
  }
  log(strprintf("%s not handled", kindName(request.kind)));
  return std::nullopt;
}

// Takes write packets strictly in order; packet 0 always starts afresh, as a
// write the tool restarts begins with it. An answer is given only for a packet
// taken, and for the last one only when the whole envelope is sound, so the
// tool never hears success for an image the device refused.
std::optional<std::vector<uint8_t>> DeviceModel::respondToWrite(const Request& request, WriteAssembly& assembly) {
  const int p = request.packetNumber;
  const int t = request.totalPackets;
  if (request.address != address_) {
    log(strprintf("write packet for address %d ignored", request.address));
    return std::nullopt;
  }
  if (t < 1 || t > packetCount(kMaxEnvelopeBytes) || p >= t) {
    log(strprintf("write packet %d of %d ignored: numbers out of range", p, t));
    return std::nullopt;
  }
  if (p == 0) {
    assembly = WriteAssembly{};
    assembly.active = true;
    assembly.totalPackets = t;
  } else if (!assembly.active || p != assembly.nextPacket || t != assembly.totalPackets) {
    log(strprintf("write packet %d of %d not taken: expected %d of %d", p, t, assembly.active ? assembly.nextPacket : 0,
                  assembly.totalPackets));
    return std::nullopt;
  }
  const bool last = p == t - 1;
  if ((!last && request.payloadLength != kPacketPayload) ||
      assembly.envelope.size() + static_cast<size_t>(request.payloadLength) > static_cast<size_t>(kMaxEnvelopeBytes)) {
    log(strprintf("write packet %d of %d with %d bytes does not fit the envelope; transfer dropped", p, t,
                  request.payloadLength));
    assembly = WriteAssembly{};
    return std::nullopt;
  }
  assembly.envelope.insert(assembly.envelope.end(), request.payload, request.payload + request.payloadLength);
  ++assembly.nextPacket;
  log(strprintf("write packet %d of %d taken (%d bytes)", p, t, request.payloadLength));
  if (!last) return std::vector<uint8_t>{};

  std::vector<uint8_t> envelope = std::move(assembly.envelope);
  assembly = WriteAssembly{};
  if (!checkEnvelope(envelope.data(), static_cast<int32_t>(envelope.size()))) {
    log(strprintf("written envelope of %zu bytes refused: header check failed", envelope.size()));
    return std::nullopt;
  }
  image_.assign(envelope.begin() + kEnvelopeHeader, envelope.end());
  log(strprintf("new image taken: %zu bytes", image_.size()));
  ++imagesTaken_;
  if (faults_.storeWrongByte && *faults_.storeWrongByte < image_.size() &&
      (!faults_.storeWrongOnce || imagesTaken_ == 1)) {
    image_[*faults_.storeWrongByte] ^= 0xFF;
    log(strprintf("byte %zu stored inverted", *faults_.storeWrongByte));
  }
  if (imageListener_) imageListener_(image_);
  return std::vector<uint8_t>{};
}

void DeviceModel::applyFaults(Answer& a) {
  const int n = a.sequence;
  if (faults_.dropEvery || faults_.dropAt == n) {
    a.bytes.clear();
  } else {
    if (faults_.corruptAt == n) a.bytes.back() ^= 0xFF;  // CRC high byte, or the address report's checksum
    if (faults_.duplicateAt == n) {
      const std::vector<uint8_t> once = a.bytes;
      a.bytes.insert(a.bytes.end(), once.begin(), once.end());
    }
    if (faults_.garbageBytes > 0 && (faults_.garbageAt == 0 || faults_.garbageAt == n)) {
      std::vector<uint8_t> burst = garbage(std::min(faults_.garbageBytes, kMaxGarbageBytes));
      a.bytes.insert(a.bytes.begin(), burst.begin(), burst.end());
    }
  }
  if (faults_.delayAt == n) a.delay = std::min(faults_.delay, kMaxFaultDelay);
  if (faults_.closeAfter == n) a.closeLink = true;
  if (faults_.randomPerMille > 0) applyRandomFault(a);
}

uint32_t deviceFaultSeed(uint32_t seed, int index) {
  // splitmix32-style mixing: neighbouring indices give unrelated streams.
  uint32_t z = seed + 0x9E3779B9u * static_cast<uint32_t>(index + 1);
  z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
  z = (z ^ (z >> 13)) * 0xC2B2AE35u;
  z ^= z >> 16;
  return z != 0 ? z : 1;
}

uint32_t DeviceModel::nextFaultRandom() {
  faultRandom_ ^= faultRandom_ << 13;
  faultRandom_ ^= faultRandom_ >> 17;
  faultRandom_ ^= faultRandom_ << 5;
  return faultRandom_;
}

void DeviceModel::applyRandomFault(Answer& a) {
  if (nextFaultRandom() % 1000 >= static_cast<uint32_t>(faults_.randomPerMille)) return;
  switch (nextFaultRandom() % 4) {
    case 0:
      a.bytes.clear();
      log(strprintf("random fault: answer #%d dropped", a.sequence));
      return;
    case 1:
      if (!a.bytes.empty()) a.bytes.back() ^= 0xFF;
      log(strprintf("random fault: answer #%d corrupted", a.sequence));
      return;
    case 2:
      a.delay = std::chrono::milliseconds{100 + nextFaultRandom() % 2900};
      log(strprintf("random fault: answer #%d delayed %lld ms", a.sequence, static_cast<long long>(a.delay.count())));
      return;
    default:
      a.closeLink = true;
      log(strprintf("random fault: link closes after answer #%d", a.sequence));
      return;
  }
}

// Bytes that can never start a frame the tool recognises: no address report
// head and neither the device's address nor the one a fault answers with.
std::vector<uint8_t> DeviceModel::garbage(int count) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(count));
  while (static_cast<int>(out.size()) < count) {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    const uint8_t b = static_cast<uint8_t>(random_ >> 24);
    if (b == kAddressReportHead || b == address_ || (faults_.replyAddress && b == *faults_.replyAddress)) continue;
    out.push_back(b);
  }
  return out;
}

std::optional<std::vector<uint8_t>> DeviceModel::probeReply(const uint8_t* datagram, size_t count) const {
  if (datagram == nullptr || count != 3 || std::memcmp(datagram, kProbe, 3) != 0) return std::nullopt;
  const std::string text = strprintf("VELMORA %03d", address_);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// ---------------------------------------------------------------------------

DeviceSession::DeviceSession(DeviceModel& device, int baud) : device_(device) {
  // 10 bits a byte: start, 8 data, stop.
  if (baud > 0) byteTime_ = SimTime{(10'000'000LL + baud / 2) / baud};
}

void DeviceSession::receive(SimTime now, const uint8_t* bytes, size_t count) {
  if (closeRequested_ || bytes == nullptr) return;
  for (size_t i = 0; i < count; ++i) {
    SimTime at = now;
    if (byteTime_.count() > 0) {
      rxLineFree_ = std::max(rxLineFree_, now) + byteTime_;
      at = rxLineFree_;
    }
    inbox_.push_back({at, bytes[i]});
  }
}

std::vector<uint8_t> DeviceSession::poll(SimTime now) {
  while (!inbox_.empty() && inbox_.front().at <= now && !closeRequested_) {
    const Timed t = inbox_.front();
    inbox_.pop_front();
    hear(t.at, t.byte);
  }
  if (closeRequested_) {
    inbox_.clear();
    frame_.clear();
  }
  if (!frame_.empty() && now - lastHeard_ > kFrameGap) dropStalePartial(now);

  std::vector<uint8_t> out;
  while (!outbox_.empty() && outbox_.front().at <= now) {
    out.push_back(outbox_.front().byte);
    outbox_.pop_front();
  }
  return out;
}

std::optional<SimTime> DeviceSession::nextWake() const {
  std::optional<SimTime> wake;
  auto consider = [&wake](SimTime t) {
    if (!wake || t < *wake) wake = t;
  };
  if (!inbox_.empty() && !closeRequested_) consider(inbox_.front().at);
  if (!outbox_.empty()) consider(outbox_.front().at);
  if (!frame_.empty() && !closeRequested_) consider(lastHeard_ + kFrameGap + SimTime{1});
  return wake;
}

void DeviceSession::hear(SimTime at, uint8_t byte) {
  if (!frame_.empty() && at - lastHeard_ > kFrameGap) dropStalePartial(at);
  lastHeard_ = at;
  frame_.push_back(byte);
  scanFrames(at);
}

void DeviceSession::scanFrames(SimTime at) {
  // Every pass consumes at least one byte or stops.
  while (!frame_.empty() && !closeRequested_) {
    const ScanResult r = scanRequest(frame_.data(), frame_.size());
    if (r.state == ScanState::Incomplete) return;
    if (r.state == ScanState::NoFrame) {
      frame_.erase(frame_.begin());
      continue;
    }
    const Answer a = device_.handle(r.request, assembly_);  // reads the payload inside frame_
    frame_.erase(frame_.begin(), frame_.begin() + r.request.length);
    if (!a.bytes.empty()) queueOutput(at + SimTime{a.delay}, a.bytes);
    if (a.closeLink) closeRequested_ = true;
  }
}

// A pause ended a partial frame: its first byte goes, and whatever stands
// behind it is scanned again, so a complete frame after a stray byte is
// still answered.
void DeviceSession::dropStalePartial(SimTime at) {
  while (!frame_.empty() && !closeRequested_) {
    frame_.erase(frame_.begin());
    scanFrames(at);
  }
  frame_.clear();
}

void DeviceSession::queueOutput(SimTime readyAt, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) {
    const SimTime start = std::max(readyAt, txLineFree_);
    txLineFree_ = start + byteTime_;
    outbox_.push_back({txLineFree_, b});
  }
}

}  // namespace velmora::sim
