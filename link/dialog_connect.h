// The connection page: serial or TCP, the line and network settings,
// connect and disconnect, the device's bus address. It owns both channels
// and is the program's only way of sending to the device.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/connect_logic.h"
#include "link/link_channels_qt.h"
#include "link/live_port_list_qt.h"
#include "protocol/link_interfaces.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora {


class DialogConnect : public QWidget, private velmora::ConnectView {
  Q_OBJECT

 public:
  // Log lines go to log (none when null).
  explicit DialogConnect(QWidget* parent = nullptr, LogSink* log = nullptr);
  ~DialogConnect() override;

  // Both may be null; the steps that need them are then skipped.
  void setPanel(LinkReceiver* panel) { logic_.setPanel(panel); }

  // What the transfer panel sends through.
  DeviceLink& deviceLink() { return logic_; }
  // Hears every frame the page sends (null: none).
  void setFrameObserver(FrameObserver* observer) { logic_.setFrameObserver(observer); }

  int32_t linkState() const { return logic_.linkState(); }
  int32_t transport() const { return logic_.transport(); }

  // Replaces the search for serial devices (the next refresh uses it);
  // an empty function restores the real one.
  void setPortLister(std::function<std::vector<std::string>()> lister) { livePorts_->setLister(std::move(lister)); }
  // Watches and lists these folders instead of VELMORA_SERIAL_DIRS or /dev
  // and /dev/serial/by-id.
  void watchPortFolders(std::vector<std::string> folders) { livePorts_->watch(std::move(folders)); }
  // Replaces the host name resolver (tests); empty restores the system's.
  void setHostResolver(HostLookup::Resolver resolver) { channels_.setHostResolver(std::move(resolver)); }

  // An address picked in the device scan: into the IP box, TCP selected.
  void useScannedAddress(const QString& address);

 protected:
  void customEvent(QEvent* event) override;

 private:
  void buildControls();

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

  QtLinkChannels channels_;
  ConnectLogic logic_;
  // The port box as a live list; made with the box, before the page starts.
  std::unique_ptr<LivePortList> livePorts_;

  QRadioButton* radioTcp_ = nullptr;
  QRadioButton* radioSerial_ = nullptr;
  QButtonGroup* transportGroup_ = nullptr;
  QLineEdit* ipEdit_ = nullptr;
  QLineEdit* portEdit_ = nullptr;
  QComboBox* serialPortCombo_ = nullptr;
  QPushButton* refreshButton_ = nullptr;
  QComboBox* baudCombo_ = nullptr;
  QComboBox* dataBitsCombo_ = nullptr;
  QComboBox* stopBitsCombo_ = nullptr;
  QComboBox* parityCombo_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QLabel* statusText_ = nullptr;
  QLineEdit* addressEdit_ = nullptr;
  QPushButton* readAddressButton_ = nullptr;
  QPushButton* writeAddressButton_ = nullptr;
  QLineEdit* addressMessageEdit_ = nullptr;
};

}  // namespace velmora
