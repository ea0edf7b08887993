// The connection page apart from any window: what the page's inputs mean,
// what each button does, which controls are enabled and which texts it
// leaves in the status line and message boxes. The link itself (which
// channel is open, the send path, the channels' notifications) is the
// LinkController it drives. The window (DialogConnect) supplies a view and
// the two channels; tests supply fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/line_settings.h"
#include "base/log_sink.h"
#include "base/tr_text.h"
#include "link/channel.h"
#include "link/link_controller.h"
#include "protocol/frame_trace.h"
#include "protocol/link_interfaces.h"

namespace velmora {

// Control ids of the connection page.
namespace connect_id {
inline constexpr int kRadioTcp = 2001;
inline constexpr int kRadioSerial = 2002;
inline constexpr int kIpEdit = 2003;
inline constexpr int kPortEdit = 2004;
inline constexpr int kSerialPortCombo = 2005;
inline constexpr int kBaudCombo = 2006;
inline constexpr int kDataBitsCombo = 2007;
inline constexpr int kStopBitsCombo = 2008;
inline constexpr int kParityCombo = 2009;
inline constexpr int kRefreshButton = 2010;
inline constexpr int kConnectButton = 2011;
inline constexpr int kStatusText = 1011;
inline constexpr int kAddressEdit = 2012;
inline constexpr int kReadAddressButton = 2013;
inline constexpr int kWriteAddressButton = 2014;
inline constexpr int kAddressMessageEdit = 2015;
}  // namespace connect_id

// What the page shows before the user touches it.
inline constexpr const char* kDefaultTcpHost = "192.168.1.110";
inline constexpr const char* kDefaultTcpPort = "6000";
inline constexpr const char* kDefaultAddressText = "01";
inline constexpr const char* kInitialStatusText = VELMORA_TR_NOOP("ConnectLogic", "串口未打开");
inline constexpr const char* kBaudEntries[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
inline constexpr int kDefaultBaudIndex = 3;
inline constexpr const char* kDataBitsEntries[] = {"5", "6", "7", "8"};
inline constexpr int kDefaultDataBitsIndex = 3;
// In the channel's order, so a list position is the channel's code; the
// parity texts are shown through trText("LineSettings", …).
inline constexpr const auto& kStopBitsEntries = kStopBitsNames;
inline constexpr const auto& kParityEntries = kParityShortTexts;

// transport values, set by the two radio buttons.
inline constexpr int32_t kTransportSerial = 0;
inline constexpr int32_t kTransportTcp = 1;

// The settings chosen on the page: the selected entries' texts (nullopt when
// nothing is selected) and the selected indices (-1 when none), each falling
// back to its default when out of range.
SerialSettings chooseSerialSettings(const std::optional<std::string>& baudEntry,
                                    const std::optional<std::string>& dataBitsEntry, int stopBitsIndex,
                                    int parityIndex);

// Why the page refuses to open this serial port, or empty when it may be
// opened ("请选择串口" for none, "无效串口" for no device path).
std::string serialPortRefusal(const std::string& path);
// Why the page refuses to connect to ip and the port text, or empty.
std::string tcpTargetRefusal(const std::string& ip, const std::string& portText);
// Why the page refuses a new bus address, or empty (1..255).
std::string addressRefusal(int32_t address);

// True when text names something under /dev/ (a serial device or a pty);
// a ".." component would leave /dev/ and is refused.
bool isSerialDevicePath(std::string_view text);
// A Windows COM port name: "COM1" to "COM255" or the same after "\\.\"
// (the form COM10 and up need), letters in any case, no leading zero.
bool isComPortName(std::string_view text);
// The port names this build's serial channel opens: COM names on Windows,
// device paths under /dev/ elsewhere.
bool isSerialPortName(std::string_view text);

// The order the port list shows: USB adapters first (what users plug in),
// then on-board UARTs, then the stable by-id links; numbers in numeric order
// within each family. Duplicates are dropped.
std::vector<std::string> orderPortCandidates(std::vector<std::string> paths);

// Which controls are enabled for a linkState and transport; while a host
// name is being looked up (connecting) nothing is, so the attempt cannot be
// started twice or its inputs changed under it.
struct ControlStates {
  bool transportRadios = false;  // 2001, 2002
  bool serialControls = false;   // 2005..2010
  bool tcpControls = false;      // 2003, 2004
  bool addressControls = false;  // 2012..2015
  std::string_view connectCaption = trText("ConnectLogic", "连接");
  bool connectButton = true;     // 2011
  bool operator==(const ControlStates&) const = default;
};
ControlStates controlStatesFor(int32_t linkState, int32_t transport, bool connecting = false);


// The page's controls as the logic reads and writes them.
class ConnectView {
 public:
  virtual ~ConnectView() = default;
  virtual std::string ipText() const = 0;
  virtual std::string tcpPortText() const = 0;
  // The serial port box's text; empty when nothing is chosen or typed.
  virtual std::string serialPortText() const = 0;
  // The selected entries of the baud and data-bit lists, nullopt when none.
  virtual std::optional<std::string> baudEntry() const = 0;
  virtual std::optional<std::string> dataBitsEntry() const = 0;
  // The selected indices of the stop-bit and parity lists, -1 when none.
  virtual int stopBitsIndex() const = 0;
  virtual int parityIndex() const = 0;
  virtual std::string addressText() const = 0;

  virtual void setStatusText(const std::string& text) = 0;
  virtual void setAddressText(const std::string& text) = 0;
  virtual void setAddressMessage(const std::string& text) = 0;
  // Fills the port list and selects its first entry (if any).
  virtual void setPortList(const std::vector<std::string>& ports) = 0;
  virtual void setIpText(const std::string& text) = 0;
  // Checks the radio button of transport (when the logic changes it, not a click).
  virtual void showTransport(int32_t transport) = 0;
  virtual void applyControlStates(const ControlStates& states) = 0;
  // A modal box with an OK button.
  virtual void showMessage(const std::string& text) = 0;
};


// The page's logic over its link controller; the transfer panel sends
// through it.
class ConnectLogic final : public LinkEventSink, public DeviceLink, private LinkListener {
 public:
  // The page's two channels; log lines go to log (none when null).
  ConnectLogic(ConnectView& view, SerialLink& serial, TcpLink& tcp, LogSink* log = nullptr);

  void setPanel(LinkReceiver* panel) { link_.setReceiver(panel); }
  // Hears every frame that went out (null: nobody listens).
  void setFrameObserver(FrameObserver* observer) { link_.setFrameObserver(observer); }
  LinkController& link() { return link_; }

  // Page start: the status line, the port list, the control states.
  void start();

  void onConnectButton();
  void onRefreshButton();
  void onTransportChosen(int32_t transport);
  // The address commands; true when the frame went out.
  bool onReadAddressButton();
  bool onWriteAddressButton();
  // An address picked in the device scan: into the IP box, TCP chosen.
  // Refused while a link is open or being made.
  void onScannedAddress(const std::string& address);

  // The channels' notifications, on the UI thread, for the link.
  void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) override { link_.onTcpConnectEvent(failedFlag, errorCode); }
  void onTcpReceive(const uint8_t* block, int32_t count) override { link_.onTcpReceive(block, count); }
  void onTcpClose(int32_t errorCode) override { link_.onTcpClose(errorCode); }
  void onSerialByte(uint8_t byte) override { link_.onSerialByte(byte); }
  void onArrival(uint64_t steadyUs) override { link_.onArrival(steadyUs); }
  void onSerialLost(std::error_code reason) override { link_.onSerialLost(reason); }

  // DeviceLink: the only send path of the program.
  bool sendBytes(const uint8_t* data, int32_t length) override { return link_.send(data, length); }
  uint8_t addressBoxValue() const override;
  void showAddressReport(const std::string& addressText, const std::string& messageText) override;

  // Page teardown: TCP disconnected, then the serial port closed.
  void shutdown() { link_.shutdown(); }

  int32_t linkState() const { return link_.linkState(); }
  bool linkUp() const { return link_.up(); }
  int32_t transport() const { return transport_; }
  // A host name is being looked up; the connect notification ends it.
  bool connecting() const { return link_.connecting(); }
  const std::string& tcpFailureReason() const { return link_.tcpFailureReason(); }
  const std::string& serialFailureReason() const { return link_.serialFailureReason(); }
  const std::string& lossText() const { return link_.lossText(); }

 private:
  void connectTcp();
  void openSerial();
  void refreshPortList();
  void log(const std::string& text);
  // LinkListener
  void linkStatusText(const std::string& text) override { view_.setStatusText(text); }
  void linkStateChanged() override;

  ConnectView& view_;
  SerialLink& serial_;
  LogSink* log_ = nullptr;
  LinkController link_;
  int32_t transport_ = kTransportSerial;
};

}  // namespace velmora
