#include <gtest/gtest.h>

#include <optional>

#include "link/connect_logic.h"
#include "tests/link/link_fakes.h"
#include "tests/support/port_names.h"

using namespace velmora;
using namespace velmora::testing;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

namespace {

struct FakeView : ConnectView {
  std::string ip = "127.0.0.1", port = "6000", serialPort, address = "01", status;
  std::optional<std::string> baud = "9600", dataBits = "8";
  int stopIndex = 0, parity = 0;
  int32_t transportShown = -1;
  Strings messages, portList;
  ControlStates controls;

  std::string ipText() const override { return ip; }
  std::string tcpPortText() const override { return port; }
  std::string serialPortText() const override { return serialPort; }
  std::optional<std::string> baudEntry() const override { return baud; }
  std::optional<std::string> dataBitsEntry() const override { return dataBits; }
  int stopBitsIndex() const override { return stopIndex; }
  int parityIndex() const override { return parity; }
  std::string addressText() const override { return address; }
  void setStatusText(const std::string& t) override { status = t; }
  void setAddressText(const std::string&) override {}
  void setAddressMessage(const std::string&) override {}
  void setPortList(const Strings& p) override { portList = p; }
  void setIpText(const std::string& t) override { ip = t; }
  void showTransport(int32_t t) override { transportShown = t; }
  void applyControlStates(const ControlStates& s) override { controls = s; }
  void showMessage(const std::string& t) override { messages.push_back(t); }
};

// One fake for either channel; opens and closes land in the journal, to check
// their order against log and panel.
struct FakeLink : SerialLink, TcpLink {
  FakeLink(Journal& j, const char* closeEntry) : journal(j), closeEntry(closeEntry) {}
  void close() override { journal.push_back(closeEntry), up = false; }
  bool isOpen() const override { return up; }
  bool send(const uint8_t* d, int32_t n) override { return sent.assign(d, d + n), sendOk; }
  bool open(const std::string& path, const SerialSettings& s, std::error_code& e) override {
    journal.push_back("serial open " + path);
    openedPath = path, openedWith = s, up = opens;
    if (!opens) e = error;
    return opens;
  }
  TcpConnectStart open(const std::string& host, int32_t p) override {
    journal.push_back(strprintf("tcp connect %s:%d", host.c_str(), p));
    port = p, up = opens && !pending;
    return pending ? TcpConnectStart::Pending : opens ? TcpConnectStart::Connected : TcpConnectStart::Failed;
  }
  std::error_code lostReason() const override { return {}; }
  std::error_code connectError() const override { return error; }
  Strings listPorts() override { return {kTestPort}; }
  Strings openFailureNotes(const std::string& path, const std::error_code&) override {
    notesAsked.push_back(path);
    return notes;
  }
  Journal& journal;
  Strings notes, notesAsked;  // the port doctor's lines of a failed open, and for which paths they were asked
  const char* closeEntry;
  bool up = false, sendOk = true, opens = true, pending = false;  // pending: a host name's lookup runs
  std::error_code error;  // of the next open
  Bytes sent;
  std::string openedPath;
  SerialSettings openedWith;
  int32_t port = 0;
};

class ConnectLogicTest : public ::testing::Test {
 protected:
  ConnectLogicTest() {
    logic.setPanel(&panel);
    logic.start();
    journal.clear();
  }
  void connectTcp() {
    logic.onTransportChosen(kTransportTcp);
    logic.onConnectButton();
  }
  void openSerial(const std::string& path = kTestPort) {
    view.serialPort = path;
    logic.onTransportChosen(kTransportSerial);
    logic.onConnectButton();
  }
  // Everything visible at once, to show a refused command changed nothing.
  std::string snapshot() const {
    return strprintf("%d/%d/%s/%zu/%zu/%zu", logic.linkState(), logic.transport(), view.status.c_str(),
                     journal.size(), serial.sent.size(), tcp.sent.size());
  }

  Journal journal;
  FakeView view;
  FakeLink serial{journal, "serial close"};
  FakeLink tcp{journal, "tcp disconnect"};
  FakePanel panel{journal};
  FakeLog log{journal};
  ConnectLogic logic{view, serial, tcp, &log};
};

}  // namespace

TEST(ConnectInputs, SerialSettingsPortPathsAndPortOrder) {
  const struct {
    std::optional<std::string> baud, bits;
    int stop, parity;
    SerialSettings want;
  } cases[] = {
      {"115200", "7", 2, 2, {115200, 7, 2, 2}},
      {"9600", "8", 1, 4, {9600, 8, 1, 4}},  // "1.5" is index 1 and travels as 1; "空格" is index 4
      {" 4800 baud", "5bits", 0, 3, {4800, 5, 0, 3}},
      {std::nullopt, std::nullopt, -1, -1, {9600, 8, 0, 0}},  // nothing selected
      {"0", "4", 3, 5, {9600, 8, 0, 0}},
      {"-300", "9", 7, -2, {9600, 8, 0, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chooseSerialSettings(c.baud, c.bits, c.stop, c.parity), c.want) << c.baud.value_or("-");

  for (const char* good : {"/dev/ttyUSB0", "/dev/pts/3", "/dev/serial/by-id/usb-FTDI_A1-if00-port0", "/dev/tty..odd"})
    EXPECT_TRUE(isSerialDevicePath(good)) << good;
  for (const char* bad : {"", "COM3", "/dev/", "/dev", "/devttyS0", "dev/ttyS0", "/tmp/ttyS0", "/dev/../etc/passwd",
                          "/dev/pts/../../etc/shadow", "/dev/pts/", "/dev/..", " /dev/ttyS0"})
    EXPECT_FALSE(isSerialDevicePath(bad)) << bad;
  EXPECT_FALSE(isSerialDevicePath(std::string("/dev/ttyS0\0x", 12)));

  // Families, then numbers; no duplicates.
  EXPECT_EQ(orderPortCandidates({"/dev/ttyS10", "/dev/serial/by-id/usb-b", "/dev/ttyS2", "/dev/ttyACM0",
                                 "/dev/ttyUSB10", "/dev/ttyUSB9", "/dev/ttyAMA0", "/dev/serial/by-id/usb-a",
                                 "/dev/ttyS2", "/dev/ttyUSB1"}),
            (Strings{"/dev/ttyUSB1", "/dev/ttyUSB9", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyS2",
                     "/dev/ttyS10", "/dev/serial/by-id/usb-a", "/dev/serial/by-id/usb-b"}));
  // A lookup in progress locks everything, the connect button included.
  EXPECT_EQ(controlStatesFor(kTcpIdle, kTransportTcp, true), (ControlStates{false, false, false, false, "连接", false}));
  EXPECT_EQ(controlStatesFor(kTcpConnected, kTransportTcp), controlStatesFor(kSerialOpen, kTransportSerial));
}

TEST(ConnectInputs, FailureReasonsNameTheCauseAndAHint) {
  const auto msg = [](std::errc e) { return std::make_error_code(e).message(); };
  const auto serial = [](std::errc e) { return serialOpenReason(std::make_error_code(e)); };
  const auto tcp = [](std::errc e) { return tcpConnectErrorReason(std::make_error_code(e)); };
  EXPECT_NE(serial(std::errc::permission_denied).find("dialout"), std::string::npos);
  EXPECT_EQ(serial(std::errc::device_or_resource_busy), "原因: " + msg(std::errc::device_or_resource_busy) + "（串口已被其他程序占用）");
  EXPECT_EQ(serialOpenReason(lineSettingsError(kLineSpeed | kLineStopBits)), "原因: 串口参数未生效（波特率、停止位）");
  EXPECT_EQ(serialLostLine({}), "串口意外断开");  // no reason known
  EXPECT_EQ(tcp(std::errc::connection_refused), "原因: " + msg(std::errc::connection_refused) + "（该端口没有服务在监听，请检查端口号）");
  EXPECT_NE(tcp(std::errc::timed_out).find("IP 地址"), std::string::npos);
  EXPECT_NE(tcp(std::errc::network_unreachable).find("网络不可达"), std::string::npos);
  EXPECT_EQ(tcp(std::errc::io_error), "原因: " + msg(std::errc::io_error));
}

TEST_F(ConnectLogicTest, RefusedInputsChangeNothing) {
  EXPECT_EQ(view.status, "串口未打开");
  EXPECT_EQ(view.portList, Strings{kTestPort});
  std::string before = snapshot();
  for (const std::string& bad : {std::string(), kForeignPort}) openSerial(bad);
  EXPECT_EQ(snapshot(), before);
  logic.onTransportChosen(kTransportTcp);
  before = snapshot();
  view.ip = "  \t";
  logic.onConnectButton();
  view.ip = "127.0.0.1";
  for (const char* bad : {"0", "65536", "abc"}) {
    view.port = bad;
    logic.onConnectButton();
  }
  logic.onReadAddressButton();
  logic.onTcpConnectEvent(1, 10054);  // no link: a notice changes nothing
  EXPECT_EQ(snapshot(), before);
  const std::string port = "端口号无效 (1-65535)";
  EXPECT_EQ(view.messages, (Strings{"请选择串口", "无效串口", "请输入 IP 地址", port, port, port, "请先连接设备"}));
  view.port = "65535";
  logic.onConnectButton();
  EXPECT_EQ(tcp.port, 65535);
}

TEST_F(ConnectLogicTest, TcpConnectLossAndFailure) {
  view.ip = " 127.0.0.1 ";
  view.port = " 6000x";
  connectTcp();
  EXPECT_EQ(journal, (Journal{"log 正在连接: 127.0.0.1:6000...", "tcp connect 127.0.0.1:6000",
                              "log TCP连接成功: TCP已连接：127.0.0.1:6000", "link up TCP已连接：127.0.0.1:6000"}));
  logic.onTcpConnectEvent(0, 0);  // the "connection up" notice of the connect itself
  journal.clear();
  logic.onTcpClose(0);
  EXPECT_EQ(journal, (Journal{"link down TCP连接已断开", "log TCP连接已断开"}));
  EXPECT_EQ(view.controls, controlStatesFor(kTcpIdle, kTransportTcp));

  connectTcp();  // an error notice on the live link
  journal.clear();
  logic.onTcpConnectEvent(1, 10060);
  EXPECT_EQ(view.status, "TCP连接断开");
  EXPECT_EQ(journal, (Journal{"link down TCP连接断开", "log TCP连接意外断开"}));
  EXPECT_EQ(logic.lossText(), "TCP连接意外断开");

  journal.clear();
  tcp.opens = false;
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kTcpIdle);
  EXPECT_EQ(journal, (Journal{"log 正在连接: 127.0.0.1:6000...", "tcp connect 127.0.0.1:6000",
                              "log TCP连接失败: 127.0.0.1", "link down TCP连接失败"}));
}

TEST_F(ConnectLogicTest, SerialOpenCloseAndFailure) {
  view.baud = "115200";
  view.dataBits = "7";
  view.stopIndex = view.parity = 2;
  openSerial(" " + kTestPort + " ");
  EXPECT_EQ(serial.openedWith, (SerialSettings{115200, 7, 2, 2}));
  EXPECT_EQ(journal, (Journal{"log 正在打开串口: " + kTestPort + " (115200,7,2,2)...", "serial open " + kTestPort,
                              "log 串口打开成功: " + kTestPort, "link up 串口已打开：" + kTestPort + " (115200,7,2,2)"}));
  // A late radio click must not switch the channel under the link.
  logic.onTransportChosen(kTransportTcp);
  journal.clear();
  logic.onConnectButton();
  EXPECT_EQ(logic.linkState(), kSerialIdle);
  EXPECT_EQ(journal, (Journal{"serial close", "log 已关闭串口", "link down 已关闭串口"}));

  journal.clear();
  serial.opens = false;
  serial.error = std::make_error_code(std::errc::permission_denied);
  openSerial(kOtherTestPort);
  EXPECT_EQ(view.status, "串口打开失败");
  EXPECT_EQ(journal, (Journal{"log 正在打开串口: " + kOtherTestPort + " (115200,7,2,2)...", "serial open " + kOtherTestPort,
                              "log 串口打开失败: " + kOtherTestPort, "log " + serialOpenReason(serial.error),
                              "link down 串口打开失败"}));
}

TEST_F(ConnectLogicTest, TheDoctorsLinesFollowTheReasonOfAFailedOpen) {
  serial.opens = false;
  serial.error = std::make_error_code(std::errc::device_or_resource_busy);
  serial.notes = {"诊断: a", "诊断: b"};
  openSerial(kOtherTestPort);
  EXPECT_EQ(journal, (Journal{"log 正在打开串口: " + kOtherTestPort + " (9600,8,0,0)...", "serial open " + kOtherTestPort,
                              "log 串口打开失败: " + kOtherTestPort, "log " + serialOpenReason(serial.error),
                              "log 诊断: a", "log 诊断: b", "link down 串口打开失败"}));
  EXPECT_EQ(serial.notesAsked, Strings{kOtherTestPort});
  // A session without a log (a quiet velmora-cli) does not look into the system.
  ConnectLogic quiet{view, serial, tcp, nullptr};
  quiet.onConnectButton();
  EXPECT_EQ(serial.notesAsked.size(), 1u);
}

TEST_F(ConnectLogicTest, UnpluggedPortTakesTheLostLinkPathAndOpensAgain) {
  openSerial();
  journal.clear();
  const std::error_code eio = std::make_error_code(std::errc::io_error);
  logic.onSerialLost(eio);
  // Closed as by the user (the lock goes), the reason logged before the strip ends its transfer.
  EXPECT_EQ(journal, (Journal{"serial close", "log 串口意外断开: " + eio.message(), "link down 串口已断开"}));
  EXPECT_EQ(logic.lossText(), "串口意外断开: " + eio.message());
  const std::string after = snapshot();
  logic.onSerialLost(eio);  // a second notice
  EXPECT_EQ(snapshot(), after);

  logic.onConnectButton();  // the adapter is back: the same path
  EXPECT_EQ(serial.openedPath, kTestPort);
  EXPECT_TRUE(logic.lossText().empty());
  logic.onConnectButton();
  const std::string closed = snapshot();
  logic.onSerialLost(eio);  // after the user closed the port
  EXPECT_EQ(snapshot(), closed);
  connectTcp();  // from serial idle straight to TCP
  EXPECT_EQ(logic.linkState(), kTcpConnected);
}

TEST_F(ConnectLogicTest, AddressCommandsAndSends) {
  connectTcp();
  tcp.sendOk = false;
  EXPECT_FALSE(logic.onReadAddressButton());
  EXPECT_EQ(log.lines.back(), "发送读取设备地址命令失败");
  tcp.sendOk = true;
  tcp.sent.clear();
  for (const char* bad : {"0", "256", "-5"}) {
    view.address = bad;
    logic.onWriteAddressButton();
  }
  EXPECT_EQ(view.messages, Strings(3, "请输入有效的设备地址 (1-255)"));
  EXPECT_TRUE(tcp.sent.empty());
  view.address = " 1 ";
  logic.onWriteAddressButton();
  EXPECT_EQ(tcp.sent, (Bytes{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x01, 0x8C}));
  EXPECT_EQ(log.lines.back(), "发送修改设备地址命令: 1");
  tcp.sendOk = false;
  logic.onWriteAddressButton();
  EXPECT_EQ(log.lines.back(), "发送修改设备地址命令失败");

  // What the transfer panel reads as the bus address: the low eight bits.
  const std::pair<const char*, int> values[] = {{"256", 0}, {"", 0}, {" 7 ", 7}, {"257", 1}, {"12ab", 12}, {"-1", 255}};
  for (const auto& [text, want] : values) {
    view.address = text;
    EXPECT_EQ(logic.addressBoxValue(), want) << text;
  }

  const uint8_t data[3] = {1, 2, 3};
  EXPECT_FALSE(logic.sendBytes(data, 3)) << "the send failed";
  // The peer closed; its notice has not been handled yet: nothing goes out.
  tcp.sendOk = true, tcp.up = false;
  tcp.sent.clear();
  EXPECT_FALSE(logic.sendBytes(data, 3));
  EXPECT_TRUE(tcp.sent.empty());
}

TEST_F(ConnectLogicTest, ReceivedBlockIsLoggedBeforeItsBytesGoOn) {
  const uint8_t block[] = {0x22, 0x05, 0x40, 0xAB};
  logic.onTcpReceive(block, 4);
  logic.onTcpReceive(block, 0);
  logic.onTcpReceive(nullptr, 4);
  logic.onTcpReceive(block, -3);
  logic.onSerialByte(0x7E);  // serial bytes go on without a log line
  EXPECT_EQ(journal, (Journal{"log 接收到报文: 22 05 40 AB ", "byte 22", "byte 05", "byte 40", "byte AB", "byte 7E"}));
  journal.clear();
  logic.shutdown();
  EXPECT_EQ(journal, (Journal{"tcp disconnect", "serial close"}));
}

TEST_F(ConnectLogicTest, NamedHostWaitsForItsLookupWithEverythingLocked) {
  view.ip = "device.local";
  tcp.pending = true;
  connectTcp();
  EXPECT_EQ(view.controls, controlStatesFor(kSerialIdle, kTransportTcp, true));
  // Late clicks and an old close notice change nothing while it waits.
  const std::string during = snapshot();
  logic.onConnectButton();
  logic.onTransportChosen(kTransportSerial);
  logic.onTcpClose(0);
  logic.onScannedAddress("10.0.0.9");
  EXPECT_EQ(view.messages, Strings{"请先断开连接"});
  EXPECT_EQ(snapshot(), during);

  tcp.up = true;
  logic.onTcpConnectEvent(0, 0);
  EXPECT_EQ(panel.states.back(), std::make_pair(true, std::string("TCP已连接：device.local:6000")));

  // The name resolved and the connect then failed: the system's reason, not a lookup's.
  logic.onConnectButton();
  connectTcp();
  tcp.error = std::make_error_code(std::errc::timed_out);
  journal.clear();
  logic.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::ConnectFailed));
  EXPECT_EQ(journal, (Journal{"log TCP连接失败: device.local", "log " + tcpConnectErrorReason(tcp.error),
                              "link down TCP连接失败"}));
  EXPECT_FALSE(logic.connecting());

  // A lookup that failed says so, whatever the channel's last connect error.
  connectTcp();
  logic.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::LookupTimedOut));
  EXPECT_EQ(log.lines.back(), "原因: 主机名解析超时");
}

TEST_F(ConnectLogicTest, ScannedAddressIsRefusedWhileALinkIsOpen) {
  logic.onScannedAddress("192.168.1.23");
  EXPECT_EQ(view.transportShown, kTransportTcp);
  EXPECT_EQ(log.lines.back(), "已填入扫描到的地址: 192.168.1.23");
  openSerial();
  logic.onScannedAddress("192.168.1.77");
  EXPECT_EQ(view.ip, "192.168.1.23");
  EXPECT_EQ(view.messages, Strings{"请先断开连接"});
}

TEST(ConnectLogic, ComPortNamesAndWhichNamesThisBuildsChannelOpens) {
  for (const char* good : {"COM1", "COM3", "com12", "Com255", "\\\\.\\COM10", "\\\\.\\com2"})
    EXPECT_TRUE(isComPortName(good)) << good;
  for (const char* bad : {"", "COM", "COM0", "COM03", "COM256", "COM1000", "COM3 ", " COM3", "COM3:", "LPT1",
                          "\\\\.\\", "\\\\?\\COM3", "\\\\.\\COM", "/dev/ttyS0", "CON3", "COMX"})
    EXPECT_FALSE(isComPortName(bad)) << bad;
  EXPECT_FALSE(isComPortName(std::string("COM3\0", 5)));

#ifdef _WIN32
  EXPECT_EQ(serialPortRefusal("COM3"), "");
  EXPECT_EQ(serialPortRefusal("\\\\.\\COM12"), "");
  EXPECT_EQ(serialPortRefusal("/dev/ttyUSB0"), "无效串口");
#else
  EXPECT_EQ(serialPortRefusal("/dev/ttyUSB0"), "");
  EXPECT_EQ(serialPortRefusal("COM3"), "无效串口");
#endif
  EXPECT_EQ(serialPortRefusal(""), "请选择串口");
}
