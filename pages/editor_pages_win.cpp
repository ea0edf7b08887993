#include "pages/editor_pages_win.h"

#include <algorithm>

#include "base/line_settings.h"
#include "base/text.h"
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

using namespace page_id;

// ---- 串口参数 ----


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
  // The list offers 8 only; a port of 5..7 data bits shows its own value as
  // a second item, chosen, which keeps that value until 8 is picked.
  std::vector<std::string> dataBits{"8"};
  if (c.dataBitsSelection < 0) dataBits.push_back(c.dataBitsText);
  winui::setComboItems(control(kSerialDataBits), dataBits);
  winui::setComboSelection(control(kSerialDataBits), c.dataBitsSelection < 0 ? 1 : c.dataBitsSelection);
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
  // 8 picked: the port's own value leaves the list (the port keeps it no longer).
  if (id == kSerialDataBits && code == CBN_SELCHANGE && winui::comboSelection(control(kSerialDataBits)) == 0 &&
      winui::comboCount(control(kSerialDataBits)) > 1)
    SendMessageW(control(kSerialDataBits), CB_DELETESTRING, 1, 0);
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


DialogNetServerWin::DialogNetServerWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, netServerTable(), font) {
  // As on the Linux page: the devices take no program download on a server port.
  ShowWindow(control(kServerDownload), SW_HIDE);
  showList();
  updateControlState();
}

ServerPortControls DialogNetServerWin::readControls() const {
  ServerPortControls c;
  c.portText = winui::windowText(control(kServerPort));
  c.noProtocol = winui::isChecked(control(kServerNoProtocol));
  c.protocol55 = winui::isChecked(control(kServerProtocol55));
  c.modbusRtu = winui::isChecked(control(kServerModbusRtuRadio));
  c.modbusTcp = winui::isChecked(control(kServerModbusTcpRadio));
  c.programDownload = winui::isChecked(control(kServerDownload));
  c.temporaryPackets = winui::isChecked(control(kServerTemporary));
  return c;
}

void DialogNetServerWin::applyControls(const ServerPortControls& c) {
  quiet_ = true;
  winui::setWindowText(control(kServerPort), c.portText);
  winui::setChecked(control(kServerNoProtocol), c.noProtocol);
  winui::setChecked(control(kServerProtocol55), c.protocol55);
  winui::setChecked(control(kServerModbusRtuRadio), c.modbusRtu);
  winui::setChecked(control(kServerModbusTcpRadio), c.modbusTcp);
  winui::setChecked(control(kServerDownload), c.programDownload);
  winui::setChecked(control(kServerTemporary), c.temporaryPackets);
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
  winui::setListRows(control(kServerList), rows);
  if (records_.hasSelection()) winui::selectListRow(control(kServerList), records_.selected());
  quiet_ = false;
}

void DialogNetServerWin::updateControlState() {
  const bool selected = records_.hasSelection();
  for (int id : std::initializer_list<int>{kServerPort, kServerNoProtocol, kServerProtocol55, kServerModbusRtuRadio, kServerModbusTcpRadio, kServerDownload,
                 kServerTemporary, kServerDelete})
    EnableWindow(control(id), selected ? TRUE : FALSE);
  // Nothing selected: the edits below go nowhere, so the controls are cleared.
  if (!selected) applyControls(ServerPortRecords::clearedControls());
}

void DialogNetServerWin::onCommand(int id, int code) {
  if (quiet_) return;
  if (id == kServerAdd && code == BN_CLICKED) {
    if (!records_.addEntry()) {
      winui::messageBox(GetAncestor(handle(), GA_ROOT), tooManyServerPortsMessage());
      return;
    }
  } else if (id == kServerDelete && code == BN_CLICKED) {
    if (!records_.deleteSelected()) {
      winui::messageBox(GetAncestor(handle(), GA_ROOT), trText("ServerPortRecords", kSelectEntryFirst));
      return;
    }
  } else {
    if ((code == EN_CHANGE || code == BN_CLICKED) && records_.controlsChanged(readControls())) {
      const auto texts = rowOf(serverPortRowTexts(records_.record(records_.selected())));
      winui::setListRowTexts(control(kServerList), records_.selected(), 0, texts);
    }
    return;
  }
  showList();
  showEntry(records_.selected());
  updateControlState();
}

bool DialogNetServerWin::onNotify(const NMHDR& header) {
  if (static_cast<int>(header.idFrom) != kServerList || quiet_) return false;
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

namespace {

COLORREF colourOf(MapColour c) { return RGB(c.red, c.green, c.blue); }

void fillSolid(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void drawText(HDC dc, const std::string& text, RECT r, UINT format) {
  std::wstring w = winui::wide(text);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, format | DT_NOPREFIX);
}

int textWidth(HDC dc, const std::string& text) {
  const std::wstring w = winui::wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  return size.cx;
}

}  // namespace

DialogMaintainRegisterWin::DialogMaintainRegisterWin(HWND parent, int windowId, HFONT font, LogSink* log)
    : TablePage(parent, windowId, maintainRegisterTable(), font), log_(log) {
  for (int r = 0; r < kRegisterRows; ++r) {
    std::vector<std::string> items;
    for (const char* item : kWidthItems[static_cast<size_t>(r)]) items.emplace_back(trText("HoldingRegisterRecords", item));
    winui::setComboItems(control(registerRowControlId(r, 3)), items);
  }
  // The button draws itself: marked in the selection's colours while edits are pending.
  SendMessageW(control(kRegisterConfirm), BM_SETSTYLE, BS_OWNERDRAW, TRUE);
  ShowWindow(control(kRegisterPendingNote), SW_HIDE);
  showRegisters();
  buildToolTips();
}

void DialogMaintainRegisterWin::buildToolTips() {
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tips_ == nullptr) return;
  SendMessageW(tips_, WM_SETFONT, SendMessageW(control(kRegisterConfirm), WM_GETFONT, 0, 0), FALSE);  // the page font
  SendMessageW(tips_, TTM_SETDELAYTIME, TTDT_INITIAL, kRegisterTipInitialMs);
  SendMessageW(tips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kRegisterTipAutoPopMs);
  SendMessageW(tips_, TTM_SETDELAYTIME, TTDT_RESHOW, kRegisterTipReshowMs);
  // A maximum width breaks long tips into lines, and at "\r\n".
  SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, kRegisterTipMaxWidth);
  for (const ToolTipRow& row : maintainRegisterToolTips()) {
    std::wstring text = winui::wide(trText("DialogMaintainRegister", row.text));
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control(row.id));
    tool.lpszText = text.data();  // copied by the control
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageW(tips_, TTM_ACTIVATE, TRUE, 0);
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
  quiet_ = true;
  const HoldingRegisterControls c = records_.showRegisters();
  winui::setChecked(control(kRegisterFunction), c.functionEnable);
  for (int r = 0; r < kRegisterRows; ++r) {
    const RegisterRowControls& row = c.rows[static_cast<size_t>(r)];
    winui::setChecked(control(registerRowControlId(r, 0)), row.enable);
    winui::setWindowText(control(registerRowControlId(r, 1)), row.addressText);
    winui::setWindowText(control(registerRowControlId(r, 2)), row.countText);
    winui::setComboSelection(control(registerRowControlId(r, 3)), row.widthSelection);
  }
  quiet_ = false;
  updatePending();
}

void DialogMaintainRegisterWin::updatePending() {
  if (quiet_) return;
  const HoldingRegisterControls controls = readControls();
  // The map follows the typing: it shows what a confirmation would take.
  map_ = shownRegisterMap(records_, controls);
  InvalidateRect(control(kRegisterMap), nullptr, FALSE);
  if (!pending_.controlsChanged(records_, controls)) return;
  HWND confirm = control(kRegisterConfirm);
  if (pending_.pending()) SetPropW(confirm, kMarkedProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
  else RemovePropW(confirm, kMarkedProperty);
  InvalidateRect(confirm, nullptr, FALSE);
  ShowWindow(control(kRegisterPendingNote), pending_.pending() ? SW_SHOW : SW_HIDE);
}

void DialogMaintainRegisterWin::logDroppedEdits() {
  const std::string line = pending_.droppedLine();
  if (log_ != nullptr && !line.empty()) log_->logMessage(line);
}

void DialogMaintainRegisterWin::onCommand(int id, int code) {
  if (quiet_) return;
  if (id == kRegisterConfirm && code == BN_CLICKED) {
    records_.captureRegisters(readControls());
    updatePending();
    return;
  }
  // Every edit of a control may start or end the pending state.
  if (code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE) updatePending();
}

void DialogMaintainRegisterWin::onResized() { InvalidateRect(control(kRegisterMap), nullptr, FALSE); }

bool DialogMaintainRegisterWin::onMessage(UINT message, WPARAM, LPARAM l, LRESULT& result) {
  if (message != WM_DRAWITEM) return false;
  const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(l);
  if (static_cast<int>(item.CtlID) == kRegisterConfirm) drawConfirm(item);
  else if (static_cast<int>(item.CtlID) == kRegisterMap) drawMap(item);
  else return false;
  result = TRUE;
  return true;
}

void DialogMaintainRegisterWin::drawConfirm(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool marked = GetPropW(item.hwndItem, kMarkedProperty) != nullptr;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  RECT face = r;
  InflateRect(&face, -2, -2);
  if (marked) fillSolid(dc, face, GetSysColor(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(marked ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
  if (pressed) OffsetRect(&face, 1, 1);
  drawText(dc, winui::windowText(item.hwndItem), face, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&face, -2, -2);
    DrawFocusRect(dc, &face);
  }
}

// As the Linux page's map: a lane a group on one axis, each enabled group's
// registers a bar in its colour, registers two groups share hatched in red.
void DialogMaintainRegisterWin::drawMap(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  const RECT area = item.rcItem;
  fillSolid(dc, area, GetSysColor(COLOR_BTNFACE));
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int fontHeight = metrics.tmHeight;
  int nameWidth = 0;
  for (const char* name : kRegisterRowNames) nameWidth = std::max(nameWidth, textWidth(dc, trText("HoldingRegisterRecords", name)));
  const MapLayout layout = mapLayout(fontHeight, nameWidth, area.right - area.left);
  const int x0 = area.left + layout.left, y0 = area.top;

  for (int row = 0; row < kRegisterRows; ++row) {
    SetTextColor(dc, GetSysColor(map_.rowEnabled[static_cast<size_t>(row)] ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    const RECT name{area.left + kRegisterMapMargin, y0 + layout.rowTop(row), area.left + kRegisterMapMargin + nameWidth,
                    y0 + layout.rowTop(row) + layout.lane};
    drawText(dc, trText("HoldingRegisterRecords", kRegisterRowNames[static_cast<size_t>(row)]), name,
             DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  const int axisY = y0 + layout.axisY;
  const RECT axis{x0, axisY, x0 + layout.width, axisY + 1};
  fillSolid(dc, axis, GetSysColor(COLOR_BTNSHADOW));

  if (map_.bars.empty()) {
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const RECT all{x0, y0 + kRegisterMapMargin, x0 + layout.width, y0 + kRegisterMapMargin + kRegisterRows * layout.lane};
    drawText(dc, trText("RegisterMapWidget", kNoRegisterBarsText), all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    return;
  }
  const auto place = [&](int row, MapSpan s) {
    return RECT{x0 + s.left, y0 + layout.rowTop(row) + 3, x0 + s.right, y0 + layout.rowTop(row) + layout.lane - 3};
  };
  for (const RegisterBar& bar : map_.bars)
    fillSolid(dc, place(bar.row, mapSpan(map_, bar.begin, bar.end, layout.width)),
              colourOf(kRegisterRowColours[static_cast<size_t>(bar.row)]));
  // Hatched on both rows, so each group shows where it collides.
  const COLORREF overlap = colourOf(kRegisterOverlapColour);
  HBRUSH hatch = CreateHatchBrush(HS_DIAGCROSS, overlap);
  HPEN frame = CreatePen(PS_SOLID, 2, overlap);
  for (const RegisterOverlap& o : map_.overlaps) {
    for (int row : {o.rowA, o.rowB}) {
      const RECT r = place(row, mapSpan(map_, o.begin, o.end, layout.width));
      fillSolid(dc, r, colourOf(kRegisterOverlapBacking));
      FillRect(dc, &r, hatch);
      HGDIOBJ oldPen = SelectObject(dc, frame);
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
      Rectangle(dc, r.left + 1, r.top + 1, r.right, r.bottom);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
    }
  }
  DeleteObject(frame);
  DeleteObject(hatch);
  // The range inside the bar, or beside it where the bar is too short.
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  for (const RegisterBar& bar : map_.bars) {
    const MapSpan s = mapSpan(map_, bar.begin, bar.end, layout.width);
    const std::string text = registerRangeText(bar.begin, bar.end);
    const int width = textWidth(dc, text);
    const LabelPlace where = labelPlace(s, width + 8, layout.width);
    const RECT at = place(bar.row, labelSpan(s, width + 8, where));
    // Inside, a light backing keeps the digits readable over colour and hatching.
    if (where == LabelPlace::Inside) {
      const int cx = (at.left + at.right) / 2, cy = (at.top + at.bottom) / 2;
      fillSolid(dc, RECT{cx - width / 2 - 2, cy - fontHeight / 2, cx + (width + 1) / 2 + 2, cy + (fontHeight + 1) / 2},
                RGB(255, 255, 255));
    }
    drawText(dc, text, at, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  // Ticks at the ends of the span: its first register and its last.
  for (const bool first : {true, false}) {
    const int x = x0 + (first ? 0 : layout.width - 1);
    const RECT tick{x, axisY - 3, x + 1, axisY + 5};
    fillSolid(dc, tick, GetSysColor(COLOR_WINDOWTEXT));
    const std::string label = strprintf("%u", static_cast<unsigned>(first ? map_.spanBegin : map_.spanEnd - 1));
    const int w = textWidth(dc, label);
    const RECT at{first ? x : x - w + 1, axisY + 6, (first ? x : x - w + 1) + w, axisY + 6 + fontHeight};
    drawText(dc, label, at, DT_LEFT | DT_TOP | DT_SINGLELINE);
  }
  SelectObject(dc, oldFont);
}

void DialogMaintainRegisterWin::loadFromImage(const uint8_t* data, int32_t length) {
  logDroppedEdits();  // the load replaces them
  records_.load(data, length);
  showRegisters();
}

// The image takes the records, not the edits: only 修改确认 takes those; a
// page change leaves them behind for the next load to replace.
StoreResult DialogMaintainRegisterWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  logDroppedEdits();
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
  winui::setListRows(control(kListView), rows);
}

StoreResult DialogListWin::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  return units_.store(buffer, length, capacity) ? StoreResult::stored() : StoreResult::keepImage();
}

}  // namespace velmora
