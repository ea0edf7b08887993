#include <gtest/gtest.h>

#include <QListWidget>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUdpSocket>

#include "link/dialog_connect.h"
#include "link/dialog_scan.h"
#include "link/link_events_qt.h"
#include "tests/link/pty_pair_qt.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

// A device stand-in on 127.0.0.1: answers every probe from the loopback
// with the datagrams it is given.
class LocalResponder {
 public:
  explicit LocalResponder(std::vector<QByteArray> replies) : replies_(std::move(replies)) {
    socket_.setProxy(QNetworkProxy::NoProxy);
    socket_.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&socket_, &QUdpSocket::readyRead, &socket_, [this] {
      while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram probe = socket_.receiveDatagram();
        probes.push_back(probe.data());
        if (probe.senderAddress() != QHostAddress(QHostAddress::LocalHost)) continue;
        for (const QByteArray& r : replies_) socket_.writeDatagram(r, probe.senderAddress(), probe.senderPort());
      }
    });
  }
  quint16 port() const { return socket_.localPort(); }
  std::vector<QByteArray> probes;

 private:
  QUdpSocket socket_;
  std::vector<QByteArray> replies_;
};

// Every scan here names its target, so the machine's interfaces must never
// be read; one that is read fails the test.
InterfaceSource noInterfaces() {
  return [] {
    ADD_FAILURE() << "the scan read the interface list although its target was given";
    return std::vector<NetInterface>{};
  };
}

QStringList entries(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

void postReply(DialogScan& dialog, const std::string& sender) {
  const uint8_t payload[] = {'o', 'k'};
  QCoreApplication::postEvent(&dialog, new ScanReplyEvent(buildScanReplyBlock(sender, payload, 2)));
}

}  // namespace

TEST(DialogScanWindow, LocalResponderIsListedOnce) {
  LocalResponder device({QByteArray("VELMORA"), QByteArray("VELMORA again")});
  DialogScan dialog(nullptr, QStringLiteral("127.0.0.1"), device.port(), noInterfaces());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("扫描设备"));
  auto* list = dialog.findChild<QListWidget*>(QStringLiteral("2030"));
  auto* scan = dialog.findChild<QPushButton*>(QStringLiteral("2032"));
  ASSERT_TRUE(list && scan);
  EXPECT_EQ(scan->text(), QStringLiteral("扫描"));
  // Each dialog has its own socket; an empty datagram lists nothing.
  LocalResponder silent({QByteArray()});
  DialogScan other(nullptr, QStringLiteral("127.0.0.1"), silent.port(), noInterfaces());
  EXPECT_NE(dialog.localPort(), 0);
  EXPECT_NE(other.localPort(), dialog.localPort());

  ASSERT_TRUE(waitUntil([&] { return list->count() > 0 && !silent.probes.empty(); }));
  settle(200);  // the second reply and the empty one have come and gone
  EXPECT_EQ(other.findChild<QListWidget*>(QStringLiteral("2030"))->count(), 0);
  // A named target is the only destination: one probe, no broadcast.
  EXPECT_EQ(dialog.destinations(), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(device.probes, std::vector<QByteArray>{"RAZ"});
  EXPECT_EQ(entries(list), QStringList{QStringLiteral("127.0.0.1")});
  EXPECT_EQ(list->currentRow(), 0);

  // "扫描" empties the list before the new probe; the answer re-adds the host.
  scan->click();
  EXPECT_EQ(list->count(), 0);
  EXPECT_TRUE(dialog.foundDevices().entries().empty());
  ASSERT_TRUE(waitUntil([&] { return list->count() == 1; }));
  EXPECT_EQ(device.probes.size(), 2u);
}

TEST(DialogScanWindow, ListIsSortedAndOnlyTheFirstEntryIsSelected) {
  LocalResponder nobody({});
  DialogScan dialog(nullptr, QStringLiteral("127.0.0.1"), nobody.port(), noInterfaces());
  auto* list = dialog.findChild<QListWidget*>(QStringLiteral("2030"));
  postReply(dialog, "192.168.1.9");
  QCoreApplication::processEvents();
  EXPECT_EQ(list->currentRow(), 0);
  list->setCurrentRow(-1);
  for (const char* sender : {"192.168.1.10", "192.168.1.9", "Device-B", "device-b"}) postReply(dialog, sender);
  QCoreApplication::postEvent(&dialog, new ScanReplyEvent({1, 0, 0}));  // too short: ignored
  QCoreApplication::processEvents();
  EXPECT_EQ(entries(list),
            (QStringList{QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.9"), QStringLiteral("Device-B")}));
  EXPECT_EQ(list->currentRow(), -1) << "later additions select nothing";
}

TEST(DialogScanWindow, OkHandsTheSelectedEntryToTheConnectionPage) {
  UiRecorder::reset();
  LocalResponder nobody({});
  DialogConnect page;  // never connects: its defaults stay untouched
  auto* ipBox = page.findChild<QLineEdit*>(QStringLiteral("2003"));
  for (bool selected : {false, true}) {
    DialogScan dialog(nullptr, QStringLiteral("127.0.0.1"), nobody.port(), noInterfaces());
    QObject::connect(&dialog, &DialogScan::deviceChosen, &page, &DialogConnect::useScannedAddress);
    postReply(dialog, "192.168.1.20");
    QCoreApplication::processEvents();
    if (!selected) dialog.findChild<QListWidget*>(QStringLiteral("2030"))->clearSelection();
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("1"));
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenAddress().has_value(), selected);
    EXPECT_EQ(ipBox->text(), selected ? QStringLiteral("192.168.1.20") : QStringLiteral("192.168.1.110"));
    EXPECT_EQ(page.transport(), selected ? kTransportTcp : kTransportSerial);
    EXPECT_EQ(page.findChild<QRadioButton*>(QStringLiteral("2001"))->isChecked(), selected);
    EXPECT_EQ(ipBox->isEnabled(), selected);
  }
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
}
