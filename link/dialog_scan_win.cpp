#include "link/dialog_scan_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <vector>

#include "base/tr_text.h"
#include "link/scan_table.h"

namespace velmora {

using namespace scan_id;

std::vector<NetInterface> systemInterfacesWin() {
  std::vector<NetInterface> found;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer(size);
  auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  if (GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER, nullptr,
                           list, &size) == ERROR_BUFFER_OVERFLOW) {
    buffer.resize(size);
    list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                             nullptr, list, &size) != NO_ERROR)
      return found;
  }
  for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr; a = a->Next) {
    NetInterface i;
    i.name = a->AdapterName != nullptr ? a->AdapterName : "";
    i.up = a->OperStatus == IfOperStatusUp;
    i.loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
      const uint32_t address = ntohl(reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr);
      const int prefix = u->OnLinkPrefixLength;
      // A /31 or /32 has no broadcast address.
      if (prefix <= 0 || prefix > 30) continue;
      const uint32_t mask = 0xFFFFFFFFu << (32 - prefix);
      i.broadcasts.push_back(address | ~mask);
    }
    found.push_back(std::move(i));
  }
  return found;
}

DialogScanWin::DialogScanWin(HWND owner, HFONT font, MessageWindow& mailbox, std::string targetHost,
                             uint16_t targetPort, InterfaceSource interfaces)
    : TablePage(owner, Popup{trText("DialogScan", "扫描设备")}, scanDialogTable(), font),
      owner_(owner),
      socket_(mailbox, [this](const uint8_t* block, int32_t size) { onReply(block, size); }),
      targetHost_(std::move(targetHost)),
      targetPort_(targetPort),
      interfaces_(interfaces ? std::move(interfaces) : InterfaceSource(systemInterfacesWin)) {
  // A socket that cannot be set up leaves an empty list and nothing more.
  open_ = socket_.open();
  if (open_) sendProbe();
}

DialogScanWin::~DialogScanWin() { socket_.close(); }

std::optional<std::string> DialogScanWin::run() {
  winui::runModal(owner_, handle(), control(kDeviceList), done_);
  return chosen_;
}

void DialogScanWin::sendProbe() {
  found_.clear();
  SendMessageW(control(kDeviceList), LB_RESETCONTENT, 0, 0);
  if (!open_) return;
  // One socket for every destination, so all replies land in this list; a
  // destination without a route fails alone.
  for (const std::string& d : scanDestinations(targetHost_, interfaces_))
    socket_.sendTo(kScanProbe.data(), static_cast<int32_t>(kScanProbe.size()), d, targetPort_);
}

void DialogScanWin::onReply(const uint8_t* block, int32_t size) {
  const std::optional<std::string> entry = scanReplyEntry(block, size);
  if (!entry || !found_.add(*entry)) return;
  HWND list = control(kDeviceList);
  const std::wstring text = winui::wide(*entry);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (SendMessageW(list, LB_GETCOUNT, 0, 0) == 1) SendMessageW(list, LB_SETCURSEL, 0, 0);
}

void DialogScanWin::choose() {
  HWND list = control(kDeviceList);
  const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (i != LB_ERR) {
    const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    chosen_ = winui::utf8(text);
  }
  done_ = true;
}

void DialogScanWin::onCommand(int id, int code) {
  if (id == kScanButton && code == BN_CLICKED) sendProbe();
  if (id == kOkButton && code == BN_CLICKED) choose();
  if (id == kDeviceList && code == LBN_DBLCLK) choose();
  if (id == IDCANCEL) done_ = true;
}

bool DialogScanWin::onMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_CLOSE) return false;
  done_ = true;  // the close box and Escape choose nothing
  result = 0;
  return true;
}

}  // namespace velmora
