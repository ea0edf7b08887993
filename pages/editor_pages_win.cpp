#include "pages/editor_pages_win.h"

#include "base/line_settings.h"
#include "base/tr_text.h"
#include "config/unit_text.h"
#include "pages/page_tables.h"

namespace velmora {

namespace {

std::vector<std::string> rowOf(const auto& texts) { return {texts.begin(), texts.end()}; }

// The row a list view notification chose, or -1.
int chosenRow(const NMHDR& header) {
  if (header.code == NM_CLICK || header.code == NM_DBLCLK)
    return reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED))
      return change.iItem;
  }
  return -1;
}

}  // namespace

// ---- 串口参数 ----

enum SerialId {
  kSerialList = 4002, kSerialAdd = 4004, kSerialRemove = 4005, kSerialPortName = 4007, kSerialBaud = 4009,
  kSerialDataBits = 4011, kSerialStopBits = 4013, kSerialParity = 4015, kSerialProtocol55 = 4017,
  kSerialNoExtra = 4022, kSerialRemoteControl = 4023, kSerialModbusTcp = 4024,
};

DialogSerialParamWin::DialogSerialParamWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, serialParamTable(), font) {
  std::vector<std::string> rates;
  for (int32_t rate : kBaudRates) rates.push_back(std::to_string(rate));
  winui::setComboItems(control(kSerialBaud), rates);
  winui::setComboItems(control(kSerialDataBits), {"8"});
  // Both lists in the order of the codes an image stores.
  std::vector<std::string> stops, parities;
  for (int code = 0; code < kStoredStopBitsCodes; ++code) stops.push_back(stopBitsText(code));
  for (int code = 0; code < kStoredParityCodes; ++code) parities.push_back(parityLongText(code));
  winui::setComboItems(control(kSerialStopBits), stops);
  winui::setComboItems(control(kSerialParity), parities);
  records_.open();
  showList();
  showPort(0);
}

SerialPortControls DialogSerialParamWin::readControls() const {
  SerialPortControls c;
  c.portName = winui::windowText(control(kSerialPortName));
  c.baudText = winui::windowText(control(kSerialBaud));
  c.baudSelection = winui::comboSelection(control(kSerialBaud));
  c.dataBitsSelection = winui::comboSelection(control(kSerialDataBits));
  c.stopSelection = winui::comboSelection(control(kSerialStopBits));
  c.paritySelection = winui::comboSelection(control(kSerialParity));
  for (int bit = 0; bit < 4; ++bit)
    c.protocolBits[static_cast<size_t>(bit)] = winui::isChecked(control(kSerialProtocol55 + bit));
  c.noExtraFunction = winui::isChecked(control(kSerialNoExtra));
  c.remoteControl = winui::isChecked(control(kSerialRemoteControl));
  c.modbusTcp = winui::isChecked(control(kSerialModbusTcp));
  return c;
}

void DialogSerialParamWin::showPort(int position) {
  if (position < 0 || position >= kMaxDataPorts) return;
  const SerialPortControls c = records_.showPort(position);
  quiet_ = true;
  winui::setWindowText(control(kSerialPortName), c.portName);
  const int rates = winui::comboCount(control(kSerialBaud));
  winui::setComboSelection(control(kSerialBaud), c.baudSelection < rates ? c.baudSelection : -1);
  winui::setWindowText(control(kSerialBaud), c.baudText);
  winui::setComboSelection(control(kSerialDataBits), c.dataBitsSelection);
  winui::setComboSelection(control(kSerialStopBits), c.stopSelection);
  winui::setComboSelection(control(kSerialParity), c.paritySelection);
  for (int bit = 0; bit < 4; ++bit)
    winui::setChecked(control(kSerialProtocol55 + bit), c.protocolBits[static_cast<size_t>(bit)]);
  winui::setChecked(control(kSerialNoExtra), c.noExtraFunction);
  winui::setChecked(control(kSerialRemoteControl), c.remoteControl);
  winui::setChecked(control(kSerialModbusTcp), c.modbusTcp);
  quiet_ = false;
}

void DialogSerialParamWin::showList() {
  quiet_ = true;
  std::vector<std::vector<std::string>> rows;
  for (int p = 0; p < records_.count(); ++p) rows.push_back(rowOf(dataPortRowTexts(records_.record(p))));
  winui::setListRows(control(kSerialList), rows);
  if (records_.hasSelection()) winui::selectListRow(control(kSerialList), records_.selected());
  quiet_ = false;
}

void DialogSerialParamWin::refreshRow(int position) {
  if (position < 0 || position >= records_.count()) return;
  std::vector<std::string> texts = rowOf(dataPortRowTexts(records_.record(position)));
  texts.erase(texts.begin());
  winui::setListRowTexts(control(kSerialList), position, 1, texts);
}

void DialogSerialParamWin::controlChanged() {
  if (quiet_) return;
  if (records_.controlsChanged(readControls())) refreshRow(records_.selected());
}

void DialogSerialParamWin::onCommand(int id, int code) {
  if (quiet_) return;
  if (id == kSerialAdd && code == BN_CLICKED) {
    if (!records_.addPort()) {
      winui::messageBox(GetAncestor(handle(), GA_ROOT), tooManyDataPortsMessage());
      return;
    }
    showList();
    showPort(records_.selected());
    return;
  }
  if (id == kSerialRemove && code == BN_CLICKED) {
    if (!records_.removePort()) return;
    showList();
    showPort(records_.selected());
    return;
  }
  // A rate picked from the list replaces the typed text; the other boxes
  // leave a typed rate alone.
  if (id == kSerialBaud && code == CBN_SELCHANGE) {
    const int i = winui::comboSelection(control(kSerialBaud));
    if (i >= 0) {
      quiet_ = true;
      winui::setWindowText(control(kSerialBaud), winui::comboItem(control(kSerialBaud), i));
      quiet_ = false;
    }
    controlChanged();
    return;
  }
  if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE || code == BN_CLICKED) controlChanged();
}

bool DialogSerialParamWin::onNotify(const NMHDR& header) {
  if (static_cast<int>(header.idFrom) != kSerialList || quiet_) return false;
  const int row = chosenRow(header);
  if (row < 0 || row == records_.selected()) return false;
  if (records_.selectPort(row, readControls())) showPort(row);
  return true;
}

void DialogSerialParamWin::loadFromImage(const uint8_t* data, int32_t length) {
  if (!records_.load(data, length)) return;
  showList();
  if (records_.hasSelection()) showPort(records_.selected());
}

StoreResult DialogSerialParamWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity, readControls());
  refreshRow(records_.selected());
  return StoreResult::stored();
}

// ---- 网络参数 ----

enum AddressId { kAddressIp = 5012, kAddressMask = 5014, kAddressGateway = 5016, kAddressConfirm = 5017, kAddressStatus = 5018 };

DialogNetAddressWin::DialogNetAddressWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, netAddressTable(), font) {
  showAddress();
}

AddressTexts DialogNetAddressWin::readEdits() const {
  return {winui::windowText(control(kAddressIp)), winui::windowText(control(kAddressMask)),
          winui::windowText(control(kAddressGateway))};
}

void DialogNetAddressWin::showAddress() {
  const AddressTexts t = records_.showAddress();
  winui::setWindowText(control(kAddressIp), t.ip);
  winui::setWindowText(control(kAddressMask), t.mask);
  winui::setWindowText(control(kAddressGateway), t.gateway);
}

void DialogNetAddressWin::onCommand(int id, int code) {
  if (id != kAddressConfirm || code != BN_CLICKED) return;
  records_.captureAddress(readEdits());
  showAddress();  // a rejected entry shows the kept value again
  winui::setWindowText(control(kAddressStatus), trText("NetworkAddressRecords", kAddressStatusConfirmed));
}

void DialogNetAddressWin::loadFromImage(const uint8_t* data, int32_t length) {
  if (records_.load(data, length)) showAddress();
}

StoreResult DialogNetAddressWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity, readEdits());
  return StoreResult::stored();
}

// ---- 网络服务器端口 ----

enum ServerId {
  kSrvList = 6002, kSrvAdd = 6003, kSrvDelete = 6004, kSrvPort = 6012, kSrvNoProtocol = 6013,
  kSrvProtocol55 = 6014, kSrvModbusRtu = 6015, kSrvModbusTcp = 6016, kSrvDownload = 6017,
  kSrvTemporary = 6018,
};

DialogNetServerWin::DialogNetServerWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, netServerTable(), font) {
  // As on the Linux page: the devices take no program download on a server port.
  ShowWindow(control(kSrvDownload), SW_HIDE);
  showList();
  updateControlState();
}

ServerPortControls DialogNetServerWin::readControls() const {
  ServerPortControls c;
  c.portText = winui::windowText(control(kSrvPort));
  c.noProtocol = winui::isChecked(control(kSrvNoProtocol));
  c.protocol55 = winui::isChecked(control(kSrvProtocol55));
  c.modbusRtu = winui::isChecked(control(kSrvModbusRtu));
  c.modbusTcp = winui::isChecked(control(kSrvModbusTcp));
  c.programDownload = winui::isChecked(control(kSrvDownload));
  c.temporaryPackets = winui::isChecked(control(kSrvTemporary));
  return c;
}

void DialogNetServerWin::applyControls(const ServerPortControls& c) {
  quiet_ = true;
  winui::setWindowText(control(kSrvPort), c.portText);
  winui::setChecked(control(kSrvNoProtocol), c.noProtocol);
  winui::setChecked(control(kSrvProtocol55), c.protocol55);
  winui::setChecked(control(kSrvModbusRtu), c.modbusRtu);
  winui::setChecked(control(kSrvModbusTcp), c.modbusTcp);
  winui::setChecked(control(kSrvDownload), c.programDownload);
  winui::setChecked(control(kSrvTemporary), c.temporaryPackets);
  quiet_ = false;
}

void DialogNetServerWin::showEntry(int position) {
  if (position < 0 || position >= records_.count()) return;
  applyControls(records_.showServerPort(position));
}

void DialogNetServerWin::showList() {
  quiet_ = true;
  std::vector<std::vector<std::string>> rows;
  for (int p = 0; p < records_.count(); ++p) rows.push_back(rowOf(serverPortRowTexts(records_.record(p))));
  winui::setListRows(control(kSrvList), rows);
  if (records_.hasSelection()) winui::selectListRow(control(kSrvList), records_.selected());
  quiet_ = false;
}

void DialogNetServerWin::updateControlState() {
  const bool selected = records_.hasSelection();
  for (int id : std::initializer_list<int>{kSrvPort, kSrvNoProtocol, kSrvProtocol55, kSrvModbusRtu, kSrvModbusTcp, kSrvDownload,
                 kSrvTemporary, kSrvDelete})
    EnableWindow(control(id), selected ? TRUE : FALSE);
  // Nothing selected: the edits below go nowhere, so the controls are cleared.
  if (!selected) applyControls(ServerPortRecords::clearedControls());
}

void DialogNetServerWin::onCommand(int id, int code) {
  if (quiet_) return;
  if (id == kSrvAdd && code == BN_CLICKED) {
    if (!records_.addEntry()) {
      winui::messageBox(GetAncestor(handle(), GA_ROOT), tooManyServerPortsMessage());
      return;
    }
  } else if (id == kSrvDelete && code == BN_CLICKED) {
    if (!records_.deleteSelected()) {
      winui::messageBox(GetAncestor(handle(), GA_ROOT), trText("ServerPortRecords", kSelectEntryFirst));
      return;
    }
  } else {
    if ((code == EN_CHANGE || code == BN_CLICKED) && records_.controlsChanged(readControls())) {
      const auto texts = rowOf(serverPortRowTexts(records_.record(records_.selected())));
      winui::setListRowTexts(control(kSrvList), records_.selected(), 0, texts);
    }
    return;
  }
  showList();
  showEntry(records_.selected());
  updateControlState();
}

bool DialogNetServerWin::onNotify(const NMHDR& header) {
  if (static_cast<int>(header.idFrom) != kSrvList || quiet_) return false;
  const int row = chosenRow(header);
  if (row < 0 || row == records_.selected() || !records_.selectEntry(row)) return false;
  showEntry(row);
  updateControlState();
  return true;
}

void DialogNetServerWin::loadFromImage(const uint8_t* data, int32_t length) {
  records_.load(data, length);
  showList();
  showEntry(records_.selected());
  updateControlState();
}

StoreResult DialogNetServerWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity);
  return StoreResult::stored();
}

// ---- 保持寄存器配置 ----

enum RegisterId { kRegisterFunction = 8001, kRegisterConfirm = 8018 };

DialogMaintainRegisterWin::DialogMaintainRegisterWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, maintainRegisterTable(), font) {
  for (int r = 0; r < kRegisterRows; ++r) {
    std::vector<std::string> items;
    for (const char* item : kWidthItems[static_cast<size_t>(r)]) items.emplace_back(trText("HoldingRegisterRecords", item));
    winui::setComboItems(control(registerRowControlId(r, 3)), items);
  }
  showRegisters();
}

HoldingRegisterControls DialogMaintainRegisterWin::readControls() const {
  HoldingRegisterControls c;
  c.functionEnable = winui::isChecked(control(kRegisterFunction));
  for (int r = 0; r < kRegisterRows; ++r) {
    RegisterRowControls& row = c.rows[static_cast<size_t>(r)];
    row.enable = winui::isChecked(control(registerRowControlId(r, 0)));
    row.addressText = winui::windowText(control(registerRowControlId(r, 1)));
    row.countText = winui::windowText(control(registerRowControlId(r, 2)));
    row.widthSelection = winui::comboSelection(control(registerRowControlId(r, 3)));
  }
  return c;
}

void DialogMaintainRegisterWin::showRegisters() {
  const HoldingRegisterControls c = records_.showRegisters();
  winui::setChecked(control(kRegisterFunction), c.functionEnable);
  for (int r = 0; r < kRegisterRows; ++r) {
    const RegisterRowControls& row = c.rows[static_cast<size_t>(r)];
    winui::setChecked(control(registerRowControlId(r, 0)), row.enable);
    winui::setWindowText(control(registerRowControlId(r, 1)), row.addressText);
    winui::setWindowText(control(registerRowControlId(r, 2)), row.countText);
    winui::setComboSelection(control(registerRowControlId(r, 3)), row.widthSelection);
  }
}

void DialogMaintainRegisterWin::onCommand(int id, int code) {
  if (id == kRegisterConfirm && code == BN_CLICKED) records_.captureRegisters(readControls());
}

void DialogMaintainRegisterWin::loadFromImage(const uint8_t* data, int32_t length) {
  records_.load(data, length);
  showRegisters();
}

// The image takes the records, not the edits: only 修改确认 takes those.
StoreResult DialogMaintainRegisterWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity);
  return StoreResult::stored();
}

// ---- 参数列表 ----

DialogListWin::DialogListWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, listPageTable(), font) {}

void DialogListWin::loadFromImage(const uint8_t* data, int32_t length) {
  units_.load(data, length);
  std::vector<std::vector<std::string>> rows;
  for (const ListPageUnits::Row& row : units_.rows()) rows.push_back({row.index, row.kind, row.parameters});
  winui::setListRows(control(1021), rows);
}

StoreResult DialogListWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  return units_.store(buffer, length, capacity) ? StoreResult::stored() : StoreResult::keepImage();
}

}  // namespace velmora
