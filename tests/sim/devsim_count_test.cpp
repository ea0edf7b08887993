// velmora-devsim --count as built: several devices from one process on
// consecutive loopback ports, each with its own address and faults.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/frames.h"
#include "tests/support/child_process.h"

using namespace velmora::testing;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kDevsim = VELMORA_DEVSIM_PATH;

// A connected loopback socket; answer() waits at most one second.
struct Link {
  explicit Link(uint16_t port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    const sockaddr_in a{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    const timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  }
  ~Link() { ::close(fd); }
  // The eight-byte address report to request, or fewer bytes when none came.
  Bytes ask(const std::array<uint8_t, 8>& request) const {
    if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
    Bytes got(8);
    got.resize(static_cast<size_t>(std::max<ssize_t>(::recv(fd, got.data(), got.size(), MSG_WAITALL), 0)));
    return got;
  }
  int fd;
  bool connected = false;
};

// The address an address report carries, or -1 for no report.
int reportedAddress(const Bytes& report) {
  return report.size() == 8 && report[0] == velmora::kAddressReportHead ? report[1] : -1;
}

}  // namespace

TEST(DevsimCount, DevicesOnConsecutivePortsKeepTheirOwnAddressAndFaults) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--count", "3", "--fault-device", "2", "--drop", "all"}))
      << sim.errorOutput();
  const uint16_t first = sim.port("tcp", 0);
  ASSERT_NE(first, 0);
  for (size_t i = 1; i < 3; ++i) EXPECT_EQ(sim.port("tcp", i), first + i) << sim.endpoint("tcp", i);
  EXPECT_EQ(sim.port("tcp", 3), 0) << "one line per device, no more";

  const Link zero(first), one(static_cast<uint16_t>(first + 1)), two(static_cast<uint16_t>(first + 2));
  ASSERT_TRUE(zero.connected && one.connected && two.connected);
  EXPECT_EQ(reportedAddress(one.ask(velmora::buildAddressChange(7))), 7);
  EXPECT_EQ(reportedAddress(zero.ask(velmora::buildAddressQuery())), 1) << "device 0 kept its address";
  EXPECT_EQ(reportedAddress(one.ask(velmora::buildAddressQuery())), 7);
  EXPECT_EQ(reportedAddress(two.ask(velmora::buildAddressQuery())), -1) << "the faulty device stays silent";
  EXPECT_EQ(reportedAddress(zero.ask(velmora::buildAddressQuery())), 1) << "and the others still answer";
  EXPECT_EQ(sim.stop(), 0) << sim.errorOutput();
}
