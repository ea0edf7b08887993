#include <gtest/gtest.h>

#include <QComboBox>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

#include "link/dialog_connect.h"
#include "link/link_events_qt.h"
#include "link/serial_channel_qt.h"
#include "tests/link/link_fakes.h"
#include "tests/link/pty_pair_qt.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

// Answers every name with 127.0.0.1 after delayMs, on the UI thread as the
// system's does; a negative delay never answers. Each name asked lands in asked.
HostLookup::Resolver fakeResolver(std::vector<QString>* asked, int delayMs) {
  return [=](const QString& name, QObject* context, std::function<void(const QHostInfo&)> answer) {
    asked->push_back(name);
    if (delayMs < 0) return;
    QTimer::singleShot(delayMs, context, [=] {
      QHostInfo info;
      info.setAddresses({QHostAddress(QHostAddress::LocalHost)});
      answer(info);
    });
  };
}

class DialogConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    page = std::make_unique<DialogConnect>(nullptr, &log);
    page->setPanel(&panel);
    // No test asks the machine's resolver; a lookup that should not happen shows here.
    page->setHostResolver(fakeResolver(&lookedUp, -1));
  }

  template <typename W = QWidget>
  W* control(int id) const {
    W* w = page->findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  QString status() const { return control<QLabel>(1011)->text(); }
  void click(int id) const { control<QAbstractButton>(id)->click(); }
  void typePort(const std::string& path) const { control<QComboBox>(2005)->setEditText(QString::fromStdString(path)); }
  void useHost(const QString& host, quint16 port) const {
    click(2001);
    control<QLineEdit>(2003)->setText(host);
    control<QLineEdit>(2004)->setText(QString::number(port));
  }
  void expectEnabled(std::initializer_list<int> on, std::initializer_list<int> off) const {
    for (int id : on) EXPECT_TRUE(control(id)->isEnabled()) << id;
    for (int id : off) EXPECT_FALSE(control(id)->isEnabled()) << id;
  }

  Journal journal;
  FakePanel panel{journal};
  FakeLog log{journal};
  std::vector<QString> lookedUp;
  std::unique_ptr<DialogConnect> page;
};

// Holds back the byte and block events the channels post to the page, so a
// test can queue them again, as posted, after the link has changed.
struct HoldBack : QObject {
  bool holding = true;
  size_t bytes = 0;
  std::vector<std::function<QEvent*()>> held;
  void repost(QObject* target) const {
    for (const auto& remake : held) QCoreApplication::postEvent(target, remake());
  }
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
  EXPECT_EQ(control<QPushButton>(2011)->text(), QStringLiteral("连接"));
  EXPECT_TRUE(control<QRadioButton>(2002)->isChecked());
  EXPECT_EQ(control<QLineEdit>(2003)->text(), QStringLiteral("192.168.1.110"));
  EXPECT_EQ(control<QLineEdit>(2004)->text(), QStringLiteral("6000"));
  EXPECT_EQ(control<QLineEdit>(2012)->text(), QStringLiteral("01"));
  // The selected entries and indices are what the logic turns into line settings.
  EXPECT_EQ(control<QComboBox>(2006)->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(control<QComboBox>(2006)->count(), 8);
  EXPECT_EQ(control<QComboBox>(2007)->currentText(), QStringLiteral("8"));
  EXPECT_EQ(control<QComboBox>(2008)->itemText(1), QStringLiteral("1.5"));
  EXPECT_EQ(control<QComboBox>(2008)->currentIndex(), 0);
  EXPECT_EQ(control<QComboBox>(2009)->itemText(4), QStringLiteral("空格"));
  EXPECT_EQ(control<QComboBox>(2009)->currentIndex(), 0);
  expectEnabled({2001, 2002, 2005, 2006, 2007, 2008, 2009, 2010, 2011}, {2003, 2004, 2012, 2013, 2014, 2015});

  click(2001);  // every TCP test below clicks it too
  expectEnabled({2003, 2004}, {2005, 2010});
  click(2002);
  EXPECT_EQ(page->transport(), kTransportSerial);

  page->setPortLister([] { return std::vector<std::string>{"/dev/ttyS3", "/dev/ttyUSB0"}; });
  click(2010);
  EXPECT_EQ(control<QComboBox>(2005)->currentText(), QStringLiteral("/dev/ttyS3"));
  EXPECT_EQ(log.lines, std::vector<std::string>{"已刷新串口列表"});

  DeviceLink& link = page->deviceLink();
  link.showAddressReport("005", "08:09:10 收到地址更新：005");
  EXPECT_EQ(control<QLineEdit>(2012)->text(), QStringLiteral("005"));
  EXPECT_EQ(control<QLineEdit>(2015)->text(), QStringLiteral("08:09:10 收到地址更新：005"));
  EXPECT_EQ(link.addressBoxValue(), 5);
}

TEST_F(DialogConnectTest, SerialLinkOverAPtyUntilTheDeviceGoes) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  {
    // Held by another program: the system's reason reaches the log.
    SerialChannel other;
    ASSERT_TRUE(other.open(nullptr, pty.slavePath(), SerialSettings{}));
    click(2011);
    EXPECT_EQ(status(), QStringLiteral("串口打开失败"));
    EXPECT_NE(log.lines.back().find("占用"), std::string::npos) << log.lines.back();
  }
  control<QComboBox>(2006)->setCurrentIndex(7);  // 115200
  control<QComboBox>(2008)->setCurrentIndex(2);  // "2"; a pty takes no parity
  click(2011);
  ASSERT_EQ(page->linkState(), kSerialOpen) << log.lines.back();
  const std::string text = "串口已打开：" + pty.slavePath() + " (115200,8,2,0)";
  EXPECT_EQ(status().toStdString(), text);
  EXPECT_EQ(control<QPushButton>(2011)->text(), QStringLiteral("断开"));
  EXPECT_EQ(panel.states.back(), std::make_pair(true, text));
  expectEnabled({2011, 2012, 2013, 2014, 2015}, {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010});

  const Bytes in = pattern(300, 5);
  ASSERT_TRUE(pty.write(in));
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() >= in.size(); }));
  EXPECT_EQ(panel.bytes, in);

  DeviceLink& link = page->deviceLink();
  const Bytes frame = {0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C};
  EXPECT_TRUE(link.sendBytes(frame.data(), 8));
  EXPECT_EQ(pty.read(8), frame);
  click(2013);
  EXPECT_EQ(pty.read(8), (Bytes{0x55, 0xF5, 0x40, 0x00, 0x00, 0x00, 0x00, 0x8A}));
  control<QLineEdit>(2012)->setText(QStringLiteral("245"));
  click(2014);
  EXPECT_EQ(pty.read(8), (Bytes{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0xF5, 0x80}));
  control<QLineEdit>(2012)->setText(QStringLiteral("256"));
  click(2014);
  EXPECT_EQ(UiRecorder::messages(), QStringList{QStringLiteral("请输入有效的设备地址 (1-255)")});

  // The adapter is pulled out: the loss notice ends the link without a box.
  pty.closeMaster();
  ASSERT_TRUE(waitUntil([&] { return page->linkState() == kSerialIdle; }));
  EXPECT_EQ(status(), QStringLiteral("串口已断开"));
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("串口已断开")));
  EXPECT_EQ(log.lines.back().rfind("串口意外断开", 0), 0u) << log.lines.back();
  EXPECT_EQ(UiRecorder::messages().size(), 1);
  EXPECT_FALSE(link.sendBytes(frame.data(), 8));
  expectEnabled({2005, 2011}, {2013});
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
  EXPECT_EQ(status(), QStringLiteral("已关闭串口"));
  hold.holding = false;
  hold.repost(page.get());
  click(2011);
  ASSERT_EQ(page->linkState(), kSerialOpen);
  hold.repost(page.get());
  ASSERT_TRUE(pty.write({4}));
  ASSERT_TRUE(waitUntil([&] { return !panel.bytes.empty(); }));
  settle(50);
  EXPECT_EQ(panel.bytes, Bytes{4});
  click(2011);

  // TCP: blocks of a connection the user ended are neither logged nor handed on.
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useHost(QStringLiteral("127.0.0.1"), server.serverPort());
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
  settle(50);
  EXPECT_EQ(panel.bytes, (Bytes{4, 5}));
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "接收到报文: 05 "), 1);
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "接收到报文: 22 05 40 00 00 00 00 67 "), 0);
}

TEST_F(DialogConnectTest, TcpLinkToALocalServer) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useHost(QStringLiteral("127.0.0.1"), server.serverPort());
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  EXPECT_TRUE(lookedUp.empty()) << "a dotted address connects without a lookup";
  const std::string text = "TCP已连接：127.0.0.1:" + std::to_string(server.serverPort());
  EXPECT_EQ(status().toStdString(), text);
  EXPECT_EQ(panel.states.back(), std::make_pair(true, text));
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
  peer->write(QByteArray::fromHex("2205400000000067"));
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() == 8; }));
  EXPECT_EQ(panel.bytes, (Bytes{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67}));

  DeviceLink& link = page->deviceLink();
  const Bytes frame = {0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C};
  EXPECT_TRUE(link.sendBytes(frame.data(), 8));
  QByteArray got;
  ASSERT_TRUE(waitUntil([&] { got += peer->readAll(); return got.size() >= 8; }));
  EXPECT_EQ(Bytes(got.begin(), got.end()), frame);

  // The user disconnects; the socket's late close notice changes nothing.
  click(2011);
  EXPECT_EQ(status(), QStringLiteral("TCP已断开"));
  const auto states = panel.states;
  settle(200);
  EXPECT_EQ(status(), QStringLiteral("TCP已断开"));
  EXPECT_EQ(panel.states, states);

  // Again from state 2; then the device goes away.
  click(2011);
  ASSERT_EQ(page->linkState(), kTcpConnected);
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  peer.reset(server.nextPendingConnection());
  peer->disconnectFromHost();
  ASSERT_TRUE(waitUntil([&] { return page->linkState() == kTcpIdle; }));
  EXPECT_EQ(status(), QStringLiteral("TCP连接断开"));
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("TCP连接已断开")));
  EXPECT_EQ(control<QPushButton>(2011)->text(), QStringLiteral("连接"));
  EXPECT_FALSE(link.sendBytes(frame.data(), 8));
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
  page = std::make_unique<DialogConnect>();  // no log, no panel
  useHost(QStringLiteral("127.0.0.1"), server.serverPort());
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
  page->setHostResolver(fakeResolver(&lookedUp, 300));
  useHost(QStringLiteral("device.test"), server.serverPort());
  const std::string where = "device.test:" + std::to_string(server.serverPort());
  click(2011);
  // Back before the answer: nothing decided, nothing to press twice.
  EXPECT_EQ(status().toStdString(), "正在连接: " + where + "...");
  expectEnabled({}, {2001, 2003, 2011});
  ASSERT_TRUE(waitUntil([&] { return page->linkState() == kTcpConnected; }));
  EXPECT_EQ(panel.states, (LinkStates{{true, "TCP已连接：" + where}}));
  EXPECT_EQ(lookedUp, std::vector<QString>{QStringLiteral("device.test")});
  click(2011);

  // An answer later than the limit is no answer: the attempt has failed by then.
  page->setHostResolver(fakeResolver(&lookedUp, 2500));
  click(2011);
  ASSERT_TRUE(waitUntil([&] { return control(2011)->isEnabled(); }, 6000));
  EXPECT_EQ(status(), QStringLiteral("TCP连接失败"));
  EXPECT_EQ(log.lines.back(), "原因: 主机名解析超时");
  settle(700);
  EXPECT_EQ(page->linkState(), kTcpIdle);

  // The page closing during a lookup takes the lookup with it.
  click(2011);
  const size_t lines = log.lines.size();
  page.reset();
  settle(150);
  EXPECT_EQ(log.lines.size(), lines);
}
