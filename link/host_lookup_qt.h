// A host name looked up off the UI thread, with a time limit: the answer
// comes back on the UI thread, once, and never after the limit.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

#include "link/connect_logic.h"

class QHostInfo;

namespace velmora {

class HostLookup {
 public:
  // Starts looking name up and calls answer once on the UI thread, unless
  // context is destroyed first. The system's runs in Qt's lookup threads;
  // tests put in their own.
  using Resolver =
      std::function<void(const QString& name, QObject* context, std::function<void(const QHostInfo&)> answer)>;
  // The first IPv4 address of the name, or a null address and why not.
  using Done = std::function<void(const QHostAddress& address, TcpConnectFailure failure)>;

  HostLookup() = default;
  ~HostLookup() = default;  // drops a running lookup: its answer is lost
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

  // Empty: the system's resolver.
  void setResolver(Resolver resolver) { resolver_ = std::move(resolver); }

  // Looks name up; done runs on the UI thread with the answer, or with
  // LookupTimedOut after limitMs. A lookup still running is dropped first.
  // done must not destroy this object.
  void start(const QString& name, int limitMs, Done done);
  // Drops the running lookup; its done never runs.
  void cancel();
  bool busy() const { return current_ != nullptr; }

  static void systemResolver(const QString& name, QObject* context, std::function<void(const QHostInfo&)> answer);

 private:
  void finish(QObject* lookup, const QHostAddress& address, TcpConnectFailure failure);

  Resolver resolver_;
  // Parent of one context per lookup; a context's end drops its answer and
  // its timer, and they all go with this object.
  QObject contexts_;
  QObject* current_ = nullptr;
  Done done_;
};

// The first IPv4 address of a lookup's answer, or a null address and why not.
QHostAddress firstIpv4(const QHostInfo& info, TcpConnectFailure& failure);

}  // namespace velmora
