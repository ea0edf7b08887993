// The device scan: sends the probe and lists every host that answers, once
// each, for as long as the dialog is open.
#pragma once

#include <QDialog>
#include <QString>

#include "link/scan_logic.h"
#include "link/udp_socket_qt.h"

class QListWidget;
class QPushButton;

namespace velmora {

class DialogScan : public QDialog {
  Q_OBJECT

 public:
  // The probe goes to targetHost:targetPort; the defaults are the LAN-wide
  // broadcast the devices listen for.
  explicit DialogScan(QWidget* parent = nullptr, QString targetHost = QStringLiteral("255.255.255.255"),
                      quint16 targetPort = kScanPort);
  ~DialogScan() override;

  // Empties the list and sends the probe again (what "扫描" does).
  void sendProbe();
  const FoundDevices& foundDevices() const { return found_; }
  // The scan socket's local port, 0 when it could not be set up.
  quint16 localPort() const { return socket_.localPort(); }

 protected:
  void customEvent(QEvent* event) override;

 private:
  void onReply(const uint8_t* block, int32_t size);

  UdpSocket socket_;
  FoundDevices found_;
  QString targetHost_;
  quint16 targetPort_;
  QListWidget* list_ = nullptr;
  QPushButton* scanButton_ = nullptr;
};

}  // namespace velmora
