// The model and its wire frames, each answer checked with the tool's own parsers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <vector>

#include "protocol/frames.h"
#include "sim/builtin_image.h"
#include "sim/device_frames.h"
#include "sim/device_model.h"

using namespace velmora;
using namespace velmora::sim;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

template <typename C>
Bytes bytesOf(const C& c) { return Bytes(c.begin(), c.end()); }

// Whether bytes are exactly one frame the tool accepts from address.
bool isFrame(const Bytes& b, uint8_t address = 1) {
  return !b.empty() && checkFrame(b.data(), static_cast<int32_t>(b.size()), address) == static_cast<int>(b.size());
}

// One device and one link on a virtual clock.
struct Rig {
  explicit Rig(FaultPlan faults = {}, int baud = 0) : device(builtinImage()), session(device, baud) {
    device.setFaults(faults);
    device.setImageListener([this](const Bytes& image) { written.push_back(image); });
  }
  // Sends at the current time and returns what is due by then.
  Bytes send(const Bytes& b) { return session.receive(now, b.data(), b.size()), session.poll(now); }
  Bytes wait(SimTime d) { return session.poll(now += d); }
  Bytes query() { return send(bytesOf(buildAddressQuery())); }

  DeviceModel device;
  DeviceSession session;
  SimTime now{1000s};
  std::vector<Bytes> written;
};

// The tool's read, each answer decoded by the tool's own parsers: the image
// out of a sound envelope, or nothing.
std::optional<Bytes> readImage(Rig& rig, uint8_t address = 1) {
  rig.send(bytesOf(buildTransferPreamble()));
  Bytes envelope;
  for (int p = 0, total = 1; p < total && p < 50; ++p) {
    const Bytes answer = rig.send(bytesOf(buildReadRequest(address, static_cast<uint16_t>(p))));
    const auto r = parseDataResponse(answer.data(), static_cast<int32_t>(answer.size()));
    if (!isFrame(answer, address) || !r || r->packetNumber != p) return std::nullopt;
    total = r->totalPackets;
    envelope.insert(envelope.end(), r->data.begin(), r->data.end());
  }
  if (!checkEnvelope(envelope.data(), static_cast<int32_t>(envelope.size()))) return std::nullopt;
  return Bytes(envelope.begin() + kEnvelopeHeader, envelope.end());
}

Bytes writePacket(const Bytes& envelope, int p, int total, uint8_t address = 1) {
  return buildWritePacket(address, static_cast<uint16_t>(p), static_cast<uint16_t>(total), envelope.data(),
                          static_cast<int32_t>(envelope.size()))
      .frame;
}

// The tool's write; the packet numbers acknowledged, in order.
std::vector<int> writeImage(Rig& rig, const Bytes& image) {
  rig.send(bytesOf(buildTransferPreamble()));
  const Bytes envelope = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  const int total = packetCount(static_cast<int>(envelope.size()));
  std::vector<int> acks;
  for (int p = 0; p < total; ++p) {
    const Bytes answer = rig.send(writePacket(envelope, p, total));
    if (!isFrame(answer)) break;
    acks.push_back(*parseWriteAck(answer.data(), 8));
  }
  return acks;
}

Bytes imageOfUnits(int units, uint8_t seed) {
  Bytes image;
  for (int u = 0; u < units; ++u)
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : seed + u * 8 + i));
  return image;
}

}  // namespace

// Enough for every page to show something, and more than one packet.
TEST(BuiltinImage, HoldsEveryUnitKindAndNeedsSeveralPackets) {
  const Bytes image = builtinImage();
  ASSERT_EQ(image.size() % 8, 0u);
  EXPECT_GT(packetCount(static_cast<int>(image.size()) + kEnvelopeHeader), 1);
  std::set<int> kinds;
  for (size_t at = 0; at < image.size(); at += 8) kinds.insert(image[at]);
  EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4}));
}

// The device's frames, pinned to the bytes frames_test parses.
TEST(DeviceFrames, AnswersAreTheBytesTheToolParses) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  EXPECT_EQ(buildDataResponse(1, 0, 1, envelope.data(), envelope.size()),
            (Bytes{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79}));
  EXPECT_EQ(buildWriteAck(1, 0), (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C}));
  EXPECT_EQ(buildAddressReport(5), (Bytes{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67}));
}

TEST(DeviceFrames, ScannerRecognisesEveryToolRequestAndWaitsOnItsPrefixes) {
  const Bytes envelope(51, 0x11);
  const struct {
    Bytes frame;
    RequestKind kind;
    int address, packet;
  } requests[] = {
      {bytesOf(buildTransferPreamble()), RequestKind::Preamble, 0, 0},
      {bytesOf(buildAddressQuery()), RequestKind::AddressQuery, 0, 0},
      {bytesOf(buildAddressChange(245)), RequestKind::AddressChange, 0, 0},
      // 0x55 and 0xFF are also bus addresses; the second byte tells them apart.
      {bytesOf(buildReadRequest(0x55, 0x0203)), RequestKind::ReadRequest, 0x55, 0x0203},
      {bytesOf(buildReadRequest(0xFF, 0x0203)), RequestKind::ReadRequest, 0xFF, 0x0203},
      {writePacket(envelope, 0, 2, 7), RequestKind::WritePacket, 7, 0},
      {writePacket(envelope, 1, 2, 7), RequestKind::WritePacket, 7, 1},
  };
  for (const auto& r : requests) {
    SCOPED_TRACE(static_cast<int>(r.kind));
    // Every proper prefix must wait for more bytes, or a frame that arrives
    // in pieces would be thrown away.
    for (size_t n = 1; n < r.frame.size(); ++n)
      EXPECT_EQ(scanRequest(r.frame.data(), n).state, ScanState::Incomplete) << "prefix " << n;
    const ScanResult s = scanRequest(r.frame.data(), r.frame.size());
    ASSERT_EQ(s.state, ScanState::Frame);
    EXPECT_EQ(s.request.kind, r.kind);
    EXPECT_EQ(s.request.length, static_cast<int>(r.frame.size()));
    EXPECT_EQ(s.request.address, r.address);
    EXPECT_EQ(s.request.packetNumber, r.packet);
  }
  EXPECT_EQ(scanRequest(requests[2].frame.data(), 8).request.newAddress, 245);
  const Request last = scanRequest(requests[6].frame.data(), 14).request;
  EXPECT_EQ(last.totalPackets, 2);
  ASSERT_EQ(last.payloadLength, 1);
  EXPECT_EQ(last.payload[0], 0x11);
}

TEST(DeviceFrames, ScannerRejectsBrokenHeadsAsSoonAsTheyShow) {
  Bytes badCrc = bytesOf(buildReadRequest(1, 0));
  badCrc[7] ^= 0x01;
  Bytes badSum = bytesOf(buildAddressChange(5));
  badSum[7] ^= 0x01;
  Bytes unprintable = bytesOf(buildTransferPreamble());
  unprintable[10] = 0x07;
  unprintable.resize(11);
  const Bytes broken[] = {
      badCrc,
      {0x01, 0x69, 0x00, 0x33},                          // wrong constant
      {0x01, 0x70},                                      // unknown function
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x01, 0x36, 0x01},  // the repeated packet number disagrees
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 4},           // no payload
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 55},          // more than 50 bytes
      {0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x00},        // change to address 0
      badSum,
      unprintable,
  };
  for (const Bytes& b : broken) EXPECT_EQ(scanRequest(b.data(), b.size()).state, ScanState::NoFrame) << ::testing::PrintToString(b);
}

TEST(DeviceModel, AnswersAddressCommandsAndOnlyItsOwnAddress) {
  Rig rig;
  EXPECT_EQ(rig.query(), buildAddressReport(1));
  EXPECT_TRUE(rig.send(bytesOf(buildReadRequest(2, 0))).empty());
  EXPECT_TRUE(rig.send(writePacket(buildEnvelope(nullptr, 0), 0, 1, 2)).empty());
  EXPECT_EQ(rig.device.answeredCount(), 1);
  EXPECT_EQ(rig.send(bytesOf(buildAddressChange(9))), buildAddressReport(9));
  EXPECT_EQ(rig.device.address(), 9);
  EXPECT_TRUE(rig.send(bytesOf(buildReadRequest(1, 0))).empty()) << "the old address is no longer answered";
  EXPECT_EQ(readImage(rig, 9), builtinImage());
}

TEST(DeviceModel, FullReadAndFullWritesOfTheLargestAndTheEmptyImage) {
  Rig rig;
  EXPECT_EQ(readImage(rig), builtinImage());
  // The preamble is not an answered request; a packet beyond the total is not answered.
  EXPECT_EQ(rig.device.answeredCount(), packetCount(static_cast<int>(builtinImage().size()) + kEnvelopeHeader));
  EXPECT_TRUE(rig.send(bytesOf(buildReadRequest(1, 40))).empty());

  const Bytes largest = imageOfUnits(256, 0x01);
  EXPECT_EQ(writeImage(rig, largest).size(), 42u);
  EXPECT_EQ(rig.written, std::vector<Bytes>{largest});
  EXPECT_EQ(readImage(rig), largest);
  EXPECT_EQ(writeImage(rig, {}), std::vector<int>{0});
  EXPECT_TRUE(rig.device.image().empty());
}

TEST(DeviceModel, WritePacketsAreTakenOnlyInOrder) {
  Rig rig;
  const Bytes image = imageOfUnits(12, 0x50);  // 104 envelope bytes: three packets
  const Bytes envelope = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  auto packet = [&](int p, int total = 3) { return rig.send(writePacket(envelope, p, total)); };
  EXPECT_TRUE(packet(1).empty()) << "no transfer started";
  EXPECT_EQ(packet(0), buildWriteAck(1, 0));
  EXPECT_TRUE(packet(2).empty()) << "packet 1 skipped";
  EXPECT_TRUE(packet(1, 4).empty()) << "total changed mid-transfer";
  EXPECT_EQ(packet(1), buildWriteAck(1, 1));
  EXPECT_TRUE(rig.written.empty());
  // A restart from packet 0 drops what was assembled.
  EXPECT_EQ(packet(0), buildWriteAck(1, 0));
  EXPECT_TRUE(packet(2).empty());
  EXPECT_EQ(packet(1), buildWriteAck(1, 1));
  EXPECT_EQ(packet(2), buildWriteAck(1, 2));
  EXPECT_EQ(rig.device.image(), image);
}

// The tool must never hear success for an image the device refused.
TEST(DeviceModel, RefusedEnvelopeIsNotTakenNorAcknowledged) {
  Rig rig;
  const Bytes image = imageOfUnits(8, 0x70);
  Bytes envelope = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  envelope[0] ^= 0x01;  // header CRC
  const int total = packetCount(static_cast<int>(envelope.size()));
  for (int p = 0; p < total; ++p) EXPECT_EQ(rig.send(writePacket(envelope, p, total)).empty(), p == total - 1) << p;
  EXPECT_EQ(rig.device.image(), builtinImage());
  EXPECT_TRUE(rig.written.empty());
}

TEST(DeviceSession, ResynchronisesAfterGarbageAndBrokenFrames) {
  Rig rig;
  Bytes stream{0x00, 0x13, 0xFF, 0x00, 0x69, 0x6C, 0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30};  // ends in a torn write head
  Bytes broken = bytesOf(buildReadRequest(1, 0));
  broken[6] ^= 0x40;
  stream.insert(stream.end(), broken.begin(), broken.end());
  const Bytes good = bytesOf(buildReadRequest(1, 1));
  stream.insert(stream.end(), good.begin(), good.end());
  const Bytes answer = rig.send(stream);
  ASSERT_TRUE(isFrame(answer));
  EXPECT_EQ(parseDataResponse(answer.data(), static_cast<int32_t>(answer.size()))->packetNumber, 1);
  EXPECT_EQ(rig.device.answeredCount(), 1);
}

TEST(DeviceSession, FrameInSingleBytesAndThePauseThatEndsAPartialFrame) {
  Rig rig;
  const Bytes query = bytesOf(buildAddressQuery());
  Bytes out;
  for (uint8_t b : query) {
    rig.wait(200ms);  // a gap of exactly 200 ms keeps the frame
    out = rig.send({b});
  }
  EXPECT_EQ(out, buildAddressReport(1));

  rig.send(Bytes(query.begin(), query.begin() + 4));
  rig.wait(201ms);
  EXPECT_TRUE(rig.send(Bytes(query.begin() + 4, query.end())).empty());
  EXPECT_EQ(rig.query(), buildAddressReport(1));

  // A plausible torn write head holds a complete request behind it until
  // the pause shows it will never complete; the request is then answered.
  Bytes held{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x00, 0x00};
  held.insert(held.end(), query.begin(), query.end());
  EXPECT_TRUE(rig.send(held).empty());
  ASSERT_TRUE(rig.session.nextWake());
  EXPECT_TRUE(rig.wait(200ms).empty());
  EXPECT_EQ(rig.wait(1ms), buildAddressReport(1));
  EXPECT_FALSE(rig.session.nextWake());
}

TEST(DeviceSession, BaudRatePacesBothDirections) {
  Rig rig({}, 9600);  // 10 bits a byte: 1042 us
  const SimTime byte{1042};
  const SimTime start = rig.now;
  EXPECT_TRUE(rig.query().empty());
  EXPECT_EQ(*rig.session.nextWake(), start + 1 * byte) << "the first byte is heard one byte time later";
  EXPECT_TRUE(rig.wait(8 * byte - 1us).empty()) << "the last request byte is still on the line";
  EXPECT_TRUE(rig.wait(1us).empty()) << "answer starts now, its first byte needs a byte time";
  EXPECT_EQ(rig.wait(3 * byte).size(), 3u);
  EXPECT_EQ(rig.wait(5 * byte).size(), 5u);
  EXPECT_FALSE(rig.session.nextWake());
}

TEST(DeviceModel, ProbeDatagram) {
  DeviceModel device(builtinImage(), 7);
  const Bytes raz{'R', 'A', 'Z'};
  const auto reply = device.probeReply(raz.data(), raz.size());
  ASSERT_TRUE(reply);
  EXPECT_TRUE(!reply->empty() && reply->size() < 64u);
  for (const Bytes& other : {Bytes{'R', 'A', 'Z', 0}, Bytes{'r', 'a', 'z'}, Bytes{'R', 'A'}, Bytes{}})
    EXPECT_FALSE(device.probeReply(other.data(), other.size()));
}

// Each fault fires on exactly the Nth answered request; requests that are
// not answered (the preamble, another address) do not count.
class Faults : public ::testing::Test {
 protected:
  // With plan, the answers to: preamble, foreign read, then three address queries.
  std::vector<Bytes> run() {
    rig.emplace(plan);
    rig->send(bytesOf(buildTransferPreamble()));
    rig->send(bytesOf(buildReadRequest(2, 0)));
    std::vector<Bytes> answers;
    for (int i = 0; i < 3; ++i) answers.push_back(rig->query());
    return answers;
  }
  // The first data response of a device with plan.
  Bytes firstData() const { return Rig(plan).send(bytesOf(buildReadRequest(1, 0))); }
  FaultPlan plan;
  const Bytes report = buildAddressReport(1);
  std::optional<Rig> rig;
};

TEST_F(Faults, EachFiresOnItsAnswer) {
  Bytes corrupt = report, twice = report;
  corrupt[7] ^= 0xFF;
  twice.insert(twice.end(), report.begin(), report.end());
  const struct {
    int FaultPlan::*at;
    int n;
    std::vector<Bytes> answers;
  } cases[] = {
      {&FaultPlan::dropAt, 2, {report, {}, report}},      // a dropped answer still counts
      {&FaultPlan::corruptAt, 2, {report, corrupt, report}},
      {&FaultPlan::duplicateAt, 3, {report, report, twice}},
      {&FaultPlan::closeAfter, 2, {report, report, {}}},  // nothing is answered once the link is closing
      {&FaultPlan::delayAt, 2, {report, {}, {}}},         // answers keep their order behind the late one
  };
  for (const auto& c : cases) {
    plan = {};
    plan.*c.at = c.n;
    plan.delay = 500ms;
    EXPECT_EQ(run(), c.answers) << c.n;
  }
  EXPECT_TRUE(rig->wait(499ms).empty());
  EXPECT_EQ(rig->wait(1ms), twice);
  plan = {};
  plan.closeAfter = 2;
  run();
  EXPECT_TRUE(rig->session.closing());

  plan = {};
  plan.corruptAt = 1;
  EXPECT_FALSE(isFrame(firstData())) << "a corrupted data response fails the tool's CRC check too";
  plan = {};
  plan.replyAddress = 7;
  const Bytes data = firstData();
  EXPECT_FALSE(isFrame(data, 1));
  EXPECT_TRUE(isFrame(data, 7));
  plan.replyAddressAt = 2;
  EXPECT_EQ(run(), (std::vector<Bytes>{report, buildAddressReport(7), report}));
}

// Acknowledged as sent, stored otherwise: the tool only sees it by reading back.
TEST(DeviceModel, StoreWrongByteInvertsTheStoredImageOnly) {
  FaultPlan plan;
  plan.storeWrongByte = 9;
  Rig rig(plan);
  const Bytes image = imageOfUnits(12, 0x50);
  EXPECT_EQ(writeImage(rig, image), (std::vector<int>{0, 1, 2}));
  Bytes stored = image;
  stored[9] ^= 0xFF;
  EXPECT_EQ(rig.written, std::vector<Bytes>{stored}) << "the listener (--save) gets what is stored";
  EXPECT_EQ(readImage(rig), stored);
  const Bytes shortImage = imageOfUnits(1, 0x10);  // no byte 9
  EXPECT_EQ(writeImage(rig, shortImage).size(), 1u);
  EXPECT_EQ(readImage(rig), shortImage);
}

TEST_F(Faults, GarbageBurstsBeforeAnswers) {
  plan.garbageBytes = 300;
  plan.garbageAt = 2;
  auto answers = run();
  EXPECT_EQ(answers[0], report);
  EXPECT_EQ(answers[2], report);
  ASSERT_EQ(answers[1].size(), 308u);
  EXPECT_EQ(Bytes(answers[1].end() - 8, answers[1].end()), report);
  // Never a byte that could start a frame the tool recognises.
  const std::set<uint8_t> seen(answers[1].begin(), answers[1].end() - 8);
  EXPECT_EQ(seen.count(0x22) + seen.count(0x01), 0u);
  EXPECT_GT(seen.size(), 100u) << "random, not a constant fill";

  plan.garbageAt = 0;
  plan.garbageBytes = 5;
  for (const Bytes& a : run()) EXPECT_EQ(a.size(), 13u);
}

// The soak's faults: about the rate asked for, of all four kinds, the same
// again for the same seed, and another stream for each device of a run.
TEST(DeviceModel, RandomFaultsAreRareRepeatableAndOfEveryKind) {
  const Bytes query = bytesOf(buildAddressQuery());
  const Bytes report = bytesOf(buildAddressReport(1));
  auto faultsOf = [&](uint32_t seed) {
    DeviceModel device(builtinImage());
    FaultPlan plan;
    plan.randomPerMille = 50;
    plan.randomSeed = seed;
    device.setFaults(plan);
    const ScanResult scanned = scanRequest(query.data(), query.size());
    WriteAssembly assembly;
    std::string kinds;
    for (int i = 0; i < 2000; ++i) {
      const Answer a = device.handle(scanned.request, assembly);
      if (a.delay.count() > 0) {
        EXPECT_TRUE(a.delay >= 100ms && a.delay < 3000ms) << a.delay.count();
      }
      kinds += a.bytes.empty() ? 'D' : a.bytes != report ? 'C' : a.delay.count() > 0 ? 'L' : a.closeLink ? 'X' : '.';
    }
    return kinds;
  };
  const std::string first = faultsOf(deviceFaultSeed(7, 0));
  EXPECT_EQ(first, faultsOf(deviceFaultSeed(7, 0)));
  EXPECT_NE(first, faultsOf(deviceFaultSeed(7, 1)));
  EXPECT_NE(first, faultsOf(deviceFaultSeed(8, 0)));
  const auto faults = 2000 - std::count(first.begin(), first.end(), '.');
  EXPECT_GT(faults, 60) << "5 % of 2000";
  EXPECT_LT(faults, 140);
  for (const char kind : std::string("DCLX")) EXPECT_GT(std::count(first.begin(), first.end(), kind), 10) << kind;
}
