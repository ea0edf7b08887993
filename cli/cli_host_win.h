// velmora-cli's platform on Win32: a message loop on the main thread with a
// message-only window that the channels, the timers and Ctrl-C deliver to,
// the Win32 serial and socket channels, and the console for standard error.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "cli/cli_host.h"
#include "link/message_window_win.h"

namespace velmora::cli {

class WinCliHost final : public CliHost {
 public:
  WinCliHost();
  ~WinCliHost() override;

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

 private:
  MessageWindow window_;
  UINT postMessage_ = 0;
  std::deque<std::function<void()>> posted_;
};

}  // namespace velmora::cli
