#include <gtest/gtest.h>

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
  Bytes send(const Bytes& bytes) {
    session.receive(now, bytes.data(), bytes.size());
    return session.poll(now);
  }
  Bytes wait(SimTime d) {
    now += d;
    return session.poll(now);
  }
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

// Enough for every page to show something: units of every kind, data ports
// with different line settings, all four fields of network port 0, each
// register group once, and more than one packet.
TEST(BuiltinImage, HoldsEveryUnitKindAndNeedsSeveralPackets) {
  const Bytes image = builtinImage();
  ASSERT_EQ(image.size() % 8, 0u);
  EXPECT_GT(packetCount(static_cast<int>(image.size()) + kEnvelopeHeader), 1);
  std::multiset<int> kinds, selectors, groups;
  std::set<uint32_t> baudRates;
  for (size_t at = 0; at < image.size(); at += 8) {
    const uint8_t* u = image.data() + at;
    kinds.insert(u[0]);
    if (u[0] == 1) {
      baudRates.insert(uint32_t{u[2]} << 24 | uint32_t{u[3]} << 16 | uint32_t{u[4]} << 8 | u[5]);
      EXPECT_TRUE((u[6] >> 4) >= 5 && (u[6] >> 4) <= 8);
    }
    if (u[0] == 2) selectors.insert(u[1] * 16 + u[3]);  // port 0, selectors 0..3
    if (u[0] == 4) groups.insert(u[1]);
  }
  EXPECT_TRUE(kinds.count(1) == 2 || kinds.count(1) == 3);
  EXPECT_EQ(baudRates.size(), kinds.count(1));
  EXPECT_EQ(selectors, (std::multiset<int>{0, 1, 2, 3}));
  EXPECT_EQ(kinds.count(3), 2u);
  EXPECT_EQ(groups, (std::multiset<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(kinds.size(), kinds.count(1) + kinds.count(2) + kinds.count(3) + kinds.count(4)) << "no other kind";
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

  const Bytes image = imageOfUnits(20, 0x30);  // 168 envelope bytes: four packets
  EXPECT_EQ(writeImage(rig, image), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(rig.written, std::vector<Bytes>{image});
  EXPECT_EQ(readImage(rig), image);

  const Bytes largest = imageOfUnits(256, 0x01);
  EXPECT_EQ(writeImage(rig, largest).size(), 42u);
  EXPECT_EQ(rig.device.image(), largest);
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
  EXPECT_FALSE(reply->empty());
  EXPECT_LT(reply->size(), 64u);
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
