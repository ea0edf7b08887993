// The connection page's wiring only; its rules are connect_logic_test's, real transfers tests/e2e's.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

#include "link/dialog_connect.h"
#include "link/link_events_qt.h"
#include "tests/link/link_fakes.h"
#include "tests/link/pty_pair_qt.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int kAll[] = {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014, 2015};

class DialogConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    page.setPanel(&panel);
  }
  template <typename W = QWidget>
  W* control(int id) {
    W* w = page.findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  QString status() { return control<QLabel>(1011)->text(); }
  void click(int id) { control<QAbstractButton>(id)->click(); }
  void typePort(const std::string& path) { control<QComboBox>(2005)->setEditText(QString::fromStdString(path)); }
  void useHost(quint16 port) {
    click(2001);
    control<QLineEdit>(2003)->setText(QStringLiteral("127.0.0.1"));
    control<QLineEdit>(2004)->setText(QString::number(port));
  }
  // The controls in on are enabled, all others disabled.
  void expectEnabledOnly(std::initializer_list<int> on) {
    for (int id : kAll)
      EXPECT_EQ(control(id)->isEnabled(), std::find(on.begin(), on.end(), id) != on.end()) << id;
  }

  Journal journal;
  FakePanel panel{journal};
  FakeLog log{journal};
  DialogConnect page{nullptr, &log};
};

// Holds back the channels' byte and block events, to post them again after the link changed.
struct HoldBack : QObject {
  bool holding = true;
  size_t bytes = 0;
  std::vector<std::function<QEvent*()>> held;
  bool eventFilter(QObject*, QEvent* event) override {
    if (!holding) return false;
    if (event->type() == SerialByteEvent::kType) {
      const auto* e = static_cast<SerialByteEvent*>(event);
      held.push_back([s = e->session, b = e->byte, t = e->arrivedUs] { return new SerialByteEvent(s, b, t); });
      ++bytes;
      return true;
    }
    if (event->type() == TcpReceiveEvent::kType) {
      const auto* e = static_cast<TcpReceiveEvent*>(event);
      held.push_back([s = e->session, b = e->block, t = e->arrivedUs] { return new TcpReceiveEvent(s, b, t); });
      bytes += e->block.size();
      return true;
    }
    return false;
  }
};

}  // namespace

TEST_F(DialogConnectTest, ControlsAndTextsReachTheLogicWithoutALink) {
  EXPECT_EQ(control<QLineEdit>(2003)->text(), QStringLiteral("192.168.1.110"));
  EXPECT_EQ(control<QLineEdit>(2004)->text(), QStringLiteral("6000"));
  EXPECT_EQ(control<QLineEdit>(2012)->text(), QStringLiteral("01"));
  // The logic turns these indices into line settings.
  EXPECT_EQ(control<QComboBox>(2008)->itemText(1), QStringLiteral("1.5"));
  EXPECT_EQ(control<QComboBox>(2009)->itemText(4), QStringLiteral("空格"));
  expectEnabledOnly({2001, 2002, 2005, 2006, 2007, 2008, 2009, 2010, 2011});

  page.setPortLister([] { return std::vector<std::string>{"/dev/ttyS3", "/dev/ttyUSB0"}; });
  click(2010);
  EXPECT_EQ(control<QComboBox>(2005)->currentText(), QStringLiteral("/dev/ttyS3"));
  EXPECT_EQ(log.lines, std::vector<std::string>{"已刷新串口列表"});
  useHost(0);  // refused before any connect, in a message box
  expectEnabledOnly({2001, 2002, 2003, 2004, 2011});
  click(2011);
  EXPECT_EQ(UiRecorder::messages(), QStringList{QStringLiteral("端口号无效 (1-65535)")});
  EXPECT_EQ(log.lines.size(), 1u) << "a connect was tried: " << log.lines.back();
}

TEST_F(DialogConnectTest, LineSettingsReachTheSerialChannel) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  // A pty takes no parity: the channel's refusal and its reason reach the log.
  control<QComboBox>(2009)->setCurrentIndex(2);
  click(2011);
  EXPECT_EQ(status(), QStringLiteral("串口打开失败"));
  EXPECT_EQ(log.lines.back(), "原因: 串口参数未生效（校验位）");

  control<QComboBox>(2009)->setCurrentIndex(0);
  control<QComboBox>(2006)->setCurrentIndex(7);  // 115200
  control<QComboBox>(2008)->setCurrentIndex(2);  // "2"
  click(2011);
  ASSERT_EQ(page.linkState(), kSerialOpen) << log.lines.back();
  const std::string text = "串口已打开：" + pty.slavePath() + " (115200,8,2,0)";
  EXPECT_EQ(panel.states.back(), std::make_pair(true, text));
  EXPECT_EQ(control<QPushButton>(2011)->text(), QStringLiteral("断开"));
  expectEnabledOnly({2011, 2012, 2013, 2014, 2015});
}

// What a closed link left queued is dropped, also when the link is open again by then.
TEST_F(DialogConnectTest, QueuedBytesOfAClosedLinkNeverReachThePanel) {
  HoldBack hold;
  page.installEventFilter(&hold);
  const auto replayAfterReopen = [&] {
    click(2011);
    click(2011);
    hold.holding = false;
    for (const auto& remake : hold.held) QCoreApplication::postEvent(&page, remake());
  };
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  typePort(pty.slavePath());
  click(2011);
  ASSERT_TRUE(pty.write({1, 2, 3}));
  ASSERT_TRUE(waitUntil([&] { return hold.bytes == 3; }));
  replayAfterReopen();
  ASSERT_EQ(page.linkState(), kSerialOpen);
  ASSERT_TRUE(pty.write({4}) && waitUntil([&] { return !panel.bytes.empty(); }));
  click(2011);

  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
  useHost(server.serverPort());
  click(2011);
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
  hold.held.clear(), hold.bytes = 0, hold.holding = true;
  peer->write(QByteArray::fromHex("2205400000000067"));
  ASSERT_TRUE(waitUntil([&] { return hold.bytes == 8; }));
  replayAfterReopen();
  ASSERT_EQ(page.linkState(), kTcpConnected);
  ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
  std::unique_ptr<QTcpSocket> second(server.nextPendingConnection());
  second->write(QByteArray::fromHex("05"));
  ASSERT_TRUE(waitUntil([&] { return panel.bytes.size() == 2; }));
  EXPECT_EQ(panel.bytes, (Bytes{4, 5}));
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "接收到报文: 22 05 40 00 00 00 00 67 "), 0);
}
