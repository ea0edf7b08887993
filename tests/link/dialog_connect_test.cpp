#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

#include "link/dialog_connect.h"
#include "link/serial_channel_qt.h"
#include "tests/link/link_fakes.h"
#include "tests/link/pty_pair_qt.h"
#include "tests/link/print_qt.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;
using Bytes = std::vector<uint8_t>;

namespace {

class DialogConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    page = std::make_unique<DialogConnect>(nullptr, &host);
    page->setPanel(&panel);
    // No test asks the machine's resolver; a lookup that should not happen shows here.
    page->setHostResolver(fakeResolver(&lookedUp, {}, -1));
  }
  void TearDown() override { page.reset(); }

  template <typename W = QWidget>
  W* control(int id) const {
    W* w = page->findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  QString status() const { return control<QLabel>(1011)->text(); }
  QString caption() const { return control<QPushButton>(2011)->text(); }
  void click(int id) const { control<QAbstractButton>(id)->click(); }
  void typePort(const std::string& path) const { control<QComboBox>(2005)->setEditText(QString::fromStdString(path)); }
  bool hasLog(const std::string& line) const {
    return std::find(host.lines.begin(), host.lines.end(), line) != host.lines.end();
  }
  void useTcp(quint16 port) const {
    click(2001);
    control<QLineEdit>(2003)->setText(QStringLiteral("127.0.0.1"));
    control<QLineEdit>(2004)->setText(QString::number(port));
  }

  void useHost(const QString& name, quint16 port) const {
    click(2001);
    control<QLineEdit>(2003)->setText(name);
    control<QLineEdit>(2004)->setText(QString::number(port));
  }

  Journal journal;
  FakePanel panel{journal};
  FakeHost host{journal};
  std::vector<QString> lookedUp;
  std::unique_ptr<DialogConnect> page;
};

// Holds back the byte and block events the channels post to the page, so a
// test can queue them again, as posted, after the link has changed.
class HoldBack : public QObject {
 public:
  bool holding = true;
  size_t bytes = 0;
  std::vector<std::function<QEvent*()>> held;

  void repost(QObject* target) const {
    for (const auto& remake : held) QCoreApplication::postEvent(target, remake());
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (!holding) return false;
    if (event->type() == SerialByteEvent::kType) {
      const auto* e = static_cast<SerialByteEvent*>(event);
      held.push_back([s = e->session, b = e->byte] { return new SerialByteEvent(s, b); });
      ++bytes;
      return true;
    }
    if (event->type() == TcpReceiveEvent::kType) {
      const auto* e = static_cast<TcpReceiveEvent*>(event);
      held.push_back([s = e->session, b = e->block] { return new TcpReceiveEvent(s, b); });
      bytes += e->block.size();
      return true;
    }
    return false;
  }
};

}  // namespace

TEST_F(DialogConnectTest, StartsAsSerialIdleWithTheDefaults) {
  EXPECT_EQ(status(), QStringLiteral("串口未打开"));
  EXPECT_EQ(caption(), QStringLiteral("连接"));
  EXPECT_TRUE(control<QRadioButton>(2002)->isChecked());
  EXPECT_FALSE(control<QRadioButton>(2001)->isChecked());
  EXPECT_EQ(control<QLineEdit>(2003)->text(), QStringLiteral("192.168.1.110"));
  EXPECT_EQ(control<QLineEdit>(2004)->text(), QStringLiteral("6000"));
  EXPECT_EQ(control<QLineEdit>(2012)->text(), QStringLiteral("01"));
  EXPECT_EQ(control<QComboBox>(2006)->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(control<QComboBox>(2006)->count(), 8);
  EXPECT_EQ(control<QComboBox>(2007)->currentText(), QStringLiteral("8"));
  EXPECT_EQ(control<QComboBox>(2008)->itemText(1), QStringLiteral("1.5"));
  EXPECT_EQ(control<QComboBox>(2008)->currentText(), QStringLiteral("1"));
  EXPECT_EQ(control<QComboBox>(2009)->currentText(), QStringLiteral("无"));
  EXPECT_EQ(control<QComboBox>(2009)->itemText(4), QStringLiteral("空格"));
  for (int id : {2001, 2002, 2005, 2006, 2007, 2008, 2009, 2010, 2011}) EXPECT_TRUE(control(id)->isEnabled()) << id;
  for (int id : {2003, 2004, 2012, 2013, 2014, 2015}) EXPECT_FALSE(control(id)->isEnabled()) << id;
  for (const char* text : {"串口连接", "网络连接", "连接控制", "设备地址查询和修改"}) {
    bool found = false;
    for (const QWidget* w : page->findChildren<QWidget*>())
      if (w->inherits("QGroupBox") && w->property("title").toString() == QString::fromUtf8(text)) found = true;
    EXPECT_TRUE(found) << text;
  }

  click(2001);
  EXPECT_EQ(page->transport(), kTransportTcp);
  EXPECT_TRUE(control(2003)->isEnabled());
  EXPECT_FALSE(control(2005)->isEnabled());
  click(2002);
  EXPECT_EQ(page->transport(), kTransportSerial);
  EXPECT_TRUE(control<QRadioButton>(2002)->isChecked());
  EXPECT_FALSE(control<QRadioButton>(2001)->isChecked());
}

TEST_F(DialogConnectTest, NoPortOrAnInvalidOne) {
  page->setPortLister([] { return std::vector<std::string>{}; });
  click(2010);
  EXPECT_EQ(control<QComboBox>(2005)->count(), 0);
  EXPECT_EQ(host.lines, std::vector<std::string>{"已刷新串口列表"});
  click(2011);
  typePort("COM3");
  click(2011);
  EXPECT_EQ(UiRecorder::messages(), (QStringList{QStringLiteral("请选择串口"), QStringLiteral("无效串口")}));
  EXPECT_EQ(page->linkState(), kSerialIdle);
  EXPECT_EQ(status(), QStringLiteral("串口未打开"));

  page->setPortLister([] { return std::vector<std::string>{"/dev/ttyS3", "/dev/ttyUSB0"}; });
  click(2010);
  EXPECT_EQ(control<QComboBox>(2005)->currentText(), QStringLiteral("/dev/ttyS3"));
}

TEST_F(DialogConnectTest, SerialLinkOverAPty) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  control<QComboBox>(2006)->setCurrentIndex(7);  // 115200
  control<QComboBox>(2008)->setCurrentIndex(2);  // "2"; a pty takes no parity
  click(2011);
  ASSERT_EQ(page->linkState(), kSerialOpen) << host.lines.back();
  const std::string text = "串口已打开：" + pty.slavePath() + " (115200,8,2,0)";
  EXPECT_EQ(status().toStdString(), text);
  EXPECT_EQ(caption(), QStringLiteral("断开"));
  ASSERT_FALSE(panel.states.empty());
  EXPECT_EQ(panel.states.back(), std::make_pair(true, text));
  EXPECT_TRUE(hasLog("正在打开串口: " + pty.slavePath() + " (115200,8,2,0)..."));
  EXPECT_TRUE(hasLog("串口打开成功: " + pty.slavePath()));
  for (int id : {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010}) EXPECT_FALSE(control(id)->isEnabled()) << id;
  for (int id : {2012, 2013, 2014, 2015}) EXPECT_TRUE(control(id)->isEnabled()) << id;

  // Device to panel: every byte in order, no log line for serial bytes.
  const size_t logLines = host.lines.size();
  const Bytes in = pattern(1500, 5);
  ASSERT_TRUE(pty.write(in));
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() >= in.size(); }, 10000));
  EXPECT_EQ(panel.bytes, in);
  EXPECT_EQ(host.lines.size(), logLines);

  // Panel to device through the single send path.
  DeviceLink& link = page->deviceLink();
  const Bytes frame = {0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C};
  EXPECT_TRUE(link.sendBytes(frame.data(), 8));
  EXPECT_EQ(pty.read(8, 3000), frame);

  click(2013);
  EXPECT_EQ(pty.read(8, 3000), (Bytes{0x55, 0xF5, 0x40, 0x00, 0x00, 0x00, 0x00, 0x8A}));
  EXPECT_EQ(host.lines.back(), "发送读取设备地址命令");
  control<QLineEdit>(2012)->setText(QStringLiteral("245"));
  click(2014);
  EXPECT_EQ(pty.read(8, 3000), (Bytes{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0xF5, 0x80}));
  EXPECT_EQ(host.lines.back(), "发送修改设备地址命令: 245");
  control<QLineEdit>(2012)->setText(QStringLiteral("256"));
  click(2014);
  EXPECT_EQ(UiRecorder::messages(), QStringList{QStringLiteral("请输入有效的设备地址 (1-255)")});
  EXPECT_EQ(link.addressBoxValue(), 0);

  click(2011);
  EXPECT_EQ(page->linkState(), kSerialIdle);
  EXPECT_EQ(status(), QStringLiteral("已关闭串口"));
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("已关闭串口")));
  EXPECT_FALSE(link.sendBytes(frame.data(), 8));
  EXPECT_TRUE(control(2005)->isEnabled());
}

TEST_F(DialogConnectTest, QueuedBytesOfAClosedLinkNeverReachThePanel) {
  HoldBack hold;
  page->installEventFilter(&hold);
  // Serial: bytes posted while the port was open, handled after the user
  // closed it, and again after it opened anew.
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  click(2011);
  ASSERT_TRUE(pty.write({1, 2, 3}));
  ASSERT_TRUE(waitUntil([&] { return hold.bytes == 3; }));
  click(2011);
  hold.holding = false;
  hold.repost(page.get());
  click(2011);
  ASSERT_EQ(page->linkState(), kSerialOpen);
  hold.repost(page.get());
  ASSERT_TRUE(pty.write({4}));
  ASSERT_TRUE(waitUntil([&] { return !panel.bytes.empty(); }));
  waitUntil([] { return false; }, 50);
  EXPECT_EQ(panel.bytes, Bytes{4});
  click(2011);

  // TCP: blocks of a connection the user ended are neither logged nor handed on.
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useTcp(server.serverPort());
  click(2011);
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
  hold.held.clear();
  hold.bytes = 0;
  hold.holding = true;
  peer->write(QByteArray::fromHex("2205400000000067"));
  ASSERT_TRUE(waitUntil([&] { return hold.bytes == 8; }));
  click(2011);
  hold.holding = false;
  hold.repost(page.get());
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  hold.repost(page.get());
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> second(server.nextPendingConnection());
  second->write(QByteArray::fromHex("05"));
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() == 2; }));
  waitUntil([] { return false; }, 50);
  EXPECT_EQ(panel.bytes, (Bytes{4, 5}));
  EXPECT_FALSE(hasLog("接收到报文: 22 05 40 00 00 00 00 67 "));
}

TEST_F(DialogConnectTest, SerialOpenFailureShowsTheReason) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  SerialChannel other;
  ASSERT_TRUE(other.open(nullptr, pty.slavePath(), SerialSettings{}));
  typePort(pty.slavePath());
  click(2011);
  EXPECT_EQ(page->linkState(), kSerialIdle);
  EXPECT_EQ(status(), QStringLiteral("串口打开失败"));
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("串口打开失败")));
  ASSERT_GE(host.lines.size(), 3u);
  EXPECT_EQ(host.lines[host.lines.size() - 2], "串口打开失败: " + pty.slavePath());
  EXPECT_NE(host.lines.back().find("占用"), std::string::npos) << host.lines.back();
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
}

TEST_F(DialogConnectTest, TcpLinkToALocalServer) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useTcp(server.serverPort());
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  EXPECT_TRUE(lookedUp.empty()) << "a dotted address connects without a lookup";
  const std::string text = "TCP已连接：127.0.0.1:" + std::to_string(server.serverPort());
  EXPECT_EQ(status().toStdString(), text);
  EXPECT_TRUE(hasLog("TCP连接成功: " + text));
  EXPECT_EQ(panel.states.back(), std::make_pair(true, text));
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());

  // A block is logged, then its bytes go to the panel.
  journal.clear();
  peer->write(QByteArray::fromHex("2205400000000067"));
  peer->flush();
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() == 8; }));
  ASSERT_EQ(journal.size(), 9u);
  EXPECT_EQ(journal[0], "log 接收到报文: 22 05 40 00 00 00 00 67 ");
  EXPECT_EQ(journal[1], "byte 22");

  DeviceLink& link = page->deviceLink();
  const Bytes frame = {0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C};
  EXPECT_TRUE(link.sendBytes(frame.data(), 8));
  QByteArray got;
  ASSERT_TRUE(waitUntil([&] {
    got += peer->readAll();
    return got.size() >= 8;
  }));
  EXPECT_EQ(Bytes(got.begin(), got.end()), frame);

  // The device goes away.
  peer->disconnectFromHost();
  ASSERT_TRUE(waitUntil([&] { return page->linkState() == kTcpIdle; }));
  EXPECT_EQ(status(), QStringLiteral("TCP连接断开"));
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("TCP连接已断开")));
  EXPECT_EQ(host.lines.back(), "TCP连接已断开");
  EXPECT_EQ(caption(), QStringLiteral("连接"));
  EXPECT_FALSE(link.sendBytes(frame.data(), 8));

  // Reconnect from state 2.
  click(2011);
  EXPECT_EQ(page->linkState(), kTcpConnected);
}

TEST_F(DialogConnectTest, UserDisconnectIgnoresTheLateCloseNotice) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useTcp(server.serverPort());
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  click(2011);
  EXPECT_EQ(page->linkState(), kTcpIdle);
  EXPECT_EQ(status(), QStringLiteral("TCP已断开"));
  const auto lines = host.lines;
  const auto states = panel.states;
  waitUntil([] { return false; }, 200);  // the close notice is handled in here
  EXPECT_EQ(status(), QStringLiteral("TCP已断开"));
  EXPECT_EQ(host.lines, lines);
  EXPECT_EQ(panel.states, states);
  EXPECT_EQ(host.lines.back(), "TCP已断开");
}

TEST_F(DialogConnectTest, TcpRefusalsAndFailures) {
  click(2001);
  control<QLineEdit>(2003)->setText(QStringLiteral("  "));
  click(2011);
  control<QLineEdit>(2003)->setText(QStringLiteral("127.0.0.1"));
  for (const char* port : {"0", "65536", ""}) {
    control<QLineEdit>(2004)->setText(QString::fromUtf8(port));
    click(2011);
  }
  EXPECT_EQ(UiRecorder::messages(),
            (QStringList{QStringLiteral("请输入 IP 地址"), QStringLiteral("端口号无效 (1-65535)"),
                         QStringLiteral("端口号无效 (1-65535)"), QStringLiteral("端口号无效 (1-65535)")}));
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(status(), QStringLiteral("串口未打开"));

  quint16 closedPort = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    closedPort = probe.serverPort();
  }
  control<QLineEdit>(2004)->setText(QString::number(closedPort));
  click(2011);
  EXPECT_EQ(page->linkState(), kTcpIdle);
  EXPECT_EQ(status(), QStringLiteral("TCP连接失败"));
  // The refusal names its cause, as the system gave it.
  ASSERT_GE(host.lines.size(), 2u);
  EXPECT_EQ(host.lines[host.lines.size() - 2], "TCP连接失败: 127.0.0.1");
  EXPECT_EQ(host.lines.back(), "原因: " + std::make_error_code(std::errc::connection_refused).message() +
                                  "（该端口没有服务在监听，请检查端口号）");
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("TCP连接失败")));

  // Address commands need a link: their buttons stay disabled.
  for (int id : {2012, 2013, 2014, 2015}) EXPECT_FALSE(control(id)->isEnabled()) << id;
}

TEST_F(DialogConnectTest, AddressReportLandsInTheBoxes) {
  DeviceLink& link = page->deviceLink();
  link.showAddressReport("005", "08:09:10 收到地址更新：005");
  EXPECT_EQ(control<QLineEdit>(2012)->text(), QStringLiteral("005"));
  EXPECT_EQ(control<QLineEdit>(2015)->text(), QStringLiteral("08:09:10 收到地址更新：005"));
  EXPECT_EQ(link.addressBoxValue(), 5);
  control<QLineEdit>(2012)->setText(QString());
  EXPECT_EQ(link.addressBoxValue(), 0);
}

TEST_F(DialogConnectTest, ClosingThePageReleasesBothChannels) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  click(2011);
  ASSERT_EQ(page->linkState(), kSerialOpen);
  ASSERT_TRUE(pty.write(pattern(200)));  // bytes in flight while the page goes
  page.reset();
  SerialChannel again;
  EXPECT_TRUE(again.open(nullptr, pty.slavePath(), SerialSettings{})) << again.lastError().message();

  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  page = std::make_unique<DialogConnect>();
  useTcp(server.serverPort());
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
  page.reset();
  EXPECT_TRUE(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(DialogConnectTest, HostNamesAreLookedUpWithoutHoldingTheWindow) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  page->setHostResolver(fakeResolver(&lookedUp, {QHostAddress(QStringLiteral("127.0.0.1"))}, 300));
  useHost(QStringLiteral("device.test"), server.serverPort());
  const std::string where = "device.test:" + std::to_string(server.serverPort());
  click(2011);
  // Back before the answer: nothing decided, nothing to press twice.
  EXPECT_EQ(status().toStdString(), "正在连接: " + where + "...");
  for (int id : {2001, 2003, 2011}) EXPECT_FALSE(control(id)->isEnabled()) << id;
  ASSERT_TRUE(waitUntil([&] { return page->linkState() == kTcpConnected; }));
  EXPECT_EQ(panel.states, (std::vector<std::pair<bool, std::string>>{{true, "TCP已连接：" + where}}));
  EXPECT_EQ(lookedUp, std::vector<QString>{QStringLiteral("device.test")});
  click(2011);

  // An answer later than the limit is no answer: the attempt has failed by then.
  page->setHostResolver(fakeResolver(&lookedUp, {QHostAddress(QStringLiteral("127.0.0.1"))}, 2500));
  click(2011);
  ASSERT_TRUE(waitUntil([&] { return control(2011)->isEnabled(); }, 6000));
  EXPECT_EQ(status(), QStringLiteral("TCP连接失败"));
  EXPECT_EQ(host.lines.back(), "原因: 主机名解析超时");
  waitUntil([] { return false; }, 700);
  EXPECT_EQ(page->linkState(), kTcpIdle);

  // The page closing during a lookup takes the lookup with it.
  click(2011);
  const size_t lines = host.lines.size();
  page.reset();
  waitUntil([] { return false; }, 150);
  EXPECT_EQ(host.lines.size(), lines);
}
