// The Wireshark dissector in res/wireshark against real traffic: a capture
// of velmora-cli --pcap, and a TCP session with velmora-devsim on 127.0.0.1
// written as Ethernet/IPv4/TCP records, answers cut across segments.
// Skipped when tshark is not installed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "protocol/frames.h"
#include "tests/support/child_process.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH, kDevsim = VELMORA_DEVSIM_PATH, kScript = VELMORA_LUA_PATH;
const std::string kTshark = "/usr/bin/tshark";
constexpr auto kLimit = 60s;  // only a hang meets it

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One line per captured packet: the meanings the dissector gave its frames.
std::vector<std::string> dissect(const std::string& pcap) {
  const RunResult r = runToEnd(kTshark,
                               {"-n", "-X", "lua_script:" + kScript, "-r", pcap, "-T", "fields", "-E", "occurrence=a",
                                "-E", "aggregator=|", "-e", "velmora.meaning"},
                               kLimit);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("Lua"), std::string::npos) << r.err;
  return linesOf(r.out);
}

struct TempDir {
  TempDir() : path(::testing::TempDir() + "velmora_ws_XXXXXX") { ::mkdtemp(path.data()); }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

#define SKIP_WITHOUT_TSHARK() \
  if (::access(kTshark.c_str(), X_OK) != 0) GTEST_SKIP() << "tshark is not installed (apt install tshark)"

template <typename T>
void put(Bytes& out, T value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}
void putBe16(Bytes& out, uint16_t v) { out.push_back(static_cast<uint8_t>(v >> 8)), out.push_back(static_cast<uint8_t>(v)); }
void putBe32(Bytes& out, uint32_t v) { putBe16(out, static_cast<uint16_t>(v >> 16)), putBe16(out, static_cast<uint16_t>(v)); }

// Ethernet/IPv4/TCP records of one connection between 127.0.0.1 ports.
class TcpCapture {
 public:
  TcpCapture(uint16_t toolPort, uint16_t devicePort) : toolPort_(toolPort), devicePort_(devicePort) {
    put<uint32_t>(file_, 0xA1B2C3D4), put<uint16_t>(file_, 2), put<uint16_t>(file_, 4), put<int32_t>(file_, 0);
    put<uint32_t>(file_, 0), put<uint32_t>(file_, 65535), put<uint32_t>(file_, 1);  // DLT_EN10MB
  }
  void segment(bool fromTool, const Bytes& payload) {
    Bytes p(12, 0);  // both MACs zero
    putBe16(p, 0x0800);
    const size_t ip = p.size();
    p.insert(p.end(), {0x45, 0});
    putBe16(p, static_cast<uint16_t>(20 + 20 + payload.size()));
    putBe16(p, static_cast<uint16_t>(++id_)), putBe16(p, 0x4000);
    p.insert(p.end(), {64, 6, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1});
    uint32_t sum = 0;
    for (size_t i = ip; i < ip + 20; i += 2) sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    p[ip + 10] = static_cast<uint8_t>(~sum >> 8), p[ip + 11] = static_cast<uint8_t>(~sum);
    uint32_t& seq = fromTool ? toolSeq_ : deviceSeq_;
    putBe16(p, fromTool ? toolPort_ : devicePort_), putBe16(p, fromTool ? devicePort_ : toolPort_);
    putBe32(p, seq), putBe32(p, fromTool ? deviceSeq_ : toolSeq_);
    p.insert(p.end(), {0x50, 0x18, 0xFF, 0xFF, 0, 0, 0, 0});  // PSH ACK; checksum not checked by default
    p.insert(p.end(), payload.begin(), payload.end());
    seq += static_cast<uint32_t>(payload.size());
    put<uint32_t>(file_, 1800000000), put<uint32_t>(file_, ++id_ * 1000);
    put<uint32_t>(file_, static_cast<uint32_t>(p.size())), put<uint32_t>(file_, static_cast<uint32_t>(p.size()));
    file_.insert(file_.end(), p.begin(), p.end());
  }
  const Bytes& bytes() const { return file_; }

 private:
  uint16_t toolPort_, devicePort_;
  uint32_t toolSeq_ = 1000, deviceSeq_ = 5000, id_ = 0;
  Bytes file_;
};

// Reads exactly count bytes from fd within a few seconds.
Bytes readExactly(int fd, size_t count) {
  Bytes out(count);
  size_t got = 0;
  const auto deadline = Clock::now() + 10s;
  while (got < count && Clock::now() < deadline) {
    const ssize_t n = ::recv(fd, out.data() + got, count - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  out.resize(got);
  return out;
}

}  // namespace

TEST(Wireshark, DecodesEveryRecordOfAFullReadCapture) {
  SKIP_WITHOUT_TSHARK();
  TempDir dir;
  Bytes image;
  for (int i = 0; i < 2048; ++i) image.push_back(static_cast<uint8_t>(i % 8 == 0 ? 1 + i / 8 % 4 : i * 13));
  writeWholeFile(dir / "full.vmc", image);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "full.vmc"}));
  const RunResult r = runToEnd(
      kCli, {"--tcp", sim.endpoint("tcp"), "--quiet", "--trace", "--pcap", dir / "r.pcap", "read", dir / "r.vmc"}, kLimit);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The dissector's words are the trace's: "... hex  meaning".
  std::vector<std::string> expected;
  for (const std::string& line : linesOf(r.err)) expected.push_back(line.substr(line.find("  ", 10) + 2));
  ASSERT_EQ(expected.size(), 85u);
  EXPECT_EQ(dissect(dir / "r.pcap"), expected);
  const RunResult verbose = runToEnd(kTshark, {"-n", "-X", "lua_script:" + kScript, "-r", dir / "r.pcap", "-V"}, kLimit);
  size_t crcRight = 0;
  for (size_t at = 0; (at = verbose.out.find("CRC right: True", at)) != std::string::npos; ++at) ++crcRight;
  EXPECT_EQ(crcRight, 84u) << "42 requests and 42 responses";
  EXPECT_EQ(sim.stop(), 0);
}

TEST(Wireshark, ReassemblesFramesAcrossTcpSegments) {
  SKIP_WITHOUT_TSHARK();
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0"}));
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(sim.port("tcp"));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  timeval wait{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

  // The dissector finds port 6000 whatever port devsim got.
  TcpCapture capture(40000, 6000);
  const auto preamble = velmora::buildTransferPreamble();
  const auto request0 = velmora::buildReadRequest(1, 0);
  Bytes first(preamble.begin(), preamble.end());
  first.insert(first.end(), request0.begin(), request0.end());
  ASSERT_EQ(::send(fd, first.data(), first.size(), 0), static_cast<ssize_t>(first.size()));
  capture.segment(true, first);  // two frames in one segment
  const Bytes head = readExactly(fd, 3);
  ASSERT_EQ(head.size(), 3u);
  const Bytes rest = readExactly(fd, head[2] + 2u);
  ASSERT_EQ(rest.size(), head[2] + 2u);
  Bytes response = head;
  response.insert(response.end(), rest.begin(), rest.end());
  // The answer cut in three: before its byte count is known, and mid-data.
  capture.segment(false, Bytes(response.begin(), response.begin() + 2));
  capture.segment(false, Bytes(response.begin() + 2, response.begin() + 30));
  const auto query = velmora::buildAddressQuery();
  Bytes tail(response.begin() + 30, response.end());
  capture.segment(false, tail);
  capture.segment(true, Bytes(query.begin(), query.end()));
  ::close(fd);
  EXPECT_EQ(sim.stop(), 0);

  TempDir dir;
  writeWholeFile(dir / "tcp.pcap", capture.bytes());
  const std::string total = std::to_string(response[5] << 8 | response[6]);
  EXPECT_EQ(dissect(dir / "tcp.pcap"),
            (std::vector<std::string>{"transfer preamble|read request: packet 0", "", "",
                                      "data response: packet 0 of " + total + ", " + std::to_string(head[2] - 4) +
                                          " data bytes",
                                      "address query"}));
}
