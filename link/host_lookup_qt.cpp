#include "link/host_lookup_qt.h"

#include <QHostInfo>
#include <QTimer>

namespace velmora {

QHostAddress firstIpv4(const QHostInfo& info, TcpConnectFailure& failure) {
  for (const QHostAddress& a : info.addresses())
    if (a.protocol() == QAbstractSocket::IPv4Protocol) return a;
  switch (info.error()) {
    case QHostInfo::NoError: failure = TcpConnectFailure::NoIpv4Address; break;
    case QHostInfo::HostNotFound: failure = TcpConnectFailure::HostNotFound; break;
    default: failure = TcpConnectFailure::LookupFailed; break;
  }
  return {};
}

void HostLookup::systemResolver(const QString& name, QObject* context, std::function<void(const QHostInfo&)> answer) {
  QHostInfo::lookupHost(name, context, std::move(answer));
}

void HostLookup::start(const QString& name, int limitMs, Done done) {
  cancel();
  auto* lookup = new QObject(&contexts_);
  current_ = lookup;
  done_ = std::move(done);
  QTimer::singleShot(limitMs, lookup, [this, lookup] { finish(lookup, {}, TcpConnectFailure::LookupTimedOut); });
  const Resolver& resolve = resolver_ ? resolver_ : Resolver(systemResolver);
  resolve(name, lookup, [this, lookup](const QHostInfo& info) {
    TcpConnectFailure failure = TcpConnectFailure::LookupFailed;
    const QHostAddress address = firstIpv4(info, failure);
    finish(lookup, address, failure);
  });
}

void HostLookup::cancel() {
  if (current_ == nullptr) return;
  // Later, not now: cancel may run inside one of this context's own calls.
  current_->deleteLater();
  current_ = nullptr;
  done_ = nullptr;
}

void HostLookup::finish(QObject* lookup, const QHostAddress& address, TcpConnectFailure failure) {
  // An answer after the limit, or of a dropped lookup, is no answer.
  if (lookup != current_) return;
  Done done = std::move(done_);
  cancel();
  if (done) done(address, failure);
}

}  // namespace velmora
