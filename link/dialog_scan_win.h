// The device scan of velmora.exe: a modal dialog whose socket sends the
// probe to every destination the scan logic names and lists each host that
// answers once; a double click or 确定 on an entry chooses it.
#pragma once

#include <optional>
#include <string>

#include "link/client_socket_win.h"
#include "link/message_window_win.h"
#include "link/scan_logic.h"
#include "ui/ui_kit_win.h"

namespace velmora {

// The system's network interfaces, for the scan's broadcasts.
std::vector<NetInterface> systemInterfacesWin();

class DialogScanWin final : public winui::TablePage {
 public:
  // targetHost empty: the LAN's broadcasts; otherwise the only destination.
  DialogScanWin(HWND owner, HFONT font, MessageWindow& mailbox, std::string targetHost, uint16_t targetPort,
                InterfaceSource interfaces);
  ~DialogScanWin() override;

  // Shows the dialog modally; the address chosen, if any.
  std::optional<std::string> run();

 private:
  void onCommand(int id, int code) override;
  bool onMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) override;
  void sendProbe();
  void onReply(const uint8_t* block, int32_t size);
  void choose();

  HWND owner_;
  WinUdpSocket socket_;
  std::string targetHost_;
  uint16_t targetPort_;
  InterfaceSource interfaces_;
  FoundDevices found_;
  bool open_ = false;
  bool done_ = false;
  std::optional<std::string> chosen_;
};

}  // namespace velmora
