#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "link/connect_logic.h"
#include "protocol/frames.h"
#include "tests/link/link_fakes.h"

using namespace velmora;
using namespace velmora::testing;
using Bytes = std::vector<uint8_t>;

namespace {

class FakeView : public ConnectView {
 public:
  std::string ip = "127.0.0.1", port = "6000", serialPort, address = "01";
  std::optional<std::string> baud = "9600", dataBits = "8";
  int stopIndex = 0, parity = 0;

  std::string status, addressShown, addressMessage;
  int32_t transportShown = -1;
  std::vector<std::string> messages, portList;
  ControlStates controls;
  int controlUpdates = 0;

  std::string ipText() const override { return ip; }
  std::string tcpPortText() const override { return port; }
  std::string serialPortText() const override { return serialPort; }
  std::optional<std::string> baudEntry() const override { return baud; }
  std::optional<std::string> dataBitsEntry() const override { return dataBits; }
  int stopBitsIndex() const override { return stopIndex; }
  int parityIndex() const override { return parity; }
  std::string addressText() const override { return address; }
  void setStatusText(const std::string& t) override { status = t; }
  void setAddressText(const std::string& t) override { addressShown = t; }
  void setAddressMessage(const std::string& t) override { addressMessage = t; }
  void setPortList(const std::vector<std::string>& p) override {
    portList = p;
    serialPort = p.empty() ? "" : p.front();
  }
  void setIpText(const std::string& t) override { ip = t; }
  void showTransport(int32_t t) override { transportShown = t; }
  void applyControlStates(const ControlStates& s) override {
    controls = s;
    ++controlUpdates;
  }
  void showMessage(const std::string& t) override { messages.push_back(t); }
};

// Both channels, with the knobs and records the tests read; serialLink and
// tcpLink are what the logic is given.
class FakeChannels {
 public:
  explicit FakeChannels(Journal& j) : journal(j) {}
  Journal& journal;
  bool serialOpens = true, tcpConnects = true, serialOpen = false, tcp = false;
  bool tcpLooksUp = false;  // the host is a name: the attempt stays pending
  bool serialWriteOk = true;
  int64_t tcpSendResult = -2;  // -2: the whole block
  std::error_code openError;
  std::error_code connectError;  // what a failed TCP connect reports
  std::vector<std::string> ports;
  std::string openedPath, tcpHost;
  int32_t tcpPort = 0;
  SerialSettings openedWith;
  Bytes sent;

  struct Serial final : SerialLink {
    explicit Serial(FakeChannels& c) : c(c) {}
    FakeChannels& c;
    bool open(const std::string& path, const SerialSettings& s, std::error_code& error) override {
      c.journal.push_back("serial open " + path);
      c.openedPath = path;
      c.openedWith = s;
      c.serialOpen = c.serialOpens;
      if (!c.serialOpens) error = c.openError;
      return c.serialOpens;
    }
    void close() override {
      c.journal.push_back("serial close");
      c.serialOpen = false;
    }
    bool isOpen() const override { return c.serialOpen; }
    bool send(const uint8_t* d, int32_t n) override {
      c.sent.assign(d, d + n);
      return c.serialWriteOk;
    }
    std::error_code lostReason() const override { return {}; }
    std::vector<std::string> listPorts() override { return c.ports; }
  } serialLink{*this};

  struct Tcp final : TcpLink {
    explicit Tcp(FakeChannels& c) : c(c) {}
    FakeChannels& c;
    TcpConnectStart open(const std::string& host, int32_t port) override {
      c.journal.push_back(strprintf("tcp connect %s:%d", host.c_str(), port));
      c.tcpHost = host;
      c.tcpPort = port;
      if (c.tcpLooksUp) return TcpConnectStart::Pending;
      c.tcp = c.tcpConnects;
      return c.tcpConnects ? TcpConnectStart::Connected : TcpConnectStart::Failed;
    }
    void close() override {
      c.journal.push_back("tcp disconnect");
      c.tcp = false;
    }
    bool isOpen() const override { return c.tcp; }
    bool send(const uint8_t* d, int32_t n) override {
      c.sent.assign(d, d + n);
      return (c.tcpSendResult == -2 ? n : c.tcpSendResult) == n;
    }
    std::error_code connectError() const override { return c.connectError; }
  } tcpLink{*this};
};

class ConnectLogicTest : public ::testing::Test {
 protected:
  ConnectLogicTest() {
    logic.setPanel(&panel);
    logic.start();
    journal.clear();
  }
  void connectTcp(const std::string& port = "6000") {
    view.port = port;
    logic.onTransportChosen(kTransportTcp);
    logic.onConnectButton();
  }
  void openSerial(const std::string& path = "/dev/ttyUSB0") {
    view.serialPort = path;
    logic.onTransportChosen(kTransportSerial);
    logic.onConnectButton();
  }
  // Everything visible at once, to show a refused command changed nothing.
  std::string snapshot() const {
    return strprintf("%d/%d/%s/%zu/%zu/%zu/%zu", logic.linkState(), logic.transport(), view.status.c_str(),
                     host.lines.size(), panel.states.size(), channels.sent.size(), journal.size());
  }

  Journal journal;
  FakeView view;
  FakeChannels channels{journal};
  FakePanel panel{journal};
  FakeHost host{journal};
  ConnectLogic logic{view, channels.serialLink, channels.tcpLink, &host};
};

}  // namespace

TEST(SerialSettingsChoice, EntriesIndicesAndFallbacks) {
  EXPECT_EQ(chooseSerialSettings("9600", "8", 0, 0), (SerialSettings{9600, 8, 0, 0}));
  EXPECT_EQ(chooseSerialSettings("115200", "7", 2, 2), (SerialSettings{115200, 7, 2, 2}));
  // "1.5" is index 1 and travels as the code 1; "空格" is index 4.
  EXPECT_EQ(chooseSerialSettings("9600", "8", 1, 4), (SerialSettings{9600, 8, 1, 4}));
  EXPECT_EQ(chooseSerialSettings("1200", "5", 0, 3), (SerialSettings{1200, 5, 0, 3}));
  // Nothing selected, or values out of range: the defaults.
  EXPECT_EQ(chooseSerialSettings(std::nullopt, std::nullopt, -1, -1), (SerialSettings{9600, 8, 0, 0}));
  EXPECT_EQ(chooseSerialSettings("0", "4", 3, 5), (SerialSettings{9600, 8, 0, 0}));
  EXPECT_EQ(chooseSerialSettings("-300", "9", 7, -2), (SerialSettings{9600, 8, 0, 0}));
  EXPECT_EQ(chooseSerialSettings(" 4800 baud", "6bits", 0, 1), (SerialSettings{4800, 6, 0, 1}));
}

TEST(SerialDevicePath, OnlyPathsUnderDev) {
  for (const char* good : {"/dev/ttyUSB0", "/dev/ttyS10", "/dev/pts/3", "/dev/serial/by-id/usb-FTDI_A1-if00-port0"})
    EXPECT_TRUE(isSerialDevicePath(good)) << good;
  for (const char* bad : {"", "COM3", "/dev/", "/dev", "/devttyS0", "dev/ttyS0", "/tmp/ttyS0", "/dev/../etc/passwd",
                          "/dev/pts/../../etc/shadow", "/dev/pts/", "/dev/..", " /dev/ttyS0"})
    EXPECT_FALSE(isSerialDevicePath(bad)) << bad;
  EXPECT_FALSE(isSerialDevicePath(std::string("/dev/ttyS0\0x", 12)));
  EXPECT_TRUE(isSerialDevicePath("/dev/tty..odd"));  // dots inside a name are no climb
}

TEST(SerialPortOrder, FamiliesThenNumbersNoDuplicates) {
  const std::vector<std::string> in = {"/dev/ttyS10", "/dev/serial/by-id/usb-b", "/dev/ttyS2", "/dev/ttyACM0",
                                       "/dev/ttyUSB10", "/dev/ttyUSB9", "/dev/ttyAMA0", "/dev/serial/by-id/usb-a",
                                       "/dev/ttyS2", "/dev/ttyUSB1"};
  const std::vector<std::string> want = {"/dev/ttyUSB1", "/dev/ttyUSB9", "/dev/ttyUSB10", "/dev/ttyACM0",
                                         "/dev/ttyAMA0", "/dev/ttyS2", "/dev/ttyS10", "/dev/serial/by-id/usb-a",
                                         "/dev/serial/by-id/usb-b"};
  EXPECT_EQ(orderPortCandidates(in), want);
  EXPECT_TRUE(orderPortCandidates({}).empty());
}

TEST(ControlStatesTable, ConnectedStatesLockTheSettings) {
  for (int32_t transport : {kTransportSerial, kTransportTcp}) {
    for (int32_t state : {kSerialOpen, kTcpConnected}) {
      const ControlStates s = controlStatesFor(state, transport);
      EXPECT_EQ(s, (ControlStates{false, false, false, true, "断开", true})) << state << transport;
      EXPECT_EQ(s.connectCaption, "断开");
    }
  }
  for (int32_t state : {kSerialIdle, kTcpIdle}) {
    EXPECT_EQ(controlStatesFor(state, kTransportSerial), (ControlStates{true, true, false, false, "连接", true}));
    EXPECT_EQ(controlStatesFor(state, kTransportTcp), (ControlStates{true, false, true, false, "连接", true}));
    // A lookup in progress locks everything, the connect button included.
    EXPECT_EQ(controlStatesFor(state, kTransportTcp, true),
              (ControlStates{false, false, false, false, "连接", false}));
  }
}

TEST_F(ConnectLogicTest, StartShowsSerialIdleAndTheFoundPorts) {
  FakeView v;
  Journal j;
  FakeChannels c(j);
  c.ports = {"/dev/ttyUSB0", "/dev/ttyS0"};
  ConnectLogic l(v, c.serialLink, c.tcpLink);
  l.start();
  EXPECT_EQ(v.status, "串口未打开");
  EXPECT_EQ(v.portList, c.ports);
  EXPECT_EQ(v.controls, controlStatesFor(kSerialIdle, kTransportSerial));
  EXPECT_EQ(l.linkState(), kSerialIdle);
  EXPECT_EQ(l.transport(), kTransportSerial);

  c.ports = {"/dev/ttyACM0"};
  l.onRefreshButton();  // no log page: the line is dropped without harm
  EXPECT_EQ(v.portList, c.ports);
}

TEST_F(ConnectLogicTest, TcpInputsRefusedBeforeAnyAttempt) {
  logic.onTransportChosen(kTransportTcp);
  const std::string before = snapshot();
  view.ip = "  \t";
  logic.onConnectButton();
  view.ip = "127.0.0.1";
  for (const char* bad : {"0", "65536", "", "abc", "-1", "99999999999"}) {
    view.port = bad;
    logic.onConnectButton();
  }
  ASSERT_EQ(view.messages.size(), 7u);
  EXPECT_EQ(view.messages[0], "请输入 IP 地址");
  for (size_t i = 1; i < 7; ++i) EXPECT_EQ(view.messages[i], "端口号无效 (1-65535)");
  EXPECT_EQ(snapshot(), before);

  view.port = "65535";
  logic.onConnectButton();
  EXPECT_EQ(channels.tcpPort, 65535);
  EXPECT_EQ(logic.linkState(), kTcpConnected);
}

TEST_F(ConnectLogicTest, TcpConnectSuccessAndFailureTexts) {
  view.ip = " 127.0.0.1 ";
  connectTcp(" 6000x");
  EXPECT_EQ(channels.tcpHost, "127.0.0.1");
  EXPECT_EQ(channels.tcpPort, 6000);
  EXPECT_EQ(logic.linkState(), kTcpConnected);
  EXPECT_EQ(view.status, "TCP已连接：127.0.0.1:6000");
  EXPECT_EQ(view.controls, controlStatesFor(kTcpConnected, kTransportTcp));
  EXPECT_EQ(journal, (Journal{"log 正在连接: 127.0.0.1:6000...", "tcp connect 127.0.0.1:6000",
                              "log TCP连接成功: TCP已连接：127.0.0.1:6000", "link up TCP已连接：127.0.0.1:6000"}));

  logic.onConnectButton();  // disconnect by the user
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(view.status, "TCP已断开");
  EXPECT_EQ(host.lines.back(), "TCP已断开");
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("TCP已断开")));
  EXPECT_EQ(view.controls, controlStatesFor(kTcpIdle, kTransportTcp));

  journal.clear();
  channels.tcpConnects = false;
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(view.status, "TCP连接失败");
  EXPECT_EQ(journal, (Journal{"log 正在连接: 127.0.0.1:6000...", "tcp connect 127.0.0.1:6000",
                              "log TCP连接失败: 127.0.0.1", "link down TCP连接失败"}));
}

TEST_F(ConnectLogicTest, TcpNotificationsOnlyCountWhileConnected) {
  // Not connected: neither notification does anything.
  logic.onTcpClose(0);
  logic.onTcpConnectEvent(1, 10054);
  EXPECT_TRUE(journal.empty());

  connectTcp();
  logic.onTcpConnectEvent(0, 0);  // the "connection up" notice of connectTo itself
  EXPECT_EQ(logic.linkState(), kTcpConnected);

  // The user disconnects; the socket's close notification arrives afterwards.
  logic.onConnectButton();
  const std::string afterDisconnect = snapshot();
  logic.onTcpClose(0);
  EXPECT_EQ(snapshot(), afterDisconnect);
  EXPECT_EQ(view.status, "TCP已断开");

  // The peer closes.
  connectTcp();
  journal.clear();
  logic.onTcpClose(0);
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(view.status, "TCP连接断开");
  EXPECT_EQ(journal, (Journal{"link down TCP连接已断开", "log TCP连接已断开"}));
  EXPECT_EQ(view.controls, controlStatesFor(kTcpIdle, kTransportTcp));

  // The connect event reports an error on a live connection.
  connectTcp();
  journal.clear();
  logic.onTcpConnectEvent(1, 10060);
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(view.status, "TCP连接断开");
  EXPECT_EQ(journal, (Journal{"link down TCP连接断开", "log TCP连接意外断开"}));
}

TEST_F(ConnectLogicTest, SerialRefusalsLeaveEverythingAsItWas) {
  const std::string before = snapshot();
  view.serialPort = "";
  logic.onConnectButton();
  view.serialPort = "   ";
  logic.onConnectButton();
  for (const char* bad : {"COM3", "ttyUSB0", "/dev/../etc/passwd", "/tmp/x"}) {
    view.serialPort = bad;
    logic.onConnectButton();
  }
  EXPECT_EQ(view.messages, (std::vector<std::string>{"请选择串口", "请选择串口", "无效串口", "无效串口", "无效串口", "无效串口"}));
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(channels.openedPath.empty());
}

TEST_F(ConnectLogicTest, SerialOpenWithChosenSettingsAndClose) {
  view.baud = "115200";
  view.dataBits = "7";
  view.stopIndex = 2;
  view.parity = 2;
  openSerial(" /dev/ttyUSB0 ");
  EXPECT_EQ(channels.openedPath, "/dev/ttyUSB0");
  EXPECT_EQ(channels.openedWith, (SerialSettings{115200, 7, 2, 2}));
  EXPECT_EQ(logic.linkState(), kSerialOpen);
  const std::string text = "串口已打开：/dev/ttyUSB0 (115200,7,2,2)";
  EXPECT_EQ(view.status, text);
  EXPECT_EQ(journal, (Journal{"log 正在打开串口: /dev/ttyUSB0 (115200,7,2,2)...", "serial open /dev/ttyUSB0",
                              "log 串口打开成功: /dev/ttyUSB0", "link up " + text}));
  EXPECT_EQ(view.controls, controlStatesFor(kSerialOpen, kTransportSerial));

  journal.clear();
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kSerialIdle);
  EXPECT_EQ(view.status, "已关闭串口");
  EXPECT_EQ(journal, (Journal{"serial close", "log 已关闭串口", "link down 已关闭串口"}));
  EXPECT_EQ(view.controls, controlStatesFor(kSerialIdle, kTransportSerial));

  // "1.5" shows as the code 1; "空格" as 4.
  view.baud = "9600";
  view.dataBits = "8";
  view.stopIndex = 1;
  view.parity = 4;
  openSerial();
  EXPECT_EQ(view.status, "串口已打开：/dev/ttyUSB0 (9600,8,1,4)");
}

TEST_F(ConnectLogicTest, SerialOpenFailureLogsTheReason) {
  channels.serialOpens = false;
  channels.openError = std::make_error_code(std::errc::permission_denied);
  openSerial("/dev/ttyUSB3");
  EXPECT_EQ(logic.linkState(), kSerialIdle);
  EXPECT_EQ(view.status, "串口打开失败");
  ASSERT_EQ(host.lines.size(), 3u);
  EXPECT_EQ(host.lines[1], "串口打开失败: /dev/ttyUSB3");
  EXPECT_EQ(host.lines[2], serialOpenReason(channels.openError));
  EXPECT_NE(host.lines[2].find("dialout"), std::string::npos);
  EXPECT_EQ(panel.states.back(), std::make_pair(false, std::string("串口打开失败")));

  // No reason known: no extra line.
  host.lines.clear();
  channels.openError.clear();
  logic.onConnectButton();
  EXPECT_EQ(host.lines.size(), 2u);
}

TEST_F(ConnectLogicTest, UnpluggedPortTakesTheLostLinkPathAndOpensAgain) {
  openSerial();
  journal.clear();
  const std::error_code eio = std::make_error_code(std::errc::io_error);
  logic.onSerialLost(eio);
  // The reason is logged before the strip ends its transfer.
  EXPECT_EQ(journal, (Journal{"serial close", "log 串口意外断开: " + eio.message(), "link down 串口已断开"}));
  EXPECT_EQ(logic.linkState(), kSerialIdle);
  EXPECT_EQ(view.status, "串口已断开");
  EXPECT_EQ(view.controls, controlStatesFor(kSerialIdle, kTransportSerial));
  EXPECT_EQ(logic.lossText(), "串口意外断开: " + eio.message());
  EXPECT_TRUE(view.messages.empty());

  // A second notice, or one after the user closed the port, changes nothing.
  const std::string after = snapshot();
  logic.onSerialLost(eio);
  EXPECT_EQ(snapshot(), after);

  logic.onConnectButton();  // the adapter is back: the same path
  EXPECT_EQ(logic.linkState(), kSerialOpen);
  EXPECT_EQ(channels.openedPath, "/dev/ttyUSB0");
  EXPECT_TRUE(logic.lossText().empty());
  logic.onConnectButton();
  const std::string closed = snapshot();
  logic.onSerialLost(eio);
  EXPECT_EQ(snapshot(), closed);
  EXPECT_EQ(view.status, "已关闭串口");
}

TEST(SerialOpenReason, NamesTheCauseAndAHint) {
  const std::string busy = serialOpenReason(std::make_error_code(std::errc::device_or_resource_busy));
  EXPECT_NE(busy.find(std::make_error_code(std::errc::device_or_resource_busy).message()), std::string::npos);
  EXPECT_NE(busy.find("占用"), std::string::npos);
  const std::string missing = serialOpenReason(std::make_error_code(std::errc::no_such_file_or_directory));
  EXPECT_EQ(missing, "原因: " + std::make_error_code(std::errc::no_such_file_or_directory).message());
  EXPECT_EQ(serialOpenReason(lineSettingsError(kLineSpeed | kLineStopBits)), "原因: 串口参数未生效（波特率、停止位）");
  EXPECT_EQ(serialLostLine({}), "串口意外断开");
}

TEST_F(ConnectLogicTest, StatesZeroAndTwoBehaveAlike) {
  connectTcp();
  logic.onTcpClose(0);
  ASSERT_EQ(logic.linkState(), kTcpIdle);
  openSerial();
  EXPECT_EQ(logic.linkState(), kSerialOpen);
  EXPECT_EQ(channels.openedPath, "/dev/ttyUSB0");

  // From serial idle straight to TCP.
  logic.onConnectButton();
  ASSERT_EQ(logic.linkState(), kSerialIdle);
  connectTcp();
  EXPECT_EQ(logic.linkState(), kTcpConnected);
}

TEST_F(ConnectLogicTest, TransportCannotChangeUnderAnOpenLink) {
  openSerial();
  logic.onTransportChosen(kTransportTcp);
  EXPECT_EQ(logic.transport(), kTransportSerial);
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kSerialIdle);  // it closed the serial port, not a TCP attempt
  EXPECT_TRUE(channels.tcpHost.empty());
}

TEST_F(ConnectLogicTest, AddressCommandsNeedALink) {
  for (int pass = 0; pass < 2; ++pass) {  // state 0, then state 2
    const std::string before = snapshot();
    logic.onReadAddressButton();
    logic.onWriteAddressButton();
    EXPECT_EQ(snapshot(), before);
    connectTcp();
    logic.onConnectButton();
  }
  EXPECT_EQ(std::count(view.messages.begin(), view.messages.end(), "请先连接设备"), 4);
}

TEST_F(ConnectLogicTest, ReadAddressSendsTheQuery) {
  openSerial();
  logic.onReadAddressButton();
  EXPECT_EQ(channels.sent, (Bytes{0x55, 0xF5, 0x40, 0x00, 0x00, 0x00, 0x00, 0x8A}));
  EXPECT_EQ(host.lines.back(), "发送读取设备地址命令");
  channels.serialWriteOk = false;
  logic.onReadAddressButton();
  EXPECT_EQ(host.lines.back(), "发送读取设备地址命令失败");
}

TEST_F(ConnectLogicTest, WriteAddressRangeAndFrames) {
  connectTcp();
  const size_t logsBefore = host.lines.size();
  for (const char* bad : {"0", "256", "", "  ", "-5", "abc"}) {
    view.address = bad;
    logic.onWriteAddressButton();
  }
  EXPECT_EQ(view.messages, std::vector<std::string>(6, "请输入有效的设备地址 (1-255)"));
  EXPECT_TRUE(channels.sent.empty());
  EXPECT_EQ(host.lines.size(), logsBefore);

  view.address = " 1 ";
  logic.onWriteAddressButton();
  EXPECT_EQ(channels.sent, (Bytes{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x01, 0x8C}));
  EXPECT_EQ(host.lines.back(), "发送修改设备地址命令: 1");
  view.address = "245";
  logic.onWriteAddressButton();
  EXPECT_EQ(channels.sent, (Bytes{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0xF5, 0x80}));
  EXPECT_EQ(host.lines.back(), "发送修改设备地址命令: 245");
  view.address = "255";
  channels.tcpSendResult = 7;  // one byte short
  logic.onWriteAddressButton();
  EXPECT_EQ(host.lines.back(), "发送修改设备地址命令失败");
}

TEST_F(ConnectLogicTest, SendBytesFollowsTheOpenChannel) {
  const uint8_t data[3] = {1, 2, 3};
  EXPECT_FALSE(logic.sendBytes(data, 3));  // state 0
  connectTcp();
  EXPECT_TRUE(logic.sendBytes(data, 3));
  EXPECT_EQ(channels.sent, (Bytes{1, 2, 3}));
  EXPECT_FALSE(logic.sendBytes(data, -1));
  EXPECT_FALSE(logic.sendBytes(nullptr, 3));
  channels.tcpSendResult = 2;
  EXPECT_FALSE(logic.sendBytes(data, 3));
  channels.tcpSendResult = -1;
  EXPECT_FALSE(logic.sendBytes(data, 3));
  channels.tcpSendResult = -2;
  // The peer closed; its notification has not been handled yet.
  channels.tcp = false;
  ASSERT_EQ(logic.linkState(), kTcpConnected);
  channels.sent.clear();
  EXPECT_FALSE(logic.sendBytes(data, 3));
  EXPECT_TRUE(channels.sent.empty());
  logic.onTcpClose(0);
  EXPECT_FALSE(logic.sendBytes(data, 3));  // state 2

  openSerial();
  EXPECT_TRUE(logic.sendBytes(data, 3));
  channels.serialWriteOk = false;
  EXPECT_FALSE(logic.sendBytes(data, 3));
  channels.serialWriteOk = true;
  channels.serialOpen = false;
  EXPECT_FALSE(logic.sendBytes(data, 3));
}

TEST_F(ConnectLogicTest, AddressBoxValueIsLowEightBitsOfTheTrimmedNumber) {
  const std::pair<const char*, int> cases[] = {{"256", 0}, {"", 0}, {"01", 1}, {" 7 ", 7}, {"255", 255},
                                               {"257", 1}, {"12ab", 12}, {"-1", 255}, {"abc", 0}};
  for (const auto& [text, want] : cases) {
    view.address = text;
    EXPECT_EQ(logic.addressBoxValue(), want) << text;
  }
}

TEST_F(ConnectLogicTest, AddressReportIsWrittenBack) {
  logic.showAddressReport("005", "12:34:56 收到地址更新：005");
  EXPECT_EQ(view.addressShown, "005");
  EXPECT_EQ(view.addressMessage, "12:34:56 收到地址更新：005");
}

TEST_F(ConnectLogicTest, ReceivedBlockIsLoggedBeforeItsBytesGoOn) {
  const uint8_t block[] = {0x22, 0x05, 0x40, 0xAB};
  logic.onTcpReceive(block, 4);
  EXPECT_EQ(journal, (Journal{"log 接收到报文: 22 05 40 AB ", "byte 22", "byte 05", "byte 40", "byte AB"}));

  journal.clear();
  logic.onTcpReceive(block, 0);
  logic.onTcpReceive(nullptr, 4);
  logic.onTcpReceive(block, -3);
  EXPECT_TRUE(journal.empty());

  // Serial bytes are handed on without a log line.
  logic.onSerialByte(0x7E);
  EXPECT_EQ(journal, (Journal{"byte 7E"}));
}

TEST(ConnectLogicWithoutPeers, NullPanelAndHostAreSkipped) {
  FakeView view;
  Journal journal;
  FakeChannels channels(journal);
  ConnectLogic logic(view, channels.serialLink, channels.tcpLink);
  logic.start();
  const uint8_t block[] = {1, 2};
  logic.onTcpReceive(block, 2);
  logic.onSerialByte(3);
  view.serialPort = "/dev/ttyUSB0";
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kSerialOpen);
  logic.onConnectButton();
  EXPECT_EQ(view.status, "已关闭串口");
}

TEST_F(ConnectLogicTest, ShutdownDisconnectsTcpBeforeClosingSerial) {
  logic.shutdown();
  EXPECT_EQ(journal, (Journal{"tcp disconnect", "serial close"}));
}

// ---- a host name: the connect waits for its lookup, the window does not ----

TEST_F(ConnectLogicTest, NamedHostWaitsForItsLookupWithEverythingLocked) {
  view.ip = "device.local";
  channels.tcpLooksUp = true;
  connectTcp();
  EXPECT_TRUE(logic.connecting());
  EXPECT_EQ(view.status, "正在连接: device.local:6000...");
  EXPECT_EQ(view.controls, controlStatesFor(kSerialIdle, kTransportTcp, true));
  const std::string during = snapshot();
  logic.onConnectButton();
  logic.onTransportChosen(kTransportSerial);
  logic.onTcpClose(0);
  EXPECT_EQ(snapshot(), during);
  EXPECT_TRUE(logic.connecting());

  journal.clear();
  channels.tcp = true;
  logic.onTcpConnectEvent(0, 0);
  EXPECT_EQ(logic.linkState(), kTcpConnected);
  EXPECT_EQ(journal,
            (Journal{"log TCP连接成功: TCP已连接：device.local:6000", "link up TCP已连接：device.local:6000"}));

  // A lookup that fails ends as any failed connect, with its reason.
  logic.onConnectButton();
  connectTcp();
  journal.clear();
  logic.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::LookupTimedOut));
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(view.status, "TCP连接失败");
  EXPECT_EQ(journal,
            (Journal{"log TCP连接失败: device.local", "log 原因: 主机名解析超时", "link down TCP连接失败"}));
  EXPECT_EQ(view.controls, controlStatesFor(kTcpIdle, kTransportTcp));

  // The name resolved and the connect then failed: the system's reason, not a lookup's.
  channels.connectError = std::make_error_code(std::errc::timed_out);
  connectTcp();
  journal.clear();
  logic.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::ConnectFailed));
  EXPECT_EQ(journal, (Journal{"log TCP连接失败: device.local", "log " + tcpConnectErrorReason(channels.connectError),
                              "link down TCP连接失败"}));
  EXPECT_EQ(logic.tcpFailureReason(), tcpConnectErrorReason(channels.connectError));
}

TEST(TcpConnectErrorReason, NamesTheCauseAndAHint) {
  const auto reason = [](std::errc e) { return tcpConnectErrorReason(std::make_error_code(e)); };
  const std::string refused = reason(std::errc::connection_refused);
  EXPECT_EQ(refused.rfind("原因: " + std::make_error_code(std::errc::connection_refused).message(), 0), 0u) << refused;
  EXPECT_NE(refused.find("端口号"), std::string::npos);
  EXPECT_NE(reason(std::errc::timed_out).find("IP 地址"), std::string::npos);
  EXPECT_NE(reason(std::errc::network_unreachable).find("网络不可达"), std::string::npos);
  EXPECT_EQ(reason(std::errc::io_error), "原因: " + std::make_error_code(std::errc::io_error).message());
}

TEST_F(ConnectLogicTest, ScannedAddressFillsTheIpBoxAndChoosesTcpUnlessALinkIsOpen) {
  logic.onScannedAddress("192.168.1.23");
  EXPECT_EQ(view.ip, "192.168.1.23");
  EXPECT_EQ(logic.transport(), kTransportTcp);
  EXPECT_EQ(view.transportShown, kTransportTcp);
  EXPECT_EQ(view.controls, controlStatesFor(kSerialIdle, kTransportTcp));
  EXPECT_EQ(host.lines.back(), "已填入扫描到的地址: 192.168.1.23");

  openSerial();
  const std::string before = snapshot();
  logic.onScannedAddress("192.168.1.77");
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(view.ip, "192.168.1.23");
  EXPECT_EQ(view.messages, std::vector<std::string>{"请先断开连接"});
}
