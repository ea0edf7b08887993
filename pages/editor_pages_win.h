// The image pages of velmora.exe: the serial data ports, the network
// address, the server ports, the holding registers and the parameter list.
// Each is the controls of its table over the page's records; what a control
// change, a load and a store mean is the records' business.
#pragma once

#include "base/log_sink.h"
#include "config/dialog_child_base.h"
#include "pages/holding_register_records.h"
#include "pages/list_page_units.h"
#include "pages/network_address_records.h"
#include "pages/register_map.h"
#include "pages/serial_port_records.h"
#include "pages/server_port_records.h"
#include "ui/ui_kit_win.h"

namespace velmora {

class DialogSerialParamWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogSerialParamWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  void onCommand(int id, int code) override;
  bool onNotify(const NMHDR& header) override;
  SerialPortControls readControls() const;
  void showPort(int position);
  void showList();
  void refreshRow(int position);
  void controlChanged();

  SerialPortRecords records_;
  bool quiet_ = false;  // the page itself is changing its controls
};

class DialogNetAddressWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogNetAddressWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  void onCommand(int id, int code) override;
  AddressTexts readEdits() const;
  void showAddress();

  NetworkAddressRecords records_;
};

class DialogNetServerWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogNetServerWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  void onCommand(int id, int code) override;
  bool onNotify(const NMHDR& header) override;
  ServerPortControls readControls() const;
  void applyControls(const ServerPortControls& controls);
  void showEntry(int position);
  void showList();
  void updateControlState();

  ServerPortRecords records_;
  bool quiet_ = false;
};

// Edits reach the records only through 修改确认; until then the button is
// marked and a note stands beside it, the map below shows the groups'
// ranges as the controls hold them, and edits left behind by a page change
// or a load are logged once (to log; none when null).
class DialogMaintainRegisterWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogMaintainRegisterWin(HWND parent, int windowId, HFONT font, LogSink* log = nullptr);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  // The window property that marks 修改确认 while edits are pending.
  static constexpr const wchar_t* kMarkedProperty = L"VelmoraMarked";

 private:
  void onCommand(int id, int code) override;
  void onResized() override;
  bool onMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) override;
  HoldingRegisterControls readControls() const;
  void showRegisters();
  void updatePending();
  void logDroppedEdits();
  void buildToolTips();
  void drawConfirm(const DRAWITEMSTRUCT& item) const;
  void drawMap(const DRAWITEMSTRUCT& item) const;

  HoldingRegisterRecords records_;
  PendingRegisterEdits pending_;
  RegisterMap map_;
  LogSink* log_ = nullptr;
  HWND tips_ = nullptr;
  bool quiet_ = false;  // the page itself is changing its controls
};

class DialogListWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogListWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  ListPageUnits units_;
};

}  // namespace velmora
