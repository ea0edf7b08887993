// The real main window against the simulated device, over TCP and over a
// pty: what only the wiring of real channels, engine, strip, pages and log
// can break. The transfer rules themselves are tested in tests/protocol.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

using namespace std::chrono_literals;
using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

using TransferWindowTest = DeviceParamTest<Transport>;

// The pty runs at a real serial line's pace, 1200 baud. The device sits at
// address 5: only the address the box reports and is set to reaches it.
TEST_P(TransferWindowTest, AddressReadEditsWriteAndReconnect) {
  const bool tcp = GetParam() == Transport::Tcp;
  startDevice(tcp ? std::vector<std::string>{"--address", "5"}
                  : std::vector<std::string>{"--address", "5", "--baud", "1200"});
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  if (!tcp) {
    ui->clickTab(0);
    auto* baud = ui->control<QComboBox>(0, 2006);
    baud->setFocus();
    QTest::keyClick(baud, Qt::Key_Home);  // the first entry, 1200
    ASSERT_EQ(baud->currentText(), QStringLiteral("1200"));
  }
  connectOver(GetParam(), "1200");
  if (HasFatalFailure()) return;

  const auto reported = [&](const char* box) {
    return WindowDriver::waitFor([&] { return ui->text(0, 2012) == box && ui->text(0, 2015).endsWith(box); }, 3s);
  };
  ui->click(0, 2013);
  ASSERT_TRUE(reported("005")) << log.tail();
  ui->typeInto(ui->control<QLineEdit>(0, 2012), QStringLiteral("7"));
  ui->click(0, 2014);
  ASSERT_TRUE(reported("007")) << log.tail();

  size_t from = log.mark();
  ASSERT_TRUE(ui->transfer(true, 10s)) << log.tail();
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  EXPECT_TRUE(log.has("读取配置完成，共 3 包，128 字节", from)) << "120 bytes in an envelope of 128";
  EXPECT_FALSE(log.has("配置报文头错误！", from));

  // Each page visited loads the device's units and stores them back in
  // their place. The IP address is taken when its page is left without a
  // confirm; the register group is confirmed and written from its page,
  // which is gathered at the press.
  ui->clickTab(1);
  ui->clickTab(2);
  ui->typeInto(ui->control<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));
  ui->clickTab(3);
  ui->clickTab(4);
  ui->typeInto(ui->control<QLineEdit>(4, 8003), QStringLiteral("120"));
  ui->click(4, 8018);
  ASSERT_TRUE(ui->transfer(false, 10s)) << log.tail();
  Bytes expected = sampleImage();
  expected[5 * 8 + 7] = 99;                       // unit 5: the IP address
  expected[10 * 8 + 3] = 0, expected[10 * 8 + 4] = 120;  // unit 10: holding-register group 1
  EXPECT_EQ(saved(), expected);
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // Disconnected, the link is released and can be had again.
  ui->clickTab(0);
  ui->click(0, 2011);
  EXPECT_FALSE(ui->readEnabled());
  connectOver(GetParam(), "1200");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->transfer(true, 10s)) << log.tail();
  EXPECT_EQ(ui->window().configImage(), expected);
}

INSTANTIATE_TEST_SUITE_P(Links, TransferWindowTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const ::testing::TestParamInfo<Transport>& info) { return transportName(info.param); });

// Quitting while a read waits for a late answer releases the pty: the next
// window opens it again.
TEST_F(DeviceTest, QuittingDuringATransferReleasesThePortForTheNextRun) {
  startDevice({"--delay", "1:1500"});
  if (HasFatalFailure()) return;
  connectOver(Transport::Pty);
  if (HasFatalFailure()) return;
  ui->press(true);
  ASSERT_TRUE(WindowDriver::waitFor([&] { return ui->log().has("发送读取配置请求: 包 0"); }, 3s));
  ui->window().close();
  EXPECT_FALSE(ui->window().isVisible());
  ui.reset();
  WindowDriver::pump(1800ms);  // the late answer goes out to a link nobody holds
  ASSERT_TRUE(device->running()) << device->errorOutput();

  ui = std::make_unique<WindowDriver>();
  connectOver(Transport::Pty);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->transfer(true)) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

// The device misbehaves once: a lost answer (the watchdog ends the
// transfer) or a hang-up (the transfer ends with the link, at once). The
// strip and the log show it, and a fresh transfer afterwards succeeds: no
// watchdog left over resets it.
struct FaultCase {
  const char* name;
  Transport transport;
  bool read;
  std::vector<std::string> faults;  // velmora-devsim options
  const char* stall;  // the last line before a watchdog's wait, or none
  const char* end;    // the log line that ends the transfer
  const char* state;  // the strip's state text then
  const char* lost;   // the strip's link text when the device hung up, or none
  const char* lossLine = nullptr;  // the log's line for the loss, said once
};

// The window's own image is an envelope of 56 bytes: two write packets.
const FaultCase kCases[] = {
    {"DroppedResponse", Transport::Pty, true, {"--drop", "2"}, "发送读取配置请求: 包 1", "读取配置超时，复位", "空闲",
     nullptr},
    {"DroppedAcknowledgement", Transport::Tcp, false, {"--drop", "1"}, "发送配置数据包 1/2, 数据长度 50",
     "下发配置超时，复位", "空闲", nullptr},
    {"ClosedDuringWrite", Transport::Tcp, false, {"--close-after", "1"}, nullptr, "下发配置中断，连接已断开", "下发中断",
     "TCP连接已断开", "TCP连接已断开"},
    {"PortGoneMidRead", Transport::Pty, true, {"--close-after", "2"}, nullptr, "读取配置中断，连接已断开", "读取中断",
     "串口已断开", "串口意外断开: "},
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

using FaultWindowTest = DeviceParamTest<FaultCase>;

TEST_P(FaultWindowTest, EndsAsRuledThenRecovers) {
  const FaultCase& c = GetParam();
  startDevice(c.faults);
  if (HasFatalFailure()) return;
  connectOver(c.transport);
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->press(c.read);
  if (c.stall != nullptr) {
    ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has(c.stall, from); }, 3s)) << log.tail();
    EXPECT_EQ(ui->stateText(), c.read ? QStringLiteral("正在读取配置...") : QStringLiteral("正在下发配置..."));
    EXPECT_EQ(ui->readEnabled(), c.read);
    EXPECT_EQ(ui->writeEnabled(), !c.read);
  }
  ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has(c.end, from); }, 6s)) << log.tail();
  if (c.lost != nullptr) {
    WindowDriver::pump(2500ms);  // past the watchdog's time: it never fires
    EXPECT_FALSE(log.has("读取配置超时", from) || log.has("下发配置超时", from)) << log.tail();
    EXPECT_EQ(log.count(c.lossLine, from), 1) << log.tail(60);
    EXPECT_EQ(ui->panelStatus(), QString::fromUtf8(c.lost));
  }
  EXPECT_EQ(ui->stateText(), QString::fromUtf8(c.state));
  EXPECT_EQ(ui->progress(), 0);
  EXPECT_EQ(ui->readEnabled() || ui->writeEnabled(), c.lost == nullptr);
  if (!c.read) {
    EXPECT_FALSE(saved().has_value()) << "the device took an image the tool gave up on";
  }
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // The adapter back on a new pty, or the device reconnected over TCP.
  if (c.lost != nullptr && c.transport == Transport::Pty) {
    device->stop();
    startDevice();
    if (HasFatalFailure()) return;
  }
  if (c.lost != nullptr) connectOver(c.transport);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->transfer(true)) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  if (!c.read) {
    ASSERT_TRUE(ui->transfer(false)) << log.tail();
    EXPECT_EQ(saved(), sampleImage());
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultWindowTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return std::string(info.param.name) + "Over" + transportName(info.param.transport);
                         });

}  // namespace
}  // namespace velmora::e2e
