#include "cli/cli_options.h"

#include <cstdio>
#include <cstdlib>

#include "base/line_settings.h"
#include "base/text.h"
#include "fleet/provision_plan.h"

namespace velmora::cli {

static bool parseInt(const std::string& text, long min, long max, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

bool splitHostPort(const std::string& text, std::string& host, uint16_t& port, bool allowZero) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  long p = 0;
  if (!parseInt(text.substr(colon + 1), allowZero ? 0 : 1, 65535, p)) return false;
  host = text.substr(0, colon);
  port = static_cast<uint16_t>(p);
  return true;
}

void setLink(Options& o, const PlanTarget& t) {
  if (t.kind == PlanTarget::Kind::Tcp) {
    o.tcpHost = t.host;
    o.tcpPort = t.port;
  } else {
    o.serialDevice = t.path;
    o.baud = t.baud;
    o.dataBits = t.dataBits;
    o.parityCode = t.parityCode;
    o.stopBitsCode = t.stopBitsCode;
  }
}

std::string usageText() {
  return "usage: velmora-cli (--tcp HOST:PORT | --serial DEVICE [--baud B] [--data-bits D]\n"
         "                   [--stop-bits 1|1.5|2] [--parity none|odd|even|mark|space]\n"
         "                   | --link tcp:HOST:PORT|serial:PATH[@BAUD[,8N1]])\n"
         "                   [--address N] [--quiet] [--trace] [--trace-file FILE]\n"
         "                   [--pcap FILE] [--lang zh|en] COMMAND\n"
         "       velmora-cli scan --target HOST:PORT [--wait SECONDS] [--json]\n"
         "       velmora-cli dump FILE [--json]\n"
         "       velmora-cli export FILE.vmc [-o FILE.json]\n"
         "       velmora-cli import FILE.json -o FILE.vmc\n"
         "       velmora-cli [LINK] diff A B [--json]\n"
         "       velmora-cli [LINK] check FILE [--json]\n"
         "       velmora-cli apply PLAN.csv --template FILE [--jobs N] [--verify] [--report FILE]\n"
         "                   [--dry-run] [--no-read-first] [--backup-dir DIR]\n"
         "       velmora-cli apply PLAN.csv --template FILE --bench DEVICE [--baud B ...]\n"
         "                   [--poll-ms MS] [--report FILE]\n"
         "       velmora-cli ports [--json]\n"
         "       velmora-cli --version\n"
         "commands:\n"
         "  read FILE [--force]  read the device's configuration into FILE (.vmc)\n"
         "  read --json          print the device's configuration as a JSON document\n"
         "  write FILE [--verify] [--check] [--dry-run] [--no-read-first] [--backup-dir DIR] [--json]\n"
         "                       write FILE's configuration to the device, after printing what\n"
         "                       the check finds in it; --check refuses (1) when it finds an\n"
         "                       error, sending nothing; the device is read first: when it\n"
         "                       holds FILE's bytes already nothing is written (unchanged),\n"
         "                       else what it held is kept as a JSON backup in --backup-dir\n"
         "                       (default $XDG_STATE_HOME/velmora/backups) before the write;\n"
         "                       --verify reads the configuration back and, when the device\n"
         "                       holds anything else or the link fails during the write,\n"
         "                       writes the backup back (rolled back, 1); --dry-run prints\n"
         "                       what would change and writes nothing (0 nothing, 1 something,\n"
         "                       2 trouble); --no-read-first writes blind, as before\n"
         "  restore BACKUP.json  write --verify of a backup the tool kept\n"
         "  get-address [--json] print the device's bus address\n"
         "  set-address N        change the device's bus address (1-255)\n"
         "  scan                 list the devices that answer the probe at --target\n"
         "  dump FILE            list FILE's units as the parameter list shows them\n"
         "  export FILE.vmc      the configuration as a JSON document, on stdout or into -o FILE\n"
         "  import FILE.json     the JSON document as a configuration file, into -o FILE\n"
         "  diff A B             the settings that differ from A to B, one per line; A and B\n"
         "                       are files or the word device (read over --tcp/--serial)\n"
         "  check FILE           the settings that cannot work (overlapping registers, a mask\n"
         "                       that is no mask, a port twice...), one per line; FILE is a\n"
         "                       file or the word device\n"
         "  apply PLAN.csv       configure every device of a provisioning plan: each gets the\n"
         "                       template with its row's settings (docs/provisioning.md); TCP\n"
         "                       devices in parallel, at most --jobs (default 16) at once, rows\n"
         "                       on one serial port one after another; a device that fails is\n"
         "                       tried once more; --verify reads each one back and compares;\n"
         "                       one JSON line per device into --report FILE (default stdout),\n"
         "                       progress on stderr; exit 1 when any device failed\n"
         "  apply --bench DEVICE the serial commissioning bench: row after row, wait for a\n"
         "                       device to answer on DEVICE (an address query every --poll-ms,\n"
         "                       default 500), configure and verify it, say \"next device\" and\n"
         "                       wait until it is gone; the line is --baud etc. (9600 8N1);\n"
         "                       Ctrl-C ends it with the report of what was done\n"
         "  ports                the serial ports present, stable links first: the device node,\n"
         "                       the USB adapter's ids, whether it opens now and, when not,\n"
         "                       why and what to do; VELMORA_SERIAL_DIRS=DIR:DIR lists those\n"
         "                       folders instead of /dev and /dev/serial/by-id\n"
         "files: write, diff and check take .vmc files and JSON documents alike; a file is JSON when\n"
         "  its name ends in .json or, failing that, its first non-blank byte is '{'\n"
         "--trace: every frame on the link on stderr (ms, -> sent / <- received, hex, meaning);\n"
         "  --trace-file FILE the same into FILE; --pcap FILE the frames as a pcap capture\n"
         "  (link type USER0, a direction byte 0 sent / 1 received before each frame)\n"
         "--json: get-address, scan, dump, diff, check, ports and read print JSON instead of text; write\n"
         "  and restore one object (changed, diff, backup, result, reason, serial, and the\n"
         "  settings before and after, one line each, when the device was read first)\n"
         "--lang zh|en: the language of the log lines shared with the window (default: the\n"
         "  locale, LC_ALL / LC_MESSAGES / LANG; Chinese unless it is English)\n"
         "exit status: 0 success, 1 device or transfer failure, 2 usage or file error;\n"
         "  diff: 0 equal, 1 different, 2 trouble (usage, files, the device or the link);\n"
         "  check: 0 no error (warnings and notes allowed), 1 errors, 2 trouble\n";
}

ParseResult parseArguments(const std::vector<std::string>& args) {
  Options o;
  auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };
  std::vector<std::string> positional;
  bool jobsGiven = false, pollGiven = false, linkGiven = false, tcpOrSerialGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--version") {
      o.command = Command::Version;
      return ParseResult{o, {}};
    }
    if (a == "-h" || a == "--help") {
      o.command = Command::Help;
      return ParseResult{o, {}};
    } else if (a == "--tcp") {
      tcpOrSerialGiven = true;
      if (!value(v) || !splitHostPort(v, o.tcpHost, o.tcpPort)) return fail("--tcp needs HOST:PORT with a port of 1-65535");
    } else if (a == "--serial") {
      tcpOrSerialGiven = true;
      if (!value(o.serialDevice) || o.serialDevice.empty()) return fail("--serial needs a device path");
    } else if (a == "--link") {
      // A plan's target in one argument, for callers that configure one
      // device as apply configures many (Ansible's modules).
      PlanTarget t;
      if (!value(v)) return fail("--link needs tcp:HOST:PORT or serial:PATH[@BAUD[,8N1]]");
      if (const auto why = parsePlanTarget(v, t)) return fail("--link " + v + ": " + *why);
      setLink(o, t);
      linkGiven = true;
    } else if (a == "--baud") {
      long b = 0;
      if (!value(v) || !parseInt(v, 1, 4000000, b)) return fail("--baud needs a positive number");
      o.baud = static_cast<int>(b);
    } else if (a == "--data-bits") {
      long d = 0;
      if (!value(v) || !parseInt(v, 5, 8, d)) return fail("--data-bits needs 5, 6, 7 or 8");
      o.dataBits = static_cast<int>(d);
    } else if (a == "--stop-bits") {
      const auto stopBits = value(v) ? stopBitsNamed(v) : std::nullopt;
      if (!stopBits) return fail("--stop-bits needs 1, 1.5 or 2");
      o.stopBitsCode = channelCode(*stopBits);
    } else if (a == "--parity") {
      const auto parity = value(v) ? parityNamed(v) : std::nullopt;
      if (!parity) return fail("--parity needs none, odd, even, mark or space");
      o.parityCode = channelCode(*parity);
    } else if (a == "--address") {
      long n = 0;
      if (!value(v) || !parseInt(v, 1, 255, n)) return fail("--address needs a number of 1-255");
      o.address = static_cast<uint8_t>(n);
    } else if (a == "--target") {
      if (!value(v) || !splitHostPort(v, o.scanHost, o.scanPort)) return fail("--target needs HOST:PORT");
    } else if (a == "--wait") {
      if (!value(v)) return fail("--wait needs seconds");
      char* end = nullptr;
      o.scanWaitSeconds = std::strtod(v.c_str(), &end);
      if (end == nullptr || *end != '\0' || !(o.scanWaitSeconds > 0) || o.scanWaitSeconds > 600) return fail("--wait needs 0 < SECONDS <= 600");
    } else if (a == "-o" || a == "--output") {
      if (!value(o.output) || o.output.empty()) return fail(a + " needs a FILE");
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--verify") {
      o.verify = true;
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--dry-run") {
      o.dryRun = true;
    } else if (a == "--no-read-first") {
      o.readFirst = false;
    } else if (a == "--backup-dir") {
      if (!value(o.backupDir) || o.backupDir.empty()) return fail("--backup-dir needs a DIR");
    } else if (a == "--force") {
      o.force = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--trace-file") {
      if (!value(o.traceFile) || o.traceFile.empty()) return fail("--trace-file needs a FILE");
    } else if (a == "--pcap") {
      if (!value(o.pcapFile) || o.pcapFile.empty()) return fail("--pcap needs a FILE");
    } else if (a == "--template") {
      if (!value(o.templateFile) || o.templateFile.empty()) return fail("--template needs a FILE");
    } else if (a == "--report") {
      if (!value(o.reportFile) || o.reportFile.empty()) return fail("--report needs a FILE");
    } else if (a == "--bench") {
      if (!value(o.benchPort) || o.benchPort.empty()) return fail("--bench needs a serial device path");
    } else if (a == "--jobs" || a == "-j") {
      long n = 0;
      if (!value(v) || !parseInt(v, 1, 1000, n)) return fail("--jobs needs a number of 1-1000");
      o.jobs = static_cast<int>(n);
      jobsGiven = true;
    } else if (a == "--poll-ms") {
      long n = 0;
      if (!value(v) || !parseInt(v, 10, 10000, n)) return fail("--poll-ms needs 10-10000 milliseconds");
      o.pollMs = static_cast<int>(n);
      pollGiven = true;
    } else if (a == "--runs") {
      long n = 0;
      if (!value(v) || !parseInt(v, 1, 1000, n)) return fail("--runs needs a number of 1-1000");
      o.runs = static_cast<int>(n);
    } else if (a == "--lang" || a.rfind("--lang=", 0) == 0) {
      std::vector<std::string> one{a};
      if (a == "--lang" && value(v)) one.push_back(v);
      const LanguageOption lang = findLanguageOption(one);
      if (!lang.language) return fail(lang.error);
      o.language = lang.language;
    } else if (a == "--quiet" || a == "-q") {
      o.verbose = false;
    } else if (!a.empty() && a[0] == '-') {
      return fail("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty())
    return fail("no command given (read, write, get-address, set-address, scan, dump, export, import, diff, check, ports)");
  const std::string& name = positional[0];
  const size_t extra = positional.size() - 1;
  if (name == "read" && o.json) {
    if (extra != 0) return fail("read --json prints the configuration and takes no FILE");
    o.command = Command::Read;
  } else if (name == "read" || name == "write" || name == "restore" || name == "dump") {
    if (extra != 1) return fail(name + " needs exactly one FILE");
    o.command = name == "read"      ? Command::Read
                : name == "write"   ? Command::Write
                : name == "restore" ? Command::Restore
                                    : Command::Dump;
    o.file = positional[1];
  } else if (name == "export" || name == "import") {
    if (extra != 1) return fail(name + " needs exactly one FILE");
    o.command = name == "export" ? Command::Export : Command::Import;
    o.file = positional[1];
    if (o.command == Command::Import && o.output.empty()) return fail("import needs -o FILE.vmc");
  } else if (name == "diff") {
    if (extra != 2) return fail("diff needs two sides, each a FILE or device");
    o.command = Command::Diff;
    o.file = positional[1];
    o.otherFile = positional[2];
    if (o.file == kDeviceSide && o.otherFile == kDeviceSide) return fail("diff can read only one side from the device");
  } else if (name == "check") {
    if (extra != 1) return fail("check needs exactly one FILE or device");
    o.command = Command::Check;
    o.file = positional[1];
  } else if (name == "get-address") {
    if (extra != 0) return fail("get-address takes no argument");
    o.command = Command::GetAddress;
  } else if (name == "set-address") {
    long n = 0;
    if (extra != 1 || !parseInt(positional[1], 1, 255, n)) return fail("set-address needs N of 1-255");
    o.command = Command::SetAddress;
    o.newAddress = static_cast<int>(n);
  } else if (name == "apply") {
    if (extra != 1) return fail("apply needs exactly one PLAN.csv");
    if (o.templateFile.empty()) return fail("apply needs --template FILE");
    o.command = Command::Apply;
    o.file = positional[1];
  } else if (name == "ports") {
    if (extra != 0) return fail("ports takes no argument");
    o.command = Command::Ports;
  } else if (name == "scan") {
    if (extra != 0) return fail("scan takes no argument");
    if (o.scanHost.empty()) return fail("scan needs --target HOST:PORT");
    o.command = Command::Scan;
  } else {
    return fail("unknown command " + name);
  }
  if (!o.output.empty() && o.command != Command::Export && o.command != Command::Import)
    return fail("-o is for export and import");
  const bool writes = o.command == Command::Write || o.command == Command::Restore || o.command == Command::Apply;
  if (o.json && o.command != Command::GetAddress && o.command != Command::Scan && o.command != Command::Dump &&
      o.command != Command::Diff && o.command != Command::Check && o.command != Command::Write &&
      o.command != Command::Restore && o.command != Command::Ports && o.command != Command::Read)
    return fail("--json is for get-address, scan, dump, diff, check, ports, read, write and restore");
  if (o.verify && o.command != Command::Write && o.command != Command::Apply)
    return fail("--verify is for write and apply");
  if ((o.dryRun || !o.readFirst || !o.backupDir.empty()) && !writes)
    return fail("--dry-run, --no-read-first and --backup-dir are for write, restore and apply");
  if (o.dryRun && !o.readFirst) return fail("--dry-run reads the device first; it does not go with --no-read-first");
  const bool applyOnly = !o.templateFile.empty() || !o.reportFile.empty() || !o.benchPort.empty() || jobsGiven ||
                         pollGiven || o.runs != 1;
  if (applyOnly && o.command != Command::Apply)
    return fail("--template, --jobs, --report, --bench, --poll-ms and --runs are for apply");
  if (o.command == Command::Apply) {
    // The plan names every device; a link of its own would be a second answer.
    if (!o.tcpHost.empty() || !o.serialDevice.empty())
      return fail("apply takes its devices from the plan; --tcp and --serial are not for apply");
    if (o.trace || !o.traceFile.empty() || !o.pcapFile.empty())
      return fail("--trace, --trace-file and --pcap are not for apply");
    if (!o.benchPort.empty() && o.runs != 1) return fail("--runs is not for --bench");
    if (pollGiven && o.benchPort.empty())
      return fail("--poll-ms is for --bench");
  }
  if (o.check && o.command != Command::Write) return fail("--check is for write");
  const bool deviceSide = (o.command == Command::Diff && (o.file == kDeviceSide || o.otherFile == kDeviceSide)) ||
                          (o.command == Command::Check && o.file == kDeviceSide);
  const bool needsLink = o.command == Command::Read || o.command == Command::Write || o.command == Command::Restore ||
                         o.command == Command::GetAddress || o.command == Command::SetAddress || deviceSide;
  if ((o.trace || !o.traceFile.empty() || !o.pcapFile.empty()) && !needsLink)
    return fail("--trace, --trace-file and --pcap are for the commands that use the link");
  if (needsLink) {
    const bool tcp = !o.tcpHost.empty();
    const bool serial = !o.serialDevice.empty();
    if (tcp == serial || (linkGiven && tcpOrSerialGiven))
      return fail("give exactly one of --tcp HOST:PORT, --serial DEVICE or --link TARGET");
  }
  return ParseResult{o, {}};
}

std::optional<int> answerBeforeRunning(const ParseResult& parsed) {
  if (!parsed.options) {
    std::fprintf(stderr, "velmora-cli: %s (see --help)\n", parsed.error.c_str());
    return kExitUsage;
  }
  if (parsed.options->command == Command::Help) {
    std::fputs(usageText().c_str(), stdout);
    return kExitOk;
  }
  return std::nullopt;
}

}  // namespace velmora::cli
