// velmora-cli's platform on Qt Core and Network (and POSIX for Ctrl-C and
// the process limits): the Qt event loop, the Qt channels, Qt timers.
// Needs a QCoreApplication.
#pragma once

#include "cli/cli_host.h"

namespace velmora::cli {

class QtCliHost final : public CliHost {
 public:
  std::unique_ptr<CliPlatform> makeTimers(Line errorLine, Fired fired) override;
  std::unique_ptr<SessionChannels> makeChannels(bool asyncConnect) override;
  void runUntil(const std::function<bool()>& done) override;
  void post(std::function<void()> fn) override;
  std::unique_ptr<InterruptWatch> watchInterrupt(std::function<void()> handler) override;
  std::optional<std::string> lookUpIpv4(const std::string& host, TcpConnectFailure& failure) override;
  std::unique_ptr<ScanSocket> openScanSocket(std::function<void(const uint8_t*, int32_t)> replyBlock) override;
  std::unique_ptr<SerialPortSystem> serialPorts() override;
  bool canCreateFile(const std::string& path) override;
  bool errorIsTerminal() override;
  long residentKb() override;
  void reserveConnections(int count) override;
};

}  // namespace velmora::cli
