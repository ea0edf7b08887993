#include "link/dialog_connect_win.h"

#include <iterator>

#include "link/connect_table.h"

namespace velmora {

using namespace connect_id;

namespace {

std::vector<std::string> entries(const char* const* texts, size_t count) {
  std::vector<std::string> out;
  // Numbers have no translation and come back as they are.
  for (size_t i = 0; i < count; ++i) out.emplace_back(trText("LineSettings", texts[i]));
  return out;
}

}  // namespace

DialogConnectWin::DialogConnectWin(HWND parent, int windowId, HFONT font, MessageWindow& mailbox, LogSink* log)
    : TablePage(parent, windowId, connectPageTable(), font),
      serial_(mailbox),
      tcp_(mailbox),
      livePorts_(std::make_unique<WinLivePortList>(control(kSerialPortCombo), log)),
      logic_(*this, serial_, tcp_, log) {
  serial_.setHistory(&livePorts_->history());
  serial_.setSink(&logic_);
  tcp_.setSink(&logic_);
  const auto fill = [this](int id, std::vector<std::string> items, int selected) {
    winui::setComboItems(control(id), items);
    winui::setComboSelection(control(id), selected);
  };
  fill(kBaudCombo, entries(kBaudEntries, std::size(kBaudEntries)), kDefaultBaudIndex);
  fill(kDataBitsCombo, entries(kDataBitsEntries, std::size(kDataBitsEntries)), kDefaultDataBitsIndex);
  fill(kStopBitsCombo, entries(kStopBitsEntries, std::size(kStopBitsEntries)), 0);
  fill(kParityCombo, entries(kParityEntries, std::size(kParityEntries)), 0);
  winui::setWindowText(control(kIpEdit), kDefaultTcpHost);
  winui::setWindowText(control(kPortEdit), kDefaultTcpPort);
  winui::setWindowText(control(kAddressEdit), kDefaultAddressText);
  winui::setChecked(control(kRadioSerial), true);
  logic_.start();
}

DialogConnectWin::~DialogConnectWin() {
  // TCP first, then the serial port, while every control still exists.
  logic_.shutdown();
  serial_.setSink(nullptr);
  tcp_.setSink(nullptr);
  serial_.setHistory(nullptr);
}

void DialogConnectWin::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kRadioTcp:
      logic_.onTransportChosen(kTransportTcp);
      break;
    case kRadioSerial:
      logic_.onTransportChosen(kTransportSerial);
      break;
    case kRefreshButton:
      refreshPorts();
      break;
    case kConnectButton:
      logic_.onConnectButton();
      break;
    case kReadAddressButton:
      logic_.onReadAddressButton();
      break;
    case kWriteAddressButton:
      logic_.onWriteAddressButton();
      break;
    default:
      break;
  }
}

std::string DialogConnectWin::ipText() const { return winui::windowText(control(kIpEdit)); }
std::string DialogConnectWin::tcpPortText() const { return winui::windowText(control(kPortEdit)); }
// The port behind the box's text: an entry's (a gone one's too) or the text
// as typed (COM12, \\.\COM12).
std::string DialogConnectWin::serialPortText() const {
  return livePorts_->pathOf(winui::windowText(control(kSerialPortCombo)));
}

std::optional<std::string> DialogConnectWin::selectedEntry(int comboId) const {
  const int i = winui::comboSelection(control(comboId));
  if (i < 0) return std::nullopt;
  return winui::comboItem(control(comboId), i);
}

std::optional<std::string> DialogConnectWin::baudEntry() const { return selectedEntry(kBaudCombo); }
std::optional<std::string> DialogConnectWin::dataBitsEntry() const { return selectedEntry(kDataBitsCombo); }
int DialogConnectWin::stopBitsIndex() const { return winui::comboSelection(control(kStopBitsCombo)); }
int DialogConnectWin::parityIndex() const { return winui::comboSelection(control(kParityCombo)); }
std::string DialogConnectWin::addressText() const { return winui::windowText(control(kAddressEdit)); }

void DialogConnectWin::setStatusText(const std::string& text) { winui::setWindowText(control(kStatusText), text); }
void DialogConnectWin::setAddressText(const std::string& text) { winui::setWindowText(control(kAddressEdit), text); }
void DialogConnectWin::setAddressMessage(const std::string& text) {
  winui::setWindowText(control(kAddressMessageEdit), text);
}

void DialogConnectWin::setPortList(const std::vector<std::string>& ports) { livePorts_->showRefreshed(ports); }

void DialogConnectWin::setIpText(const std::string& text) { winui::setWindowText(control(kIpEdit), text); }

void DialogConnectWin::showTransport(int32_t transport) {
  winui::setChecked(control(kRadioTcp), transport == kTransportTcp);
  winui::setChecked(control(kRadioSerial), transport != kTransportTcp);
}

void DialogConnectWin::applyControlStates(const ControlStates& s) {
  const auto enable = [this](std::initializer_list<int> ids, bool on) {
    for (int id : ids) EnableWindow(control(id), on ? TRUE : FALSE);
  };
  enable({kRadioTcp, kRadioSerial}, s.transportRadios);
  enable({kSerialPortCombo, kBaudCombo, kDataBitsCombo, kStopBitsCombo, kParityCombo, kRefreshButton},
         s.serialControls);
  enable({kIpEdit, kPortEdit}, s.tcpControls);
  enable({kAddressEdit, kReadAddressButton, kWriteAddressButton, kAddressMessageEdit}, s.addressControls);
  enable({kConnectButton}, s.connectButton);
  winui::setWindowText(control(kConnectButton), std::string(s.connectCaption));
}

void DialogConnectWin::showMessage(const std::string& text) { winui::messageBox(GetAncestor(handle(), GA_ROOT), text); }

}  // namespace velmora
