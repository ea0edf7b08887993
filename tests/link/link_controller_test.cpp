// The link controller driven as velmora-cli drives it: typed settings and
// addresses, no page in between. The page's own path is connect_logic_test.
#include <gtest/gtest.h>

#include "link/link_controller.h"
#include "tests/link/link_fakes.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

struct Channels : SerialLink, TcpLink {
  void close() override { up = false; }
  bool isOpen() const override { return up; }
  bool send(const uint8_t* d, int32_t n) override { return sent.assign(d, d + n), true; }
  bool open(const std::string& path, const SerialSettings& s, std::error_code&) override {
    openedPath = path, openedWith = s;
    return up = true;
  }
  TcpConnectStart open(const std::string& host, int32_t port) override {
    openedPath = host + ":" + std::to_string(port);
    up = true;
    return TcpConnectStart::Connected;
  }
  std::error_code lostReason() const override { return {}; }
  std::vector<std::string> listPorts() override { return {}; }
  bool up = false;
  std::string openedPath;
  SerialSettings openedWith;
  std::vector<uint8_t> sent;
};

struct Listener : LinkListener {
  void linkStatusText(const std::string& text) override { statuses.push_back(text); }
  void linkStateChanged() override { ++changes; }
  std::vector<std::string> statuses;
  int changes = 0;
};

}  // namespace

TEST(LinkController, TypedSettingsReachTheChannelAsGivenAndTheListenerHearsEachChange) {
  Journal journal;
  FakePanel panel(journal);
  FakeLog log(journal);
  Channels channels;
  Listener listener;
  LinkController link(channels, channels, &log);
  link.setReceiver(&panel);
  link.setListener(&listener);

  // Every value a page would never offer by itself: space parity, two stop bits.
  const SerialSettings settings{115200, 7, 2, 4};
  ASSERT_TRUE(link.openSerial("/dev/pts/7", settings));
  EXPECT_EQ(channels.openedWith, settings);
  EXPECT_EQ(link.state(), LinkState::SerialOpen);
  EXPECT_EQ(listener.statuses.back(), "串口已打开：/dev/pts/7 (115200,7,2,4)");
  EXPECT_EQ(panel.states.back(), std::make_pair(true, std::string("串口已打开：/dev/pts/7 (115200,7,2,4)")));

  // The address commands go out on the open channel and say so in the log.
  ASSERT_TRUE(link.sendAddressChange(200));
  EXPECT_EQ(channels.sent.size(), 8u);
  EXPECT_EQ(log.lines.back(), "发送修改设备地址命令: 200");

  link.close();
  EXPECT_EQ(link.state(), LinkState::SerialIdle);
  EXPECT_FALSE(link.send(channels.sent.data(), 1));  // nothing is open: nothing goes out
  EXPECT_EQ(listener.changes, 2);

  EXPECT_EQ(link.connectTcp("127.0.0.1", 6001), TcpConnectStart::Connected);
  EXPECT_EQ(channels.openedPath, "127.0.0.1:6001");
  EXPECT_EQ(link.linkState(), kTcpConnected);
  // The peer ends it: the loss is the controller's to tell, once.
  link.onTcpClose(0);
  EXPECT_EQ(link.lossText(), "TCP连接已断开");
  EXPECT_EQ(link.state(), LinkState::TcpIdle);
  link.onTcpClose(0);
  EXPECT_EQ(panel.states.size(), 4u);
}
