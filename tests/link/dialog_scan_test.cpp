// The scan dialog's own part; reply layout is scan_logic_test's, the double-click tests/app's.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPushButton>
#include <QUdpSocket>

#include "link/dialog_scan.h"
#include "link/link_events_qt.h"
#include "tests/link/pty_pair_qt.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

// A device stand-in on 127.0.0.1: answers every probe with replies.
struct LocalResponder {
  LocalResponder() {
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
      while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram probe = socket.receiveDatagram();
        probes.push_back(probe.data());
        for (const QByteArray& r : replies) socket.writeDatagram(r, probe.senderAddress(), probe.senderPort());
      }
    });
  }
  QUdpSocket socket;
  std::vector<QByteArray> replies;
  std::vector<QByteArray> probes;
};

// Every scan here names its target: reading the machine's interfaces fails the test.
std::vector<NetInterface> noInterfaces() {
  ADD_FAILURE() << "the scan read the interface list although its target was given";
  return {};
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

TEST(DialogScanWindow, ProbeGoesToTheTargetAloneAndItsAnswerIsListedOnce) {
  LocalResponder device;
  device.replies = {"VELMORA", "VELMORA again"};
  DialogScan dialog(nullptr, QStringLiteral("127.0.0.1"), device.socket.localPort(), noInterfaces);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("扫描设备"));
  auto* list = dialog.findChild<QListWidget*>(QStringLiteral("2030"));
  auto* scan = dialog.findChild<QPushButton*>(QStringLiteral("2032"));
  ASSERT_TRUE(list && scan);
  EXPECT_EQ(scan->text(), QStringLiteral("扫描"));
  ASSERT_TRUE(waitUntil([&] { return list->count() > 0; }));
  settle(200);  // the second reply has come and gone; one probe, no broadcast
  EXPECT_EQ(dialog.destinations(), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(device.probes, std::vector<QByteArray>{"RAZ"});
  EXPECT_EQ(entries(list), QStringList{QStringLiteral("127.0.0.1")});

  // "扫描" empties the list before the new probe; an empty datagram lists nothing.
  device.replies = {QByteArray()};
  scan->click();
  EXPECT_EQ(list->count(), 0);
  ASSERT_TRUE(waitUntil([&] { return device.probes.size() == 2; }));
  settle(100);
  EXPECT_EQ(list->count(), 0);
}

TEST(DialogScanWindow, ListIsSortedOnlyTheFirstEntryIsSelectedAndOkHandsOnTheSelection) {
  LocalResponder nobody;
  DialogScan dialog(nullptr, QStringLiteral("127.0.0.1"), nobody.socket.localPort(), noInterfaces);
  QStringList chosen;
  QObject::connect(&dialog, &DialogScan::deviceChosen, [&](const QString& a) { chosen << a; });
  auto* list = dialog.findChild<QListWidget*>(QStringLiteral("2030"));
  auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("1"));
  ASSERT_TRUE(list && ok);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  postReply(dialog, "192.168.1.9");
  QCoreApplication::processEvents();
  EXPECT_EQ(list->currentRow(), 0);
  list->setCurrentRow(-1);
  list->clearSelection();
  for (const char* sender : {"192.168.1.10", "192.168.1.9", "Device-B", "device-b"}) postReply(dialog, sender);
  QCoreApplication::postEvent(&dialog, new ScanReplyEvent({1, 0, 0}));  // too short: ignored
  QCoreApplication::processEvents();
  EXPECT_EQ(entries(list),
            (QStringList{QStringLiteral("192.168.1.10"), QStringLiteral("192.168.1.9"), QStringLiteral("Device-B")}));
  EXPECT_EQ(list->currentRow(), -1) << "later additions select nothing";
  ok->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(chosen.isEmpty()) << "nothing selected, nothing handed on";
  list->setCurrentRow(1);
  ok->click();
  EXPECT_EQ(chosen, QStringList{QStringLiteral("192.168.1.9")});
}
