// The real main window against velmora-devsim over TCP and a pty: only what
// the wiring of channels, engine, strip, pages and log can break.
#include <QComboBox>
#include <QTest>

#include "app/write_check.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

using Args = std::vector<std::string>;
using TransferWindowTest = DeviceParamTest<Transport>;

// The pty runs at a real serial line's pace, 1200 baud. The device sits at
// address 5: only the address the box reports and is set to reaches it.
TEST_P(TransferWindowTest, AddressReadEditsWriteAndReconnect) {
  const bool tcp = GetParam() == Transport::Tcp;
  ASSERT_NO_FATAL_FAILURE(startDevice(tcp ? Args{"--address", "5"} : Args{"--address", "5", "--baud", "1200"}));
  if (!tcp) {
    ui->clickTab(0);
    ui->control<QComboBox>(0, 2006)->setFocus();
    QTest::keyClick(ui->control<QComboBox>(0, 2006), Qt::Key_Home);  // the first entry, 1200
  }
  ASSERT_NO_FATAL_FAILURE(connectOver(GetParam(), "1200"));

  const auto reported = [&](const char* box) {
    return QTest::qWaitFor([&] { return ui->text(0, 2012) == box && ui->text(0, 2015).endsWith(box); }, 3000);
  };
  ui->click(0, 2013);
  ASSERT_TRUE(reported("005"));
  ui->typeInto(ui->control<QLineEdit>(0, 2012), QStringLiteral("7"));
  ui->click(0, 2014);
  ASSERT_TRUE(reported("007"));

  const size_t from = ui->log().mark();
  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  EXPECT_TRUE(ui->log().has("读取配置完成，共 3 包，128 字节", from)) << "120 bytes in an envelope of 128";

  // Each page visited stores the device's units back in their place. The IP
  // is taken when its page is left unconfirmed; the register group is
  // confirmed on its page, which is gathered at the press.
  ui->clickTab(1);
  ui->clickTab(2);
  ui->typeInto(ui->control<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));
  ui->clickTab(3);
  ui->clickTab(4);
  ui->typeInto(ui->control<QLineEdit>(4, 8003), QStringLiteral("120"));
  ui->click(4, 8018);
  ASSERT_TRUE(ui->transfer(false));
  Bytes expected = sampleImage();
  expected[5 * 8 + 7] = 99;                       // unit 5: the IP address
  expected[10 * 8 + 3] = 0, expected[10 * 8 + 4] = 120;  // unit 10: holding-register group 1
  EXPECT_EQ(saved(), expected);
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // Disconnected, the link is released and can be had again.
  ui->clickTab(0);
  ui->click(0, 2011);
  EXPECT_FALSE(ui->readEnabled());
  ASSERT_NO_FATAL_FAILURE(connectOver(GetParam(), "1200"));
  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(ui->window().configImage(), expected);
}

INSTANTIATE_TEST_SUITE_P(Links, TransferWindowTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return info.param == Transport::Tcp ? "Tcp" : "Pty"; });

// Outputs moved onto the inputs: the check's question, answered 否, keeps
// everything back; answered 是, the image goes as it is.
TEST_F(DeviceTest, WriteWithCheckErrorsAsksAndGoesOnlyOnYes) {
  ASSERT_NO_FATAL_FAILURE(startDevice());
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  Bytes faulty = sampleImage();
  faulty[11 * 8 + 4] = 8;  // outputs 8..23 over inputs 0..15
  ui->window().loadImage(faulty.data(), static_cast<int32_t>(faulty.size()));
  const size_t from = ui->log().mark();
  UiRecorder::queueAnswer(false);
  ui->press(false);
  ASSERT_EQ(UiRecorder::questions().size(), 1);
  EXPECT_EQ(UiRecorder::questions().first(),
            QStringLiteral("配置检查发现以下错误：\n保持寄存器配置 输入 与 输出 的地址范围重叠（8–15）\n\n仍要下发配置吗？"));
  EXPECT_TRUE(ui->log().has(kWriteCheckDeclined, from));
  EXPECT_FALSE(ui->log().has("开始下发配置", from));
  EXPECT_EQ(ui->stateText(), QStringLiteral("空闲"));
  EXPECT_TRUE(ui->writeEnabled());
  EXPECT_FALSE(saved().has_value());

  UiRecorder::queueAnswer(true);
  ASSERT_TRUE(ui->transfer(false));
  EXPECT_EQ(UiRecorder::questions().size(), 2);
  EXPECT_EQ(saved(), faulty) << "sent as it is";
  EXPECT_EQ(ui->log().count("开始下发配置", from), 1);
}

// Quitting while a read waits for a late answer releases the pty: the next
// window opens it again.
TEST_F(DeviceTest, QuittingDuringATransferReleasesThePortForTheNextRun) {
  ASSERT_NO_FATAL_FAILURE(startDevice({"--delay", "1:1500"}));
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Pty));
  ui->press(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ui->log().has("发送读取配置请求: 包 0"); }, 3000));
  ui->window().close();
  ui.reset();
  QTest::qWait(1800);  // the late answer goes out to a link nobody holds

  ui = std::make_unique<WindowDriver>();
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Pty));
  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

// The device misbehaves once: a lost answer (the watchdog ends the
// transfer) or a hang-up (it ends with the link, at once, and no watchdog
// fires later). A fresh transfer afterwards succeeds.
struct FaultCase {
  const char* name;
  Transport transport;
  bool read;
  Args faults;        // velmora-devsim options
  const char* end;    // the log line that ends the transfer
  const char* state;  // the strip's state text then
  const char* lost = nullptr;      // the strip's link text when the device hung up
  const char* lossLine = nullptr;  // the log's line for the loss, said once
};

// The window's own image is an envelope of 56 bytes: two write packets.
const FaultCase kCases[] = {
    {"DroppedResponse", Transport::Pty, true, {"--drop", "2"}, "读取配置超时，复位", "空闲"},
    {"DroppedAcknowledgement", Transport::Tcp, false, {"--drop", "1"}, "下发配置超时，复位", "空闲"},
    {"ClosedDuringWrite", Transport::Tcp, false, {"--close-after", "1"}, "下发配置中断，连接已断开", "下发中断",
     "TCP连接已断开", "TCP连接已断开"},
    {"PortGoneMidRead", Transport::Pty, true, {"--close-after", "2"}, "读取配置中断，连接已断开", "读取中断",
     "串口已断开", "串口意外断开: "},
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

using FaultWindowTest = DeviceParamTest<FaultCase>;

TEST_P(FaultWindowTest, EndsAsRuledThenRecovers) {
  const FaultCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(startDevice(c.faults));
  ASSERT_NO_FATAL_FAILURE(connectOver(c.transport));
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->press(c.read);
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.has(c.end, from); }, 6000));
  if (c.lost != nullptr) {
    QTest::qWait(2500);  // past the watchdog's time
    EXPECT_FALSE(log.has("读取配置超时", from) || log.has("下发配置超时", from));
    EXPECT_EQ(log.count(c.lossLine, from), 1);
    EXPECT_EQ(ui->panelStatus(), QString::fromUtf8(c.lost));
  }
  EXPECT_EQ(ui->stateText(), QString::fromUtf8(c.state));
  EXPECT_EQ(ui->progress(), 0);
  EXPECT_EQ(ui->readEnabled() || ui->writeEnabled(), c.lost == nullptr);
  EXPECT_TRUE(c.read || !saved().has_value()) << "the device took an image the tool gave up on";
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  if (c.lost != nullptr) {  // the adapter back on a new pty, or the device reconnected over TCP
    if (c.transport == Transport::Pty) {
      device->stop();
      ASSERT_NO_FATAL_FAILURE(startDevice());
    }
    ASSERT_NO_FATAL_FAILURE(connectOver(c.transport));
  }
  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  if (!c.read) {
    ASSERT_TRUE(ui->transfer(false));
    EXPECT_EQ(saved(), sampleImage());
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultWindowTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::e2e
