// The real main window against the simulated device, over TCP and over a
// pty: connect, the bus address, read, the pages, edits, write, disconnect.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/main_dialog.h"
#include "tests/e2e/device_fixture_qt.h"
#include "tests/support/ui_recorder.h"

using namespace std::chrono_literals;

namespace velmora::e2e {
namespace {

QStringList toQt(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << QString::fromStdString(l);
  return out;
}

class TransferWindowTest : public ::testing::TestWithParam<Transport>, protected DeviceFixture {
 protected:
  void SetUp() override { setUpFixture(); }
  void TearDown() override { tearDownFixture(HasFailure()); }

  Transport transport() const { return GetParam(); }

  void startAndConnect(const std::vector<std::string>& extra = {}) {
    startDevice(extra);
    if (HasFatalFailure()) return;
    connectOver(transport());
  }

  // The address shown on the connection page after a report for address.
  void expectAddressReport(int address) {
    const QString expected = QString::asprintf("%03d", address);
    ASSERT_TRUE(WindowDriver::waitFor([&] { return ui->pageControl<QLineEdit>(0, 2012)->text() == expected; }, 3s))
        << "address box shows " << ui->pageControl<QLineEdit>(0, 2012)->text().toStdString();
    const QRegularExpression message(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 收到地址更新：") + expected + "$");
    EXPECT_TRUE(message.match(ui->pageControl<QLineEdit>(0, 2015)->text()).hasMatch())
        << ui->pageControl<QLineEdit>(0, 2015)->text().toStdString();
  }
};

TEST_P(TransferWindowTest, ConnectReadAndWriteBackUnchanged) {
  startAndConnect();
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  if (transport() == Transport::Tcp) {
    const std::string where = "127.0.0.1:" + std::to_string(device->tcpPort());
    EXPECT_TRUE(log.has("正在连接: " + where + "..."));
    EXPECT_TRUE(log.has("TCP连接成功: TCP已连接：" + where));
  } else {
    EXPECT_TRUE(log.has("正在打开串口: " + device->ptyPath() + " (9600,8,0,0)..."));
    EXPECT_TRUE(log.has("串口打开成功: " + device->ptyPath()));
  }
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("断开"));
  EXPECT_FALSE(ui->pageControl(0, 2001)->isEnabled());
  EXPECT_FALSE(ui->pageControl(0, 2002)->isEnabled());
  EXPECT_TRUE(ui->pageControl(0, 2013)->isEnabled());

  size_t from = log.mark();
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  // The whole exchange, in order: 120 image bytes in an envelope of 128.
  const std::vector<std::string> readLines{
      "开始读取配置...",          "发送读取配置请求: 包 0", "总包数: 3",
      "收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "收到配置数据包 2/3, 数据长度 50",
      "发送读取配置请求: 包 2",   "收到配置数据包 3/3, 数据长度 28", "读取配置完成，共 3 包，128 字节"};
  int at = static_cast<int>(from);
  for (const std::string& line : readLines) {
    const int next = log.indexOf(line, static_cast<size_t>(at));
    EXPECT_GE(next, at) << "missing or out of order: " << line << "\n" << log.tail();
    if (next >= 0) at = next + 1;
  }
  EXPECT_FALSE(log.has("配置报文头错误！", from));
  EXPECT_TRUE(ui->readEnabled());
  EXPECT_TRUE(ui->writeEnabled());

  ui->clickTab(6);
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(6, 1021)), toQt(sampleListRows()));

  // Written back from the list page, which hands its units back unchanged.
  from = log.mark();
  ASSERT_TRUE(ui->writeConfiguration()) << log.tail();
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(device->savedImage(), sampleImage());
  EXPECT_TRUE(log.has("开始下发配置，共 3 包，128 字节", from));
  EXPECT_TRUE(log.has("发送配置数据包 3/3, 数据长度 28", from));
  EXPECT_TRUE(log.has("收到写入确认: 包 2", from));
  EXPECT_TRUE(testing::UiRecorder::messages().isEmpty()) << testing::UiRecorder::messages().join("; ").toStdString();
}

TEST_P(TransferWindowTest, EveryPageShowsTheDevicesValuesAndAWalkOverThemChangesNothing) {
  startAndConnect();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();

  ui->clickTab(1);
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(1, 4002)),
            QStringList({"数据口1|9600|8|1|无校验|55协议 程序下载 临时数据包",
                         "数据口2|115200|8|2|偶校验|Modbus RTU协议 Modbus TCP协议",
                         "数据口3|19200|7|1.5|奇校验|55协议 远程控制"}));
  EXPECT_EQ(ui->pageControl<QLabel>(1, 4007)->text(), QStringLiteral("数据口1"));
  EXPECT_EQ(ui->pageControl<QComboBox>(1, 4009)->currentText(), QStringLiteral("9600"));
  EXPECT_TRUE(ui->pageControl<QCheckBox>(1, 4017)->isChecked());
  EXPECT_FALSE(ui->pageControl<QCheckBox>(1, 4018)->isChecked());
  EXPECT_TRUE(ui->pageControl<QCheckBox>(1, 4019)->isChecked());
  EXPECT_TRUE(ui->pageControl<QCheckBox>(1, 4020)->isChecked());
  EXPECT_TRUE(ui->pageControl<QRadioButton>(1, 4022)->isChecked());
  ui->clickTab(2);
  EXPECT_EQ(ui->pageControl<QLineEdit>(2, 5012)->text(), QStringLiteral("10.1.2.3"));
  EXPECT_EQ(ui->pageControl<QLineEdit>(2, 5014)->text(), QStringLiteral("255.255.0.0"));
  EXPECT_EQ(ui->pageControl<QLineEdit>(2, 5016)->text(), QStringLiteral("10.1.0.1"));
  EXPECT_EQ(ui->pageControl<QLabel>(2, 5018)->text(), QStringLiteral("就绪"));

  ui->clickTab(3);
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(3, 6002)),
            QStringList({"6000|55协议 程序下载 临时数据包", "502|Modbus TCP协议"}));
  EXPECT_EQ(ui->pageControl<QLineEdit>(3, 6012)->text(), QStringLiteral("6000"));
  EXPECT_FALSE(ui->pageControl<QRadioButton>(3, 6013)->isChecked());
  EXPECT_TRUE(ui->pageControl<QRadioButton>(3, 6014)->isChecked());
  EXPECT_TRUE(ui->pageControl<QCheckBox>(3, 6018)->isChecked());
  EXPECT_TRUE(ui->pageControl(3, 6004)->isEnabled());

  ui->clickTab(4);
  EXPECT_TRUE(ui->pageControl<QCheckBox>(4, 8001)->isChecked());
  const struct {
    bool enable;
    const char* address;
    const char* count;
    int width;
  } rows[] = {{true, "0", "16", 0}, {true, "100", "16", 0}, {true, "200", "32", 1}, {false, "400", "64", 0}};
  for (int r = 0; r < 4; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(ui->pageControl<QCheckBox>(4, 8002 + 4 * r)->isChecked(), rows[r].enable);
    EXPECT_EQ(ui->pageControl<QLineEdit>(4, 8003 + 4 * r)->text(), QString::fromLatin1(rows[r].address));
    EXPECT_EQ(ui->pageControl<QLineEdit>(4, 8004 + 4 * r)->text(), QString::fromLatin1(rows[r].count));
    EXPECT_EQ(ui->pageControl<QComboBox>(4, 8005 + 4 * r)->currentIndex(), rows[r].width);
  }

  ui->clickTab(5);
  EXPECT_TRUE(ui->pageControl<QPlainTextEdit>(5, 3003)->toPlainText().startsWith(
      QString::fromStdString(hexPrefix(sampleImage(), 16))));

  ui->clickTab(6);
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(6, 1021)), toQt(sampleListRows()));

  // Each editor page stored its units on leaving; visited in order they
  // come back in the order the device holds them.
  ui->clickTab(0);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  ASSERT_TRUE(ui->writeConfiguration()) << ui->log().tail();
  EXPECT_EQ(device->savedImage(), sampleImage());
}

TEST_P(TransferWindowTest, AnEditOnEachPageReachesTheDeviceInExactlyThoseFields) {
  startAndConnect();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();

  // 数据口2: a baud rate typed in.
  ui->clickTab(1);
  auto* ports = ui->pageControl<QTableWidget>(1, 4002);
  ui->clickRow(ports, 1);
  ASSERT_EQ(ui->pageControl<QLabel>(1, 4007)->text(), QStringLiteral("数据口2"));
  ui->typeInto(ui->pageControl<QComboBox>(1, 4009)->lineEdit(), QStringLiteral("57600"));
  EXPECT_EQ(WindowDriver::rows(ports).value(1), QStringLiteral("数据口2|57600|8|2|偶校验|Modbus RTU协议 Modbus TCP协议"));

  // The IP address, taken when the page is left even without a confirm.
  ui->clickTab(2);
  ui->typeInto(ui->pageControl<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));

  // The first server port's number; every keystroke goes into the entry.
  ui->clickTab(3);
  ui->typeInto(ui->pageControl<QLineEdit>(3, 6012), QStringLiteral("6100"));
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(3, 6002)).value(0),
            QStringLiteral("6100|55协议 程序下载 临时数据包"));

  // The input group's start address, confirmed.
  ui->clickTab(4);
  ui->typeInto(ui->pageControl<QLineEdit>(4, 8003), QStringLiteral("120"));
  ui->click(ui->pageControl<QAbstractButton>(4, 8018));

  // Written from the register page, which is gathered first.
  ASSERT_TRUE(ui->writeConfiguration()) << ui->log().tail();
  Bytes expected = sampleImage();
  putBe32(expected, kSecondDataPortUnit * kUnitSize + 2, 57600);
  expected[kIpUnit * kUnitSize + 7] = 99;
  putBe16(expected, kFirstServerPortUnit * kUnitSize + 2, 6100);
  putBe16(expected, kInputGroupUnit * kUnitSize + 3, 120);
  EXPECT_EQ(device->savedImage(), expected);

  // A fresh read brings the device's new values into every page.
  ui->clickTab(0);
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), expected);
  ui->clickTab(2);
  EXPECT_EQ(ui->pageControl<QLineEdit>(2, 5012)->text(), QStringLiteral("10.1.2.99"));
}

TEST_P(TransferWindowTest, ReadsAndChangesTheBusAddress) {
  startAndConnect({"--address", "5"});
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();

  ui->click(ui->pageControl<QAbstractButton>(0, 2013));
  EXPECT_TRUE(log.has("发送读取设备地址命令"));
  expectAddressReport(5);
  EXPECT_TRUE(log.has("读取设备地址成功: 05"));

  ui->typeInto(ui->pageControl<QLineEdit>(0, 2012), QStringLiteral("7"));
  ui->click(ui->pageControl<QAbstractButton>(0, 2014));
  EXPECT_TRUE(log.has("发送修改设备地址命令: 7"));
  expectAddressReport(7);
  EXPECT_TRUE(log.has("读取设备地址成功: 07"));

  // The device answers at its new address: the box's "007" reads it.
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());

  // Refused before anything is sent.
  ui->typeInto(ui->pageControl<QLineEdit>(0, 2012), QStringLiteral("256"));
  const size_t from = log.mark();
  ui->click(ui->pageControl<QAbstractButton>(0, 2014));
  EXPECT_EQ(testing::UiRecorder::messages(), QStringList{"请输入有效的设备地址 (1-255)"});
  EXPECT_FALSE(log.hasPrefix("发送修改设备地址命令", from));
}

TEST_P(TransferWindowTest, DisconnectAndReconnect) {
  startAndConnect();
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->pressConnectButton();
  const std::string closed = transport() == Transport::Tcp ? "TCP已断开" : "已关闭串口";
  EXPECT_EQ(ui->connectStatus().toStdString(), closed);
  EXPECT_EQ(ui->panelStatus().toStdString(), closed);
  EXPECT_TRUE(log.has(closed, from));
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_FALSE(ui->writeEnabled());
  EXPECT_TRUE(ui->pageControl(0, 2001)->isEnabled());
  EXPECT_FALSE(ui->pageControl(0, 2013)->isEnabled());
  // Our own close comes back as a notification that changes nothing.
  WindowDriver::pump(200ms);
  EXPECT_FALSE(log.has("TCP连接已断开", from));
  EXPECT_EQ(ui->connectStatus().toStdString(), closed);

  connectOver(transport());
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

TEST_P(TransferWindowTest, QuittingDuringATransferReleasesTheLinkForTheNextRun) {
  // The first answer comes late, so the read is still waiting when the user quits.
  startAndConnect({"--delay", "1:1500"});
  if (HasFatalFailure()) return;
  ui->pressRead();
  ASSERT_TRUE(WindowDriver::waitFor([&] { return ui->log().has("发送读取配置请求: 包 0"); }, 3s));
  ui->window().close();
  EXPECT_EQ(testing::UiRecorder::questions(), QStringList{"确定要退出程序吗？"});
  EXPECT_FALSE(ui->window().isVisible());
  ui.reset();
  // The late answer goes out to a link nobody holds any more.
  WindowDriver::pump(1800ms);
  ASSERT_TRUE(device->running()) << device->errorOutput();

  // The next run opens the same link again (the pty's exclusive hold is gone).
  ui = std::make_unique<WindowDriver>();
  connectOver(transport());
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

INSTANTIATE_TEST_SUITE_P(Links, TransferWindowTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const ::testing::TestParamInfo<Transport>& info) { return transportName(info.param); });

// Single cases on one link.
class SingleLinkWindowTest : public ::testing::Test, protected DeviceFixture {
 protected:
  void SetUp() override { setUpFixture(); }
  void TearDown() override { tearDownFixture(HasFailure()); }
};

// Pressing "下发配置" while the data test page shows characters writes the
// image as it is, not what the characters would read as.
TEST_F(SingleLinkWindowTest, WritingFromTheCharacterViewSendsTheImageUnchanged) {
  startDevice();
  if (HasFatalFailure()) return;
  connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  ui->clickTab(5);
  ui->click(ui->pageControl<QRadioButton>(5, 3002));
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  QString characters;
  for (uint8_t b : sampleImage()) characters += (b >= 0x20 && b <= 0x7E) ? QChar(b) : QChar('.');
  EXPECT_EQ(ui->pageControl<QPlainTextEdit>(5, 3003)->toPlainText(), characters);
  ASSERT_TRUE(ui->writeConfiguration()) << ui->log().tail();
  EXPECT_EQ(device->savedImage(), sampleImage());
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

TEST_F(SingleLinkWindowTest, ThePeerHangingUpTakesTheLinkDownUntilReconnect) {
  startDevice({"--close-after", "1"});
  if (HasFatalFailure()) return;
  connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->click(ui->pageControl<QAbstractButton>(0, 2013));  // answered, then the device hangs up
  ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has("TCP连接已断开", from); }, 4s)) << log.tail();
  EXPECT_EQ(ui->pageControl<QLineEdit>(0, 2012)->text(), QStringLiteral("001")) << "the answer came first";
  EXPECT_EQ(ui->connectStatus(), QStringLiteral("TCP连接断开"));
  EXPECT_EQ(ui->panelStatus(), QStringLiteral("TCP连接已断开"));
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_FALSE(ui->writeEnabled());
  EXPECT_TRUE(ui->pageControl(0, 2003)->isEnabled());
  EXPECT_FALSE(ui->pageControl(0, 2014)->isEnabled());
  EXPECT_EQ(ui->stateText(), QStringLiteral("空闲"));

  connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

// An adapter pulled out mid-read: the read ends with the port, not at its
// watchdog; the page and the strip say the port was lost and why; another
// port then reads without a restart.
TEST_F(SingleLinkWindowTest, APortGoneMidReadEndsTheReadAtOnceAndAnotherPortReads) {
  startDevice({"--close-after", "2"});
  if (HasFatalFailure()) return;
  connectOver(Transport::Pty);
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  const size_t from = log.mark();
  ui->pressRead();
  // The watchdog would end the read 2 s after the last request; the loss
  // has to end it before that.
  ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has("读取配置中断，连接已断开", from); }, 3s)) << log.tail();
  const auto lossLines = [&] {
    int n = 0;
    for (size_t i = from; i < log.lines().size(); ++i) n += log.lines()[i].rfind("串口意外断开: ", 0) == 0;
    return n;
  };
  EXPECT_EQ(lossLines(), 1) << log.tail();
  EXPECT_TRUE(log.has("收到配置数据包 2/3, 数据长度 50", from));
  EXPECT_EQ(ui->connectStatus(), QStringLiteral("串口已断开"));
  EXPECT_EQ(ui->panelStatus(), QStringLiteral("串口已断开"));
  EXPECT_EQ(ui->stateText(), QStringLiteral("读取中断"));
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));

  // Past the time the watchdog had: it never fires, nothing repeats, no box.
  WindowDriver::pump(2500ms);
  EXPECT_FALSE(log.has("读取配置超时，复位", from)) << log.tail();
  EXPECT_EQ(lossLines(), 1);
  EXPECT_TRUE(testing::UiRecorder::messages().isEmpty()) << testing::UiRecorder::messages().join("; ").toStdString();

  // The adapter back, as a new device on a new pty: no restart needed.
  QTemporaryDir otherDir;
  testing::Devsim other(VELMORA_DEVSIM_PATH, otherDir.path().toStdString());
  ASSERT_TRUE(other.start({"--pty", "--image", imagePath})) << other.errorOutput();
  ui->openSerial(other.ptyPath());
  ASSERT_EQ(ui->connectStatus().toStdString(), "串口已打开：" + other.ptyPath() + " (9600,8,0,0)");
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  ui->pressConnectButton();
}

// A loopback port that is bound but not listening refuses at once.
TEST_F(SingleLinkWindowTest, ARefusedConnectionLeavesTheLinkDown) {
  const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const uint16_t port = ntohs(address.sin_port);

  ui->connectTcp(port);
  close(holder);
  EXPECT_EQ(ui->connectStatus(), QStringLiteral("TCP连接失败"));
  EXPECT_EQ(ui->panelStatus(), QStringLiteral("TCP连接失败"));
  EXPECT_TRUE(ui->log().has("TCP连接失败: 127.0.0.1"));
  EXPECT_EQ(ui->connectCaption(), QStringLiteral("连接"));
  EXPECT_FALSE(ui->readEnabled());
  EXPECT_FALSE(ui->pageControl(0, 2013)->isEnabled());
  EXPECT_TRUE(ui->pageControl(0, 2003)->isEnabled()) << "ready for another try";
}

// The device's own image with a partial unit: the envelope fails its check,
// the image still arrives whole.
TEST_F(SingleLinkWindowTest, ADeviceImageWithAPartialUnitIsReadWithAHeaderError) {
  Bytes odd = sampleImage();
  odd.resize(8 * 2 + 5);
  imagePath = device->writeFile("odd-device.vmc", odd);
  startDevice();
  if (HasFatalFailure()) return;
  connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  EXPECT_FALSE(ui->readConfiguration()) << "a header error is not a clean read";
  EXPECT_EQ(ui->stateText(), QStringLiteral("读取完成（报文头错误）"));
  EXPECT_TRUE(ui->log().has("读取配置完成，共 1 包，29 字节"));
  EXPECT_TRUE(ui->log().has("配置报文头错误！"));
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(ui->window().configImage(), odd);
  ui->clickTab(6);
  EXPECT_EQ(WindowDriver::rows(ui->pageControl<QTableWidget>(6, 1021)),
            toQt({sampleListRows()[0], sampleListRows()[1]}));
}

// A device that holds nothing: every page applies its rule for no image, and
// what the window then writes is what the pages store from that state.
TEST_F(SingleLinkWindowTest, AnEmptyDeviceImageEmptiesThePagesThatFollowIt) {
  imagePath = device->writeFile("empty-device.vmc", {});
  startDevice();
  if (HasFatalFailure()) return;
  connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  EXPECT_TRUE(ui->log().has("读取配置完成，共 1 包，8 字节"));
  EXPECT_FALSE(ui->log().has("配置报文头错误！"));
  EXPECT_TRUE(ui->window().configImage().empty());

  ui->clickTab(3);
  EXPECT_EQ(ui->pageControl<QTableWidget>(3, 6002)->rowCount(), 0);
  EXPECT_FALSE(ui->pageControl(3, 6012)->isEnabled());
  ui->clickTab(5);
  EXPECT_TRUE(ui->pageControl<QPlainTextEdit>(5, 3003)->toPlainText().isEmpty());
  ui->clickTab(0);
  // Written from the connection page: nothing gathered, an empty image.
  ASSERT_TRUE(ui->writeConfiguration()) << ui->log().tail();
  EXPECT_TRUE(ui->log().has("开始下发配置，共 1 包，8 字节"));
  EXPECT_EQ(device->savedImage(), Bytes{});
}

// A real serial line's pace: every byte about 8 ms apart both ways.
TEST_F(SingleLinkWindowTest, ASlowSerialLineCarriesTheWholeTransferBothWays) {
  startDevice({"--baud", "1200"});
  if (HasFatalFailure()) return;
  ui->clickTab(0);
  auto* baud = ui->pageControl<QComboBox>(0, 2006);
  baud->setFocus();
  QTest::keyClick(baud, Qt::Key_Home);  // the first entry, 1200
  ASSERT_EQ(baud->currentText(), QStringLiteral("1200"));
  ui->openSerial(device->ptyPath());
  ASSERT_EQ(ui->connectStatus().toStdString(), "串口已打开：" + device->ptyPath() + " (1200,8,0,0)");
  ASSERT_TRUE(ui->readConfiguration(10s)) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  ASSERT_TRUE(ui->writeConfiguration(10s)) << ui->log().tail();
  EXPECT_EQ(device->savedImage(), sampleImage());
}

}  // namespace
}  // namespace velmora::e2e
