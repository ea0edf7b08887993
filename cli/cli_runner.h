// velmora-cli's commands, apart from any platform: each one parsed command
// run to its end on a CliHost, results on standard output, log lines and
// the reason of a failure on standard error.
#pragma once

#include "cli/cli_host.h"
#include "cli/cli_options.h"

namespace velmora::cli {

// Runs one parsed command; returns the exit status.
int runCommand(CliHost& host, const Options& options);

// One session over a real link of the host, destroyed in the order that
// keeps every pointer valid: the session before its timers and channels.
struct DeviceRun {
  DeviceRun(CliHost& host, const Options& options, FrameObserver* traffic, bool asyncConnect = false);
  ~DeviceRun();
  DeviceRun(const DeviceRun&) = delete;
  DeviceRun& operator=(const DeviceRun&) = delete;

  // Opens the link; a host name's lookup and connect answer through the
  // loop, each within its limit, so this ends.
  bool connect();
  // Lets events and timers move the session on until it has an outcome.
  // Every running state has a timer pending (a watchdog or the address
  // wait), so this ends.
  void waitForOutcome();

  CliHost& host;
  std::unique_ptr<SessionChannels> channels;
  std::unique_ptr<CliPlatform> timers;
  CliSession session;
};

}  // namespace velmora::cli
