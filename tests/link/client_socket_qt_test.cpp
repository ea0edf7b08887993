// The TCP channel against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <numeric>

#include "base/clock.h"
#include "link/client_socket_qt.h"
#include "link/link_events_qt.h"
#include "tests/link/pty_pair_qt.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

using Connects = std::vector<std::pair<int32_t, int32_t>>;

// Collects the TCP notifications in the order they are handled.
struct TcpSink : QObject {
  Connects connects;
  std::vector<Bytes> blocks;
  std::vector<int32_t> closes;
  std::vector<int64_t> stampAgesUs;  // how long before its handling each block reached the system
  size_t received() const { return std::accumulate(blocks.begin(), blocks.end(), size_t{0}, [](size_t n, const Bytes& b) { return n + b.size(); }); }
  void customEvent(QEvent* event) override {
    if (event->type() == TcpConnectEvent::kType) {
      const auto* e = static_cast<TcpConnectEvent*>(event);
      connects.emplace_back(e->failed, e->errorCode);
    } else if (event->type() == TcpReceiveEvent::kType) {
      const auto* e = static_cast<TcpReceiveEvent*>(event);
      blocks.push_back(e->block);
      stampAgesUs.push_back(static_cast<int64_t>(steadyUs()) - static_cast<int64_t>(e->arrivedUs));
    } else if (event->type() == TcpCloseEvent::kType) {
      closes.push_back(static_cast<TcpCloseEvent*>(event)->errorCode);
    }
  }
};

class ClientSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    socket.setNotify(&sink);
  }
  TcpConnectStart connect(ClientSocket& s) { return s.connectTo(QStringLiteral("127.0.0.1"), server.serverPort()); }
  // The server side of the newest connection.
  QTcpSocket* accept() {
    if (!waitUntil([&] { return server.hasPendingConnections(); })) return nullptr;
    peers.emplace_back(server.nextPendingConnection());
    return peers.back().get();
  }
  // Lets the bytes reach the client's kernel buffer before its events run: one piece.
  static void sendFromPeer(QTcpSocket* peer, const Bytes& bytes) {
    peer->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    while (peer->bytesToWrite() > 0 && peer->waitForBytesWritten(2000)) {
    }
    ::usleep(50000);
  }

  QTcpServer server;
  TcpSink sink;
  ClientSocket socket;
  std::vector<std::unique_ptr<QTcpSocket>> peers;
};

}  // namespace

TEST_F(ClientSocketTest, ConnectsOnceOrFailsWithoutNotices) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  ASSERT_NE(accept(), nullptr);
  EXPECT_EQ(connect(socket), TcpConnectStart::Connected) << "already connected";

  quint16 closed = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    closed = probe.serverPort();
  }
  ClientSocket other;
  other.setNotify(&sink);
  EXPECT_EQ(other.connectTo(QStringLiteral("127.0.0.1"), closed), TcpConnectStart::Failed);
  EXPECT_EQ(other.connectError(), std::errc::connection_refused);
  EXPECT_EQ(other.connectTo(QStringLiteral("::1"), server.serverPort()), TcpConnectStart::Failed) << "IPv4 only";
  EXPECT_EQ(other.connectTo(QStringLiteral("127.0.0.1"), 0), TcpConnectStart::Failed);
  EXPECT_EQ(other.Send(reinterpret_cast<const uint8_t*>("x"), 1), -1);
  other.disconnect();  // not connected: nothing
  settle(100);
  EXPECT_FALSE(server.hasPendingConnections()) << "no second connection";
  EXPECT_EQ(sink.connects, (Connects{{0, 0}})) << "one notice, none for the failures";
  EXPECT_TRUE(sink.closes.empty());
}

// apply's many links on one thread: a connect to an address waits on the
// event loop and ends in a notice, refused or up; one dropped on the way
// leaves no notice.
TEST_F(ClientSocketTest, AnAsynchronousConnectPostsItsEndAndCanBeDropped) {
  socket.setAsyncConnect(true);
  EXPECT_EQ(connect(socket), TcpConnectStart::Pending);
  EXPECT_FALSE(socket.connected());
  socket.disconnect();  // before the loop has run: dropped
  settle(100);
  EXPECT_TRUE(sink.connects.empty());
  EXPECT_FALSE(socket.connected());

  EXPECT_EQ(connect(socket), TcpConnectStart::Pending);
  ASSERT_TRUE(waitUntil([&] { return !sink.connects.empty(); }));
  EXPECT_EQ(sink.connects, (Connects{{0, 0}}));
  EXPECT_TRUE(socket.connected());
  // The dropped attempt may have reached the server before its reset: the
  // bytes tell which connection is the channel's.
  ASSERT_NE(accept(), nullptr);
  const uint8_t ping[] = {1, 2, 3};
  EXPECT_EQ(socket.Send(ping, 3), 3);
  ASSERT_TRUE(waitUntil([&] {
    while (server.hasPendingConnections()) peers.emplace_back(server.nextPendingConnection());
    return std::any_of(peers.begin(), peers.end(), [](const auto& p) { return p->bytesAvailable() == 3; });
  })) << "the adopted socket carries the bytes";

  quint16 closed = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    closed = probe.serverPort();
  }
  ClientSocket other;
  other.setNotify(&sink);
  other.setAsyncConnect(true);
  EXPECT_EQ(other.connectTo(QStringLiteral("127.0.0.1"), closed), TcpConnectStart::Pending);
  ASSERT_TRUE(waitUntil([&] { return sink.connects.size() == 2; }));
  EXPECT_EQ(sink.connects.back(), (std::pair<int32_t, int32_t>{1, static_cast<int32_t>(TcpConnectFailure::ConnectFailed)}));
  EXPECT_EQ(other.connectError(), std::errc::connection_refused);
  EXPECT_FALSE(other.connected());
}

TEST_F(ClientSocketTest, HostNameIsLookedUpFirstAndAnOldNoticeCannotPassForItsAnswer) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  socket.disconnect();  // its "up" notice is still queued
  // The hosts file answers "localhost": no name server is asked.
  ASSERT_EQ(socket.connectTo(QStringLiteral("localhost"), server.serverPort()), TcpConnectStart::Pending);
  EXPECT_FALSE(socket.connected()) << "nothing is decided before the lookup answers";
  ASSERT_TRUE(waitUntil([&] { return !sink.connects.empty(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(sink.connects, (Connects{{0, 0}}));
}

TEST_F(ClientSocketTest, AnswerAfterTheLookupLimitIsNoAnswerAndAGoneSocketTakesItsLookupAlong) {
  // Answers every name with 127.0.0.1 after 300 ms, on the UI thread as the system's does.
  const HostLookup::Resolver late = [](const QString&, QObject* context, std::function<void(const QHostInfo&)> answer) {
    QTimer::singleShot(300, context, [=] {
      QHostInfo info;
      info.setAddresses({QHostAddress(QHostAddress::LocalHost)});
      answer(info);
    });
  };
  socket.setResolver(late);
  ASSERT_EQ(socket.connectTo(QStringLiteral("device.test"), server.serverPort(), 2000, 100), TcpConnectStart::Pending);
  {
    ClientSocket gone;
    gone.setNotify(&sink);
    gone.setResolver(late);
    ASSERT_EQ(gone.connectTo(QStringLiteral("device.test"), server.serverPort()), TcpConnectStart::Pending);
  }
  settle(500);
  EXPECT_EQ(sink.connects, (Connects{{1, static_cast<int32_t>(TcpConnectFailure::LookupTimedOut)}}));
  EXPECT_FALSE(socket.connected());
  EXPECT_FALSE(server.hasPendingConnections()) << "the late answer connected";
}

TEST_F(ClientSocketTest, BlocksAreAtMost2048BytesAndNothingStaysBehind) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  QTcpSocket* peer = accept();
  ASSERT_NE(peer, nullptr);
  const Bytes exact = pattern(2048, 1);
  sendFromPeer(peer, exact);
  ASSERT_TRUE(waitUntil([&] { return sink.received() == 2048; }));
  const Bytes over = pattern(2049, 2);
  sendFromPeer(peer, over);
  ASSERT_TRUE(waitUntil([&] { return sink.received() == 2048 + 2049; }));
  EXPECT_EQ(sink.blocks, (std::vector<Bytes>{exact, Bytes(over.begin(), over.end() - 1), Bytes{over[2048]}}));

  // A long block leaves whole: the send waits until it is out.
  const Bytes block = pattern(300000, 9);
  EXPECT_EQ(socket.Send(block.data(), static_cast<int32_t>(block.size())), static_cast<int64_t>(block.size()));
  QByteArray got;
  ASSERT_TRUE(waitUntil([&] { got += peer->readAll(); return got.size() >= qsizetype(block.size()); }, 10000));
  EXPECT_TRUE(Bytes(got.begin(), got.end()) == block);
  EXPECT_EQ(socket.Send(nullptr, 5), -1);
}

TEST_F(ClientSocketTest, PeerCloseIsNotifiedOnceAndTheNextConnectionIsWatchedAgain) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  QTcpSocket* first = accept();
  ASSERT_NE(first, nullptr);
  const uint32_t session = socket.session();
  first->disconnectFromHost();
  ASSERT_TRUE(waitUntil([&] { return !sink.closes.empty(); }));
  EXPECT_EQ(socket.session(), session) << "what came before the peer's close is still the device's answer";
  EXPECT_EQ(socket.Send(reinterpret_cast<const uint8_t*>("x"), 1), -1);
  socket.disconnect();  // late: adds nothing
  settle(100);
  EXPECT_EQ(sink.closes, std::vector<int32_t>{0});

  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  QTcpSocket* second = accept();
  ASSERT_NE(second, nullptr);
  second->disconnectFromHost();
  ASSERT_TRUE(waitUntil([&] { return sink.closes.size() == 2; }));
  EXPECT_EQ(sink.connects.size(), 2u);
}

// The stamp is the system's, not the event loop's: the bytes lay 50 ms in the
// kernel before anything ran. And bytes the peer sent just before it closed
// come before the close.
TEST_F(ClientSocketTest, ABlockIsStampedWhenItArrivedAndTheLastBytesComeBeforeTheClose) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  QTcpSocket* peer = accept();
  ASSERT_NE(peer, nullptr);
  const Bytes answer = pattern(59, 3);
  sendFromPeer(peer, answer);
  ASSERT_TRUE(waitUntil([&] { return sink.received() == answer.size(); }));
  ASSERT_EQ(sink.stampAgesUs.size(), 1u);
  EXPECT_GE(sink.stampAgesUs[0], 40'000);
  EXPECT_LT(sink.stampAgesUs[0], 10'000'000);

  const Bytes last = pattern(8, 4);
  peer->write(reinterpret_cast<const char*>(last.data()), static_cast<qint64>(last.size()));
  peer->disconnectFromHost();
  ASSERT_TRUE(waitUntil([&] { return !sink.closes.empty(); }));
  EXPECT_EQ(sink.blocks, (std::vector<Bytes>{answer, last}));
  settle(100);
  EXPECT_EQ(sink.closes, std::vector<int32_t>{0});
}

TEST_F(ClientSocketTest, UserDisconnectAndDestructionAreNotifiedOnceAndThePeerSeesThem) {
  ASSERT_EQ(connect(socket), TcpConnectStart::Connected);
  QTcpSocket* peer = accept();
  ASSERT_NE(peer, nullptr);
  const uint32_t session = socket.session();
  socket.disconnect();
  socket.disconnect();
  EXPECT_NE(socket.session(), session) << "blocks still queued from this connection are the user's to drop";
  ASSERT_TRUE(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(sink.closes, std::vector<int32_t>{0});

  auto owned = std::make_unique<ClientSocket>();
  owned->setNotify(&sink);
  ASSERT_EQ(connect(*owned), TcpConnectStart::Connected);
  peer = accept();
  ASSERT_NE(peer, nullptr);
  owned.reset();
  ASSERT_TRUE(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
  settle(50);
  EXPECT_EQ(sink.closes.size(), 2u);
}
