// The real main window against the simulated device, over TCP and over a
// pty: connect, read, the pages, edits, the bus address, write, disconnect,
// quitting and a port that goes away.
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
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
using WindowTest = DeviceTest;

// The pty runs at a real serial line's pace, 1200 baud: every byte about
// 8 ms apart both ways.
TEST_P(TransferWindowTest, ReadWalkOverEveryPageWriteBackDisconnectReconnect) {
  const bool tcp = GetParam() == Transport::Tcp;
  startDevice(tcp ? std::vector<std::string>{} : std::vector<std::string>{"--baud", "1200"});
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
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("断开"));

  size_t from = log.mark();
  ASSERT_TRUE(ui->readConfiguration(10s)) << log.tail();
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  EXPECT_TRUE(log.has("读取配置完成，共 3 包，128 字节", from)) << "120 bytes in an envelope of 128";
  EXPECT_FALSE(log.has("配置报文头错误！", from));

  // Every page loads the device's units; leaving each stores them back, so
  // visited in order they come back as the device holds them.
  ui->clickTab(6);
  const QStringList rows = WindowDriver::rows(ui->control<QTableWidget>(6, 1021));
  EXPECT_EQ(rows.size(), 15);
  EXPECT_EQ(rows.value(3), "3|串口配置|数据口2: 波特率=115200, 数据位=8, 停止位=2, 校验=偶, 协议=Modbus RTU协议 Modbus TCP协议");
  for (int slot = 1; slot <= 6; ++slot) ui->clickTab(slot);
  ui->clickTab(0);
  EXPECT_EQ(ui->window().configImage(), sampleImage());

  from = log.mark();
  ASSERT_TRUE(ui->writeConfiguration(10s)) << log.tail();
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(saved(), sampleImage());
  EXPECT_TRUE(log.has("收到写入确认: 包 2", from));
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // Disconnected, the link is released and can be had again.
  ui->pressConnectButton();
  EXPECT_EQ(ui->panelStatus(), tcp ? QStringLiteral("TCP已断开") : QStringLiteral("已关闭串口"));
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));
  connectOver(GetParam(), "1200");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration(10s)) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

INSTANTIATE_TEST_SUITE_P(Links, TransferWindowTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const ::testing::TestParamInfo<Transport>& info) { return transportName(info.param); });

// The address commands and an edit on each editor page, through the controls.
TEST_F(WindowTest, BusAddressAndAnEditOnEachPageReachTheDeviceInExactlyThoseFields) {
  if (!startAndConnect(Transport::Tcp, {"--address", "5"})) return;
  LogJournal& log = ui->log();
  const auto reported = [&](const char* box) {
    return WindowDriver::waitFor([&] { return ui->text(0, 2012) == box && ui->text(0, 2015).endsWith(box); }, 3s);
  };
  ui->click(0, 2013);
  ASSERT_TRUE(reported("005")) << log.tail();
  ui->typeInto(ui->control<QLineEdit>(0, 2012), QStringLiteral("7"));
  ui->click(0, 2014);
  ASSERT_TRUE(reported("007")) << log.tail();
  // The device answers at its new address only: the box's "007" reads it.
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();

  // 数据口2: a baud rate typed in.
  ui->clickTab(1);
  auto* ports = ui->control<QTableWidget>(1, 4002);
  ui->clickRow(ports, 1);
  ASSERT_EQ(ui->text(1, 4007), QStringLiteral("数据口2"));
  ui->typeInto(ui->control<QComboBox>(1, 4009)->lineEdit(), QStringLiteral("57600"));
  EXPECT_EQ(WindowDriver::rows(ports).value(1), QStringLiteral("数据口2|57600|8|2|偶校验|Modbus RTU协议 Modbus TCP协议"));
  // The IP address, taken when the page is left even without a confirm.
  ui->clickTab(2);
  ui->typeInto(ui->control<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));
  // The first server port's number; every keystroke goes into the entry.
  ui->clickTab(3);
  ui->typeInto(ui->control<QLineEdit>(3, 6012), QStringLiteral("6100"));
  // The input group's start address, confirmed.
  ui->clickTab(4);
  ui->typeInto(ui->control<QLineEdit>(4, 8003), QStringLiteral("120"));
  ui->click(4, 8018);

  // Written from the register page, which is gathered first.
  ASSERT_TRUE(ui->writeConfiguration()) << log.tail();
  Bytes expected = sampleImage();
  const auto putBe = [&](size_t at, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) expected.at(at + i) = static_cast<uint8_t>(value >> (8 * (count - 1 - i)));
  };
  putBe(3 * 8 + 2, 57600, 4);  // unit 3: 数据口2
  expected[5 * 8 + 7] = 99;    // unit 5: the IP address
  putBe(8 * 8 + 2, 6100, 2);   // unit 8: the first server port
  putBe(10 * 8 + 3, 120, 2);   // unit 10: holding-register group 1
  EXPECT_EQ(saved(), expected);

  // A fresh read brings the device's new values into the pages.
  ui->clickTab(0);
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), expected);
  ui->clickTab(2);
  EXPECT_EQ(ui->text(2, 5012), QStringLiteral("10.1.2.99"));
}

// Quitting while a read waits for a late answer releases the pty's
// exclusive hold: the next window opens it again.
TEST_F(WindowTest, QuittingDuringATransferReleasesThePortForTheNextRun) {
  if (!startAndConnect(Transport::Pty, {"--delay", "1:1500"})) return;
  ui->pressRead();
  ASSERT_TRUE(WindowDriver::waitFor([&] { return ui->log().has("发送读取配置请求: 包 0"); }, 3s));
  ui->window().close();
  EXPECT_EQ(UiRecorder::questions(), QStringList{"确定要退出程序吗？"});
  EXPECT_FALSE(ui->window().isVisible());
  ui.reset();
  WindowDriver::pump(1800ms);  // the late answer goes out to a link nobody holds
  ASSERT_TRUE(device->running()) << device->errorOutput();

  ui = std::make_unique<WindowDriver>();
  connectOver(Transport::Pty);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

// An adapter pulled out mid-read: the read ends with the port, not at its
// watchdog, which never fires later; the loss is said once; another port
// then reads without a restart.
TEST_F(WindowTest, APortGoneMidReadEndsTheReadAtOnceAndAnotherPortReads) {
  if (!startAndConnect(Transport::Pty, {"--close-after", "2"})) return;
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->pressRead();
  // The watchdog would end the read 2 s after the last request.
  ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has("读取配置中断，连接已断开", from); }, 3s)) << log.tail();
  const auto lossLines = [&] {
    return std::count_if(log.lines().begin() + static_cast<std::ptrdiff_t>(from), log.lines().end(),
                         [](const std::string& l) { return l.rfind("串口意外断开: ", 0) == 0; });
  };
  EXPECT_EQ(lossLines(), 1) << log.tail();
  EXPECT_TRUE(log.has("收到配置数据包 2/3, 数据长度 50", from));
  EXPECT_EQ(ui->connectStatus(), QStringLiteral("串口已断开"));
  EXPECT_EQ(ui->panelStatus(), QStringLiteral("串口已断开"));
  EXPECT_EQ(ui->stateText(), QStringLiteral("读取中断"));
  EXPECT_EQ(ui->progress(), 0);
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_FALSE(ui->writeEnabled());
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));
  EXPECT_TRUE(ui->responsive());

  WindowDriver::pump(2500ms);  // past the watchdog's time
  EXPECT_FALSE(log.has("读取配置超时，复位", from)) << log.tail();
  EXPECT_FALSE(log.hasPrefix("收到配置数据包 3/3", from));
  EXPECT_EQ(lossLines(), 1);
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  testing::Devsim other(VELMORA_DEVSIM_PATH);  // the adapter back, on a new pty
  ASSERT_TRUE(other.start({"--pty", "--image", imagePath})) << other.errorOutput();
  connectOver(Transport::Pty, "9600", other.endpoint("pty"));
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  ui->pressConnectButton();
}

}  // namespace
}  // namespace velmora::e2e
