// The device scan: sends the probe and lists every host that answers, once
// each, for as long as the dialog is open. The entry the user picks goes on
// to whoever listens to deviceChosen (the connection page).
#pragma once

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "link/scan_logic.h"
#include "link/udp_socket_qt.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace velmora {

class DialogScan : public QDialog {
  Q_OBJECT

 public:
  // With no targetHost the probe goes out as the devices expect it: the
  // limited broadcast and the broadcast of every interface that interfaces
  // (empty: the system's list) names. A targetHost (dotted IPv4) is the only
  // destination, and no interface is looked at.
  explicit DialogScan(QWidget* parent = nullptr, QString targetHost = {}, quint16 targetPort = kScanPort,
                      InterfaceSource interfaces = {});
  ~DialogScan() override;

  // Empties the list and sends the probe again (what "扫描" does).
  void sendProbe();
  const FoundDevices& foundDevices() const { return found_; }
  // Where the latest probe went.
  const std::vector<std::string>& destinations() const { return destinations_; }
  // The scan socket's local port, 0 when it could not be set up.
  quint16 localPort() const { return socket_.localPort(); }
  // The address the user picked on closing, if any.
  const std::optional<QString>& chosenAddress() const { return chosen_; }

 signals:
  // A double-click on an entry, or "确定" with one selected.
  void deviceChosen(const QString& address);

 protected:
  void customEvent(QEvent* event) override;

 private:
  void onReply(const uint8_t* block, int32_t size);
  void choose(const QListWidgetItem* item);

  UdpSocket socket_;
  FoundDevices found_;
  QString targetHost_;
  quint16 targetPort_;
  InterfaceSource interfaces_;
  std::vector<std::string> destinations_;
  std::optional<QString> chosen_;
  QListWidget* list_ = nullptr;
  QPushButton* scanButton_ = nullptr;
};

}  // namespace velmora
