// The image pages of velmora.exe: the serial data ports, the network
// address, the server ports, the holding registers and the parameter list.
// Each is the controls of its table over the page's records; what a control
// change, a load and a store mean is the records' business.
#pragma once

#include "config/dialog_child_base.h"
#include "pages/holding_register_records.h"
#include "pages/list_page_units.h"
#include "pages/network_address_records.h"
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

class DialogMaintainRegisterWin final : public winui::TablePage, public DialogChildBase {
 public:
  DialogMaintainRegisterWin(HWND parent, int windowId, HFONT font);
  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

 private:
  void onCommand(int id, int code) override;
  HoldingRegisterControls readControls() const;
  void showRegisters();

  HoldingRegisterRecords records_;
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
