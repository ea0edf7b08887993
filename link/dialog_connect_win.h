// The connection page of velmora.exe: the controls of its table over
// ConnectLogic, with the Win32 COM and TCP channels, whose notifications
// come through the program's message window.
#pragma once

#include "link/client_socket_win.h"
#include "link/connect_logic.h"
#include "link/live_port_list_win.h"
#include "link/message_window_win.h"
#include "link/serial_channel_win.h"
#include "ui/ui_kit_win.h"

namespace velmora {

class DialogConnectWin final : public winui::TablePage, private ConnectView {
 public:
  DialogConnectWin(HWND parent, int windowId, HFONT font, MessageWindow& mailbox, LogSink* log);
  ~DialogConnectWin() override;

  void setPanel(LinkReceiver* panel) { logic_.setPanel(panel); }
  void setFrameObserver(FrameObserver* observer) { logic_.setFrameObserver(observer); }
  DeviceLink& deviceLink() { return logic_; }
  // An address picked in the device scan: into the IP box, TCP selected.
  void useScannedAddress(const std::string& address) { logic_.onScannedAddress(address); }
  // The port list searched again, as the 刷新 button does. Between two,
  // the box follows COM ports coming and going by itself.
  void refreshPorts() { logic_.onRefreshButton(); }

 private:
  void onCommand(int id, int code) override;

  // ConnectView
  std::string ipText() const override;
  std::string tcpPortText() const override;
  std::string serialPortText() const override;
  std::optional<std::string> baudEntry() const override;
  std::optional<std::string> dataBitsEntry() const override;
  int stopBitsIndex() const override;
  int parityIndex() const override;
  std::string addressText() const override;
  void setStatusText(const std::string& text) override;
  void setAddressText(const std::string& text) override;
  void setAddressMessage(const std::string& text) override;
  void setPortList(const std::vector<std::string>& ports) override;
  void setIpText(const std::string& text) override;
  void showTransport(int32_t transport) override;
  void applyControlStates(const ControlStates& states) override;
  void showMessage(const std::string& text) override;

  std::optional<std::string> selectedEntry(int comboId) const;

  WinSerialChannel serial_;
  WinTcpChannel tcp_;
  std::unique_ptr<WinLivePortList> livePorts_;  // before logic_: its start fills the box
  ConnectLogic logic_;
};

}  // namespace velmora
