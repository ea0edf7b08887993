#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <memory>
#include <thread>

#include "link/link_events_qt.h"
#include "link/serial_channel_qt.h"
#include "link/serial_posix.h"
#include "tests/link/pty_pair_qt.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr SerialSettings k8N1{9600, 8, 0, 0};

bool exclusiveFlag(int fd) {
  int exclusive = -1;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// The bytes the channel posts, and each loss notice with the bytes before it.
struct ByteSink : QObject {
  Bytes bytes;
  std::vector<std::pair<int, size_t>> losses;  // errno, bytes before
  void customEvent(QEvent* event) override {
    if (event->type() == SerialByteEvent::kType) bytes.push_back(static_cast<SerialByteEvent*>(event)->byte);
    if (event->type() == SerialLostEvent::kType)
      losses.emplace_back(static_cast<SerialLostEvent*>(event)->errorCode, bytes.size());
  }
};

}  // namespace

TEST(LineSettings, MapsEveryCodeToTermios) {
  const struct {
    SerialSettings s;
    tcflag_t size, parity;
    bool cstopb;
  } cases[] = {
      {{115200, 7, 2, 2}, CS7, PARENB, true},
      {{9600, 8, 0, 0}, CS8, 0, false},
      {{9600, 8, 0, 1}, CS8, PARENB | PARODD, false},
      {{9600, 6, 0, 3}, CS6, PARENB | PARODD | CMSPAR, false},  // mark
      {{1200, 5, 1, 4}, CS5, PARENB | CMSPAR, true},            // space; 1.5 stop bits go out as CSTOPB
  };
  for (const auto& c : cases) {
    termios t{};
    // Left over from an earlier user: flow control, cooked input, other parity.
    t.c_cflag = CSTOPB | CRTSCTS | PARENB | PARODD | CMSPAR;
    t.c_iflag = IXON | IXOFF | IXANY;
    t.c_lflag = ICANON;
    ASSERT_TRUE(applyLineSettings(t, c.s)) << c.s.baudRate;
    EXPECT_EQ(cfgetispeed(&t), baudToSpeed(c.s.baudRate));
    EXPECT_EQ(t.c_cflag & CSIZE, c.size);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parity) << c.s.parity;
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD | CRTSCTS), static_cast<tcflag_t>(CLOCAL | CREAD));
    // Raw mode: the pty test's CR, LF, XON and XOFF bytes show the rest.
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(t.c_lflag & ICANON, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
  }
  EXPECT_EQ(baudToSpeed(921600), B921600);
  for (const SerialSettings& bad : {SerialSettings{9601, 8, 0, 0}, {9600, 4, 0, 0}, {9600, 9, 0, 0}, {9600, 8, 3, 0},
                                    {9600, 8, -1, 0}, {9600, 8, 0, 5}, {9600, 8, 0, -1}}) {
    termios t{};
    t.c_cflag = CS6 | CSTOPB;
    EXPECT_FALSE(applyLineSettings(t, bad)) << bad.baudRate << " " << bad.byteSize << bad.stopBits << bad.parity;
    EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(CS6 | CSTOPB)) << "untouched on refusal";
  }
}

TEST(LineSettings, ReadBackNamesWhatTheDeviceDidNotTake) {
  termios asked{};
  ASSERT_TRUE(applyLineSettings(asked, {115200, 7, 2, 3}));  // mark parity
  const auto refused = [&](tcflag_t clear, tcflag_t set, speed_t speed = B115200) {
    termios taken = asked;
    taken.c_cflag = (taken.c_cflag & ~clear) | set;
    cfsetospeed(&taken, speed);
    return lineSettingsMismatch(asked, taken);
  };
  EXPECT_EQ(refused(0, 0, B9600), unsigned{kLineSpeed});
  EXPECT_EQ(refused(CSIZE | PARENB, CS8), unsigned{kLineDataBits | kLineParity}) << "what a pty does";
  EXPECT_EQ(refused(CMSPAR, 0), unsigned{kLineParity}) << "mark became odd";
  EXPECT_EQ(refused(CSTOPB, 0), unsigned{kLineStopBits});
  EXPECT_EQ(refused(0, CRTSCTS | HUPCL), 0u) << "other flags are the driver's business";

  // With parity off on both sides, left-over odd and mark flags mean nothing.
  termios none{};
  ASSERT_TRUE(applyLineSettings(none, k8N1));
  termios taken = none;
  taken.c_cflag |= PARODD | CMSPAR;
  EXPECT_EQ(lineSettingsMismatch(none, taken), 0u);
}

TEST(SerialChannelPty, ExclusiveRawTransferAndClose) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  // The test holds the slave too, so the tty, its flag and its stale input live on.
  const int holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_TRUE(pty.write({0xEE, 0xEE, 0xEE}));
  pty.read(3, 500);  // the echo of the still cooked tty
  ByteSink sink, other;
  SerialChannel channel, second;
  EXPECT_FALSE(channel.write(reinterpret_cast<const uint8_t*>("x"), 1)) << "not open";
  // A pty keeps speed and stop bits (it forces its own data bits and parity).
  ASSERT_TRUE(channel.open(&sink, pty.slavePath(), {115200, 8, 2, 0})) << channel.lastError().message();
  termios t{};
  ASSERT_EQ(::tcgetattr(channel.descriptor(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B115200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  // A second open keeps the first settings and reader.
  EXPECT_TRUE(channel.open(&other, pty.slavePath(), k8N1));
  EXPECT_EQ(channel.settings(), (SerialSettings{115200, 8, 2, 0}));
  EXPECT_TRUE(exclusiveFlag(holder));
  EXPECT_FALSE(second.open(nullptr, pty.slavePath(), k8N1));
  EXPECT_EQ(second.lastError(), std::errc::device_or_resource_busy);

  const Bytes in = {0x01, 0x69, 0x00, 0x0D, 0x0A, 0x11, 0x13, 0xFF, 0x00, 0x7F};  // no byte is special in raw mode
  ASSERT_TRUE(pty.write(in));
  ASSERT_TRUE(waitUntil([&] { return sink.bytes.size() >= in.size(); }));
  EXPECT_EQ(sink.bytes, in);
  EXPECT_TRUE(other.bytes.empty());
  const Bytes out = {0x55, 0xF5, 0x40, 0x00, 0x0A, 0x0D, 0x00, 0x8A};
  EXPECT_TRUE(channel.write(out.data(), static_cast<int32_t>(out.size())));
  EXPECT_EQ(pty.read(out.size()), out);

  // The reader sleeps in poll(); close wakes it instead of sitting out its safety wait.
  ::usleep(50000);
  QElapsedTimer clock;
  clock.start();
  channel.close();
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_FALSE(channel.write(out.data(), 8)) << "closed";
  QCoreApplication::processEvents();
  EXPECT_TRUE(sink.losses.empty()) << "a close by the owner is no loss";
  EXPECT_FALSE(exclusiveFlag(holder)) << "the flag must not outlive the channel";
  EXPECT_TRUE(second.open(nullptr, pty.slavePath(), k8N1)) << second.lastError().message();
  second.close();

  // Someone else's flock keeps us out, also as root.
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(channel.open(nullptr, pty.slavePath(), k8N1));
  EXPECT_EQ(channel.lastError(), std::errc::device_or_resource_busy);
  ::flock(holder, LOCK_UN);
  // Someone else's TIOCEXCL too; and our refusal leaves their flag alone.
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  EXPECT_FALSE(channel.open(nullptr, pty.slavePath(), k8N1));
  EXPECT_TRUE(exclusiveFlag(holder));
  ::close(holder);
}

TEST(SerialChannelPty, OpenFailuresKeepTheReason) {
  SerialChannel channel;
  EXPECT_FALSE(channel.open(nullptr, "/dev/velmora-no-such-port", k8N1));
  EXPECT_EQ(channel.lastError(), std::errc::no_such_file_or_directory);
  // Other device nodes, files and directories are refused before any open.
  for (const char* path : {"/proc/self/status", "/dev"}) EXPECT_FALSE(isTtyDevice(path)) << path;
  EXPECT_FALSE(channel.open(nullptr, "/dev/zero", k8N1));
  EXPECT_EQ(channel.lastError(), std::errc::inappropriate_io_control_operation);

  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  EXPECT_FALSE(channel.open(nullptr, pty.slavePath(), {12345, 8, 0, 0}));
  EXPECT_EQ(channel.lastError(), std::errc::invalid_argument);
  // A pty keeps 8 data bits and no parity, refused or silently dropped: the read-back says so.
  EXPECT_FALSE(channel.open(nullptr, pty.slavePath(), {9600, 7, 0, 0}));
  EXPECT_EQ(channel.lastError(), lineSettingsError(kLineDataBits));
  EXPECT_FALSE(channel.open(nullptr, pty.slavePath(), {9600, 8, 0, 2}));
  EXPECT_EQ(channel.lastError(), lineSettingsError(kLineParity));
  // Nothing stayed behind: the port opens at once.
  EXPECT_TRUE(channel.open(nullptr, pty.slavePath(), k8N1));
}

TEST(SerialChannelPty, BigBlocksGoWholeAndInOrderBothWays) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ByteSink sink;
  SerialChannel channel;
  ASSERT_TRUE(channel.open(&sink, pty.slavePath(), k8N1));
  const Bytes burst = pattern(5000, 3);
  std::thread device([&] { pty.write(burst); });
  const bool all = waitUntil([&] { return sink.bytes.size() >= burst.size(); }, 10000);
  device.join();
  ASSERT_TRUE(all) << sink.bytes.size();
  EXPECT_EQ(sink.bytes, burst);

  // The channel's write waits for room too.
  const Bytes block = pattern(200000, 11);
  Bytes received;
  std::thread reader([&] { received = pty.read(block.size(), 10000); });
  EXPECT_TRUE(channel.write(block.data(), static_cast<int32_t>(block.size())));
  reader.join();
  EXPECT_TRUE(received == block) << received.size();
}

TEST(SerialChannelPty, DeviceGoneIsReportedOnceAfterTheLastByte) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ByteSink sink;
  SerialChannel channel;
  ASSERT_TRUE(channel.open(&sink, pty.slavePath(), k8N1));
  const uint32_t session = channel.session();
  ASSERT_TRUE(pty.write({7, 8, 9}));  // the device's last words arrive with its end
  ::usleep(20000);
  pty.closeMaster();
  ASSERT_TRUE(waitUntil([&] { return !sink.losses.empty(); }));
  EXPECT_EQ(sink.bytes, (Bytes{7, 8, 9}));
  EXPECT_EQ(sink.losses[0], std::make_pair(ENODEV, size_t{3}));  // the hung-up tty reads end of file
  EXPECT_EQ(channel.lostReason(), std::errc::no_such_device);
  EXPECT_TRUE(channel.isOpen()) << "open until the owner closes it";
  const uint8_t b = 1;
  EXPECT_FALSE(channel.write(&b, 1));
  settle(100);
  EXPECT_EQ(sink.losses.size(), 1u) << "one notice, also after a failed write";

  channel.close();
  EXPECT_NE(channel.session(), session) << "what the old session posted is told apart";

  // A write that fails first already knows the device is gone (EIO, or the reader's EOF if first).
  PtyPair second;
  ASSERT_TRUE(second.ok() && channel.open(&sink, second.slavePath(), k8N1));
  second.closeMaster();
  EXPECT_FALSE(channel.write(&b, 1));
  const std::error_code reason = channel.lostReason();
  EXPECT_TRUE(reason == std::errc::io_error || reason == std::errc::no_such_device) << reason.message();
}

TEST(SerialChannelPty, DestroyingAnOpenChannelClosesIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  auto sink = std::make_unique<ByteSink>();
  {
    SerialChannel channel;
    ASSERT_TRUE(channel.open(sink.get(), pty.slavePath(), k8N1));
    ASSERT_TRUE(pty.write(pattern(300)));
    ::usleep(20000);
  }
  // The reader is gone before the owner: bytes it posted are for a live object.
  QCoreApplication::processEvents();
  sink.reset();
  SerialChannel again;
  EXPECT_TRUE(again.open(nullptr, pty.slavePath(), k8N1)) << again.lastError().message();
}

TEST(SerialPortSearch, OnlyUsablePortsAreOffered) {
  PtyPair free, busy;
  SerialChannel holder;
  ASSERT_TRUE(free.ok() && busy.ok() && holder.open(nullptr, busy.slavePath(), k8N1));
  EXPECT_EQ(filterOpenablePorts(
                {busy.slavePath(), "/dev/null", "/dev/velmora-no-such-port", free.slavePath(), free.slavePath()}),
            std::vector<std::string>{free.slavePath()});
  // Looking did not disturb the holder.
  EXPECT_TRUE(holder.write(reinterpret_cast<const uint8_t*>("a"), 1));
  EXPECT_EQ(busy.read(1), Bytes{'a'});

  for (const std::string& p : probeSerialPorts()) EXPECT_TRUE(isSerialDevicePath(p) && p != busy.slavePath()) << p;
}
