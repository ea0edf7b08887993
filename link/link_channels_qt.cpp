#include "link/link_channels_qt.h"

#include "base/clock.h"
#include "link/link_events_qt.h"
#include "link/port_doctor.h"
#include "link/serial_posix.h"

namespace velmora {

QtLinkChannels::QtLinkChannels(QObject* owner) {
  serial_.owner = owner;
  tcp_.socket.setNotify(owner);
}

QtLinkChannels::~QtLinkChannels() {
  tcp_.socket.disconnect();
  serial_.channel.close();
}

bool QtLinkChannels::dispatch(QEvent* event, LinkEventSink& sink) const {
  return dispatchLinkEvent(event, LinkSessions{serial_.channel.session(), tcp_.socket.session()}, sink);
}

bool QtLinkChannels::Serial::open(const std::string& path, const SerialSettings& settings, std::error_code& error) {
  const bool ok = channel.open(owner, path, settings);
  error = ok ? std::error_code() : channel.lastError();
  return ok;
}

std::vector<std::string> QtLinkChannels::Serial::listPorts() { return lister ? lister() : probeSerialPorts(); }

std::vector<std::string> QtLinkChannels::Serial::openFailureNotes(const std::string& path, const std::error_code& error) {
  const std::unique_ptr<SerialPortSystem> system = makeSerialPortSystem(portFoldersFrom(nullptr));
  return examineOpenFailure(*system, history, path, error, steadyUs());
}

TcpConnectStart QtLinkChannels::Tcp::open(const std::string& host, int32_t port) {
  if (port < 1 || port > 65535) return TcpConnectStart::Failed;
  return socket.connectTo(QString::fromStdString(host), static_cast<quint16>(port));
}

}  // namespace velmora
