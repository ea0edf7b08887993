// The simulated gateway: one configuration image and one bus address,
// answering the tool's requests, with faults that can be switched on for
// one chosen answer. DeviceModel is the device; DeviceSession is one link to
// it (a TCP connection, the pty) with its own receive state and line timing.
// Time is handed in by the caller, so tests run on a virtual clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/device_frames.h"

namespace velmora::sim {

// Microseconds since an origin the caller picks; only differences matter.
using SimTime = std::chrono::microseconds;

// A pause longer than this between two received bytes ends a partial frame.
inline constexpr std::chrono::milliseconds kFrameGap{200};
// Upper bound of one garbage burst.
inline constexpr int kMaxGarbageBytes = 65536;
// Upper bound of an injected delay.
inline constexpr std::chrono::milliseconds kMaxFaultDelay{600000};

// Faults count the requests the device answers, from 1, over the device's
// whole life and all its links. A trigger of 0 means "off", except where
// noted. Each fault fires on exactly one answer unless its trigger is 0 and
// the fault says "every".
struct FaultPlan {
  int dropAt = 0;       // that answer is not sent
  bool dropEvery = false;  // no answer is ever sent: a device that has gone silent
  int corruptAt = 0;    // that answer goes out with a wrong CRC (checksum for an address report)
  int duplicateAt = 0;  // that answer goes out twice, back to back
  int delayAt = 0;      // that answer goes out delay later
  std::chrono::milliseconds delay{0};
  std::optional<uint8_t> replyAddress;  // answers carry this address instead of the device's
  int replyAddressAt = 0;               // 0: every answer
  int closeAfter = 0;                   // the link closes once that answer has gone out
  int garbageBytes = 0;                 // a burst of this many non-frame bytes before an answer
  int garbageAt = 0;                    // 0: before every answer
  // Not counted in answers: every written image is acknowledged as sent but
  // stored with this byte (0-based within the image) inverted, so a later
  // read returns other bytes than were written. An image too short to have
  // that byte is stored as sent.
  std::optional<size_t> storeWrongByte;
  // The same for the first written image only; later ones are stored as
  // sent (a write that a rollback can put right).
  bool storeWrongOnce = false;
  // Random faults for a soak: of every thousand answers about this many
  // are dropped, corrupted, delayed (0.1 to 3 s) or followed by a close,
  // one of the four at random. The same seed gives the same faults for the
  // same requests.
  int randomPerMille = 0;
  uint32_t randomSeed = 1;
};

// The seed of device index from a run's seed: the devices of one run get
// different but repeatable faults.
uint32_t deviceFaultSeed(uint32_t seed, int index);

// What the device does about one request.
struct Answer {
  bool answered = false;        // the request counted (it was for this device and valid)
  int sequence = 0;             // its 1-based number among answered requests
  std::vector<uint8_t> bytes;   // what goes on the wire (empty when dropped)
  std::chrono::milliseconds delay{0};
  bool closeLink = false;       // close the link after these bytes
};

// The packets of one write transfer as they arrive, kept per link.
struct WriteAssembly {
  bool active = false;
  int totalPackets = 0;
  int nextPacket = 0;
  std::vector<uint8_t> envelope;
};

class DeviceModel {
 public:
  explicit DeviceModel(std::vector<uint8_t> image, uint8_t address = 1);

  const std::vector<uint8_t>& image() const { return image_; }
  uint8_t address() const { return address_; }
  int answeredCount() const { return answered_; }

  void setFaults(const FaultPlan& faults) {
    faults_ = faults;
    faultRandom_ = faults.randomSeed != 0 ? faults.randomSeed : 1;  // xorshift never leaves 0
  }
  const FaultPlan& faults() const { return faults_; }

  // Called with each image the tool writes, after the device has taken it.
  void setImageListener(std::function<void(const std::vector<uint8_t>&)> listener) {
    imageListener_ = std::move(listener);
  }
  // One line per request and per answer, for debugging.
  void setLogSink(std::function<void(const std::string&)> sink) { log_ = std::move(sink); }

  // Handles one request cut out of a link's stream.
  Answer handle(const Request& request, WriteAssembly& assembly);

  // The reply to a UDP probe datagram, or nothing for any other datagram.
  std::optional<std::vector<uint8_t>> probeReply(const uint8_t* datagram, size_t count) const;

 private:
  std::optional<std::vector<uint8_t>> respond(const Request& request, WriteAssembly& assembly);
  std::optional<std::vector<uint8_t>> respondToWrite(const Request& request, WriteAssembly& assembly);
  void applyFaults(Answer& answer);
  std::vector<uint8_t> garbage(int count);
  void applyRandomFault(Answer& answer);
  uint32_t nextFaultRandom();
  void log(const std::string& line) const;

  std::vector<uint8_t> image_;
  uint8_t address_;
  FaultPlan faults_;
  int answered_ = 0;
  uint32_t random_ = 0x2545F491u;
  uint32_t faultRandom_ = 1;
  int imagesTaken_ = 0;  // written images stored so far
  std::function<void(const std::vector<uint8_t>&)> imageListener_;
  std::function<void(const std::string&)> log_;
};

// One link to the device: received bytes in, answered bytes out, each byte
// stamped with the time it is heard or due. With a baud rate the link
// behaves as a serial line of 10 bits a byte both ways: a received byte is
// heard one byte time after the line became free, and answers leave one
// byte time per byte.
class DeviceSession {
 public:
  explicit DeviceSession(DeviceModel& device, int baud = 0);

  // Bytes that reached the link at now.
  void receive(SimTime now, const uint8_t* bytes, size_t count);
  // Handles everything heard by now and returns the bytes due by now.
  std::vector<uint8_t> poll(SimTime now);
  // The next time poll has something to do, if any.
  std::optional<SimTime> nextWake() const;
  // The device asked to close this link and every byte before that is out.
  bool closing() const { return closeRequested_ && outbox_.empty(); }

  // Bytes received but not yet heard or not yet formed into a frame.
  size_t pendingInput() const { return inbox_.size() + frame_.size(); }

 private:
  void hear(SimTime at, uint8_t byte);
  void scanFrames(SimTime at);
  void dropStalePartial(SimTime at);
  void queueOutput(SimTime readyAt, const std::vector<uint8_t>& bytes);

  struct Timed {
    SimTime at;
    uint8_t byte;
  };

  DeviceModel& device_;
  SimTime byteTime_{0};
  std::deque<Timed> inbox_;       // received, heard at .at
  std::vector<uint8_t> frame_;    // heard, not yet a complete frame
  SimTime lastHeard_{0};
  SimTime rxLineFree_{0};
  std::deque<Timed> outbox_;      // due at .at, in order
  SimTime txLineFree_{0};
  WriteAssembly assembly_;
  bool closeRequested_ = false;
};

}  // namespace velmora::sim
