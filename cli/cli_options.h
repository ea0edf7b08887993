// Command line of velmora-cli, parsed apart from any I/O so it can be tested.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/tr_text.h"

namespace velmora {
struct PlanTarget;
}

namespace velmora::cli {

enum class Command { None, Read, Write, Restore, GetAddress, SetAddress, Scan, Dump, Export, Import, Diff, Check, Apply, Help,
                     Version, Ports };

// diff's and check's word for the configuration read live from the device.
inline constexpr const char* kDeviceSide = "device";

struct Options {
  // Link: exactly one of tcpHost / serialDevice for the device commands.
  std::string tcpHost;
  uint16_t tcpPort = 0;
  std::string serialDevice;
  int baud = 9600;
  int dataBits = 8;
  int stopBitsCode = 0;  // the channel's codes (base/line_settings.h)
  int parityCode = 0;
  uint8_t address = 1;

  Command command = Command::None;
  std::string file;      // read / write / dump / export / import / check; diff's first side
  std::string otherFile; // diff's second side
  std::string output;    // export / import: -o FILE
  int newAddress = 0;    // set-address
  std::string scanHost;  // scan --target
  uint16_t scanPort = 0;
  double scanWaitSeconds = 2.0;
  bool force = false;    // read: keep an image whose envelope fails its check
  bool verbose = true;   // log lines on stderr
  bool json = false;     // get-address, scan, dump, diff, check, ports: JSON on stdout
  bool verify = false;   // write: read back and compare
  bool check = false;    // write: refuse a configuration the check finds errors in
  // write, restore, apply: read the device first and write only what differs
  // (--no-read-first: today's blind write); --dry-run only says what would change.
  bool readFirst = true;
  bool dryRun = false;
  std::string backupDir; // --backup-dir: where the configuration read first is kept
  bool trace = false;    // decoded frames on stderr
  std::string traceFile; // decoded frames into FILE
  std::string pcapFile;  // the frames as a pcap capture

  // apply: file is the plan (CSV)
  std::string templateFile;  // --template
  int jobs = 16;             // --jobs: connections at once
  std::string reportFile;    // --report: JSON lines; empty: standard output
  std::string benchPort;     // --bench: the serial commissioning bench's port
  int pollMs = 500;          // --poll-ms: the bench's address query interval
  int runs = 1;              // --runs: the whole plan this many times (soak)
  // --lang: the language of the log lines it shares with the window (its
  // own texts are English); unset, the locale decides as for the window.
  std::optional<Language> language;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line, set when options is empty
};

ParseResult parseArguments(const std::vector<std::string>& args);

// The link of a plan's target in the options: --tcp's host and port, or
// --serial's device with its line settings (--link, and apply's rows).
void setLink(Options& o, const PlanTarget& target);

// "HOST:PORT" with PORT 1..65535 (0 allowed when allowZero).
bool splitHostPort(const std::string& text, std::string& host, uint16_t& port, bool allowZero = false);

std::string usageText();

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDevice = 1;  // time-out, refused, send failed
inline constexpr int kExitUsage = 2;   // usage or file error
// diff: the sides differ (trouble of any kind, the device's too, is kExitUsage).
inline constexpr int kExitDifferent = 1;
// check, write --check: the check found errors.
inline constexpr int kExitCheckErrors = 1;

// The answers that need no platform, the same on every one: a usage error
// (its line on standard error) or the help (on standard output), and the
// exit status; empty when the command is for the platform to run.
std::optional<int> answerBeforeRunning(const ParseResult& parsed);

}  // namespace velmora::cli
