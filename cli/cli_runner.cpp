#include "cli/cli_runner.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/clock.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "cli/cli_apply.h"
#include "cli/cli_files.h"
#include "cli/cli_output.h"
#include "cli/cli_ports.h"
#include "cli/cli_trace.h"
#include "cli/safe_change.h"
#include "config/image_check.h"
#include "config/image_diff.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
#include "config/image_rules.h"
#include "fleet/fleet.h"
#include "link/scan_logic.h"

namespace velmora::cli {

namespace {

// The run's traffic recorder, when --trace, --trace-file or --pcap asked
// for one; every link the run opens (diff and --verify open more than one
// session) feeds it.
FrameObserver* gTraffic = nullptr;

}  // namespace

DeviceRun::DeviceRun(CliHost& h, const Options& options, FrameObserver* traffic, bool asyncConnect)
    : host(h),
      channels(host.makeChannels(asyncConnect)),
      timers(host.makeTimers(options.verbose ? CliHost::Line(printError) : CliHost::Line(),
                             [this](int id) { session.timerFired(id); })),
      session(options, *timers, channels->serial(), channels->tcp()) {
  channels->setSink(&session);
  session.setFrameObserver(traffic);
}

DeviceRun::~DeviceRun() {
  session.finish();
  channels->setSink(nullptr);
}

bool DeviceRun::connect() {
  if (session.connect()) return true;
  host.runUntil([this] { return !session.connecting(); });
  return session.linkUp() && !session.done();
}

void DeviceRun::waitForOutcome() {
  host.runUntil([this] { return session.done(); });
}

namespace {

// Reports the session's end; returns its exit status.
int finishRun(DeviceRun& run) {
  run.session.finish();
  const Outcome& o = run.session.outcome();
  if (o.state == RunState::Running) {
    // Not reachable by design; never report an unfinished run as a success.
    printReason("the command ended without a result");
    return kExitDevice;
  }
  if (!o.reason.empty()) printReason(o.reason);
  return o.exitCode;
}

// As the window logs a failed save: the file, then the system's reason.
int saveFailed(const std::string& path, const std::string& why) {
  printReason(strprintf("%s: %s", trText("ImageRules", kSaveFileFailed), path.c_str()));
  if (!why.empty()) printReason(strprintf(trText("MainDialog", "原因: %s"), why.c_str()));
  return kExitUsage;
}

void logSaved(const Options& options, const std::string& path, size_t bytes) {
  logLine(options, strprintf(trText("MainDialog", "保存文件: %s (%d 字节)"), absolutePath(path).c_str(),
                             static_cast<int>(bytes)));
}

// The device's configuration, read as read reads it. The run's status, its
// failure already printed.
int readDevice(CliHost& host, const Options& options, std::vector<uint8_t>& image) {
  DeviceRun run(host, options, gTraffic);
  if (run.connect()) {
    run.session.startRead();
    run.waitForOutcome();
  }
  const int status = finishRun(run);
  if (status == kExitOk) image = run.session.receivedImage();
  return status;
}

std::string_view textOf(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A file read whole, or false with the reason printed.
bool readFile(const std::string& path, ImageFileRead& file) {
  file = readImageFile(path);
  if (file.ok()) return true;
  printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), path.c_str()));
  return false;
}

int runRead(CliHost& host, const Options& options) {
  // Refused before the device is asked: a read that cannot be kept is wasted.
  if (!options.json && !host.canCreateFile(options.file)) {
    printReason(strprintf(trText("MainDialog", "保存文件失败: %s"), options.file.c_str()));
    return kExitUsage;
  }
  std::vector<uint8_t> image;
  if (const int status = readDevice(host, options, image); status != kExitOk) return status;
  if (options.json) {
    printOut(exportImageJson(image));
    return kExitOk;
  }
  std::string why;
  if (!writeImageFile(options.file, image, why)) return saveFailed(options.file, why);
  logSaved(options, options.file, image.size());
  return kExitOk;
}

// What the device returned after a write against what was sent: their
// settings first, then, with the same settings, their bytes (a byte no
// setting shows is still not what was written). Empty when the same, else
// the reason, already printed.
std::string readBackMismatch(const std::vector<uint8_t>& written, const std::vector<uint8_t>& read) {
  const ImageDifference difference = diffImages(written, read);
  if (!difference.empty()) {
    for (const std::string& line : diffLines(difference, DiffLanguage::English)) printError(line);
    const std::string reason = "the device holds another configuration than was written (written → read above)";
    printReason(reason);
    return reason;
  }
  if (const std::string where = firstByteDifference(written, read); !where.empty()) {
    const std::string reason = "the device holds other bytes with the same settings (" + where + ")";
    printReason(reason);
    return reason;
  }
  return {};
}

// The device's name where it has no serial number: its target as a plan writes it.
std::string targetOf(const Options& options) {
  return options.tcpHost.empty() ? "serial:" + options.serialDevice
                                 : "tcp:" + options.tcpHost + ":" + std::to_string(options.tcpPort);
}

// One write's end, said on standard output as one object with --json.
struct WriteEnd {
  const Options& options;
  std::string diffJsonArray;
  std::string backup;
  ChangeSides sides;
  int finish(int status, bool changed, ChangeResult result, const std::string& reason = {}) const {
    if (options.json) printOut(changeJson(changed, diffJsonArray, backup, result, reason, sides) + "\n");
    return status;
  }
};

// Writes the backup back after a write that went wrong, and reads it back.
int rollBack(CliHost& host, const Options& options, const std::vector<uint8_t>& before, const WriteEnd& end,
             const std::string& why) {
  printReason("rolling back: writing back what the device held before (" + end.backup + ")");
  DeviceRun run(host, options, gTraffic);
  if (run.connect()) {
    run.session.startWrite(before, true);
    run.waitForOutcome();
  }
  if (finishRun(run) == kExitOk && run.session.receivedImage() == before) {
    printReason("rolled back: the device holds its previous configuration again");
    return end.finish(kExitDevice, false, ChangeResult::RolledBack, "rolled back: " + why);
  }
  const std::string loud = "ROLLBACK FAILED: the device may hold neither configuration; restore it by hand with "
                           "velmora-cli ... restore " + end.backup;
  printReason(loud);
  return end.finish(kExitDevice, true, ChangeResult::Failed, why + "; " + loud);
}

int runWrite(CliHost& host, const Options& options) {
  const bool verify = options.verify || options.command == Command::Restore;
  std::vector<uint8_t> image;
  if (!loadConfiguration(options.file, image)) return kExitUsage;
  // As an empty .vmc file is refused: it would wipe the device's configuration.
  if (image.empty()) {
    printReason(options.file + ": no units to write");
    return kExitUsage;
  }
  logLine(options, strprintf(trText("MainDialog", "打开文件: %s (%llu 字节)"), absolutePath(options.file).c_str(),
                             static_cast<unsigned long long>(image.size())));
  // Said before the transfer, so a refused or failed one still leaves them on
  // the screen; the bytes go as they are, unless --check refuses them.
  const std::vector<CheckFinding> findings = checkImage(image);
  for (const CheckFinding& f : findings) printError(findingLine(f, DiffLanguage::English));
  if (options.check && hasErrors(findings)) {
    printReason(options.file + ": the check found errors, nothing was sent");
    return kExitCheckErrors;
  }
  WriteEnd end{options, {}, {}, {}};
  if (options.json) end.sides.after = settingsLines(image, DiffLanguage::English);
  DeviceRun run(host, options, gTraffic);
  if (!run.connect()) return end.finish(finishRun(run), false, ChangeResult::Failed, run.session.outcome().reason);
  std::vector<uint8_t> before;
  if (options.readFirst) {
    // What runs on the device decides whether anything is written at all.
    run.session.startRead();
    run.waitForOutcome();
    if (run.session.outcome().state != RunState::Succeeded) {
      const int status = finishRun(run);
      return end.finish(options.dryRun ? kExitUsage : status, false, ChangeResult::Failed,
                        run.session.outcome().reason);
    }
    before = run.session.receivedImage();
    end.sides.serial = serialNumberOf(before);
    if (options.json) end.sides.before = settingsLines(before, DiffLanguage::English);
    const ImageDifference difference = diffImages(before, image);
    end.diffJsonArray = diffJson(difference);
    if (before == image) {
      run.session.finish();
      logLine(options, trText("CliSession", "设备已是该配置，未下发"));
      return end.finish(kExitOk, false, ChangeResult::Unchanged);
    }
    if (options.dryRun) {
      run.session.finish();
      if (!options.json) {
        std::string text;
        for (const std::string& line : diffLines(difference, DiffLanguage::English)) text += line + "\n";
        // Other bytes with the same settings still make a write.
        if (difference.empty()) text += firstByteDifference(before, image) + "\n";
        printOut(text);
      }
      return end.finish(kExitDifferent, true, ChangeResult::WouldChange);
    }
    std::string why;
    end.backup = saveBackup(backupFolder(options.backupDir), before, targetOf(options), why);
    if (end.backup.empty()) {
      run.session.finish();
      const std::string reason = "the backup could not be written (" + why + "); nothing was written";
      printReason(reason);
      return end.finish(kExitUsage, false, ChangeResult::Failed, reason);
    }
    logLine(options, strprintf(trText("CliSession", "已备份设备配置: %s"), end.backup.c_str()));
    run.session.beginNext();
  }
  run.session.startWrite(image, verify);
  run.waitForOutcome();
  const bool sent = run.session.writeSent();
  const int status = finishRun(run);
  if (status != kExitOk) {
    const std::string reason = run.session.outcome().reason;
    if (verify && sent && !before.empty()) return rollBack(host, options, before, end, reason);
    return end.finish(status, sent, ChangeResult::Failed, reason);
  }
  if (!verify) return end.finish(kExitOk, true, ChangeResult::Ok);
  if (const std::string mismatch = readBackMismatch(image, run.session.receivedImage()); !mismatch.empty()) {
    if (!before.empty()) return rollBack(host, options, before, end, mismatch);
    return end.finish(kExitDevice, true, ChangeResult::Failed, mismatch);
  }
  logLine(options, trText("MainDialog", "校验完成，设备配置与下发一致"));
  return end.finish(kExitOk, true, ChangeResult::Ok);
}

int runExport(const Options& options) {
  ImageFileRead file;
  if (!readFile(options.file, file)) return kExitUsage;
  if (isJsonDocument(options.file, file.bytes)) {
    printReason(options.file + ": a JSON document already, not a .vmc file");
    return kExitUsage;
  }
  const std::string text = exportImageJson(file.bytes);
  if (options.output.empty()) {
    printOut(text);
    return kExitOk;
  }
  std::string why;
  if (!writeTextFile(options.output, text, why)) return saveFailed(options.output, why);
  logSaved(options, options.output, text.size());
  return kExitOk;
}

int runImport(const Options& options) {
  ImageFileRead file;
  if (!readFile(options.file, file)) return kExitUsage;
  const ImageJsonImport document = importImageJson(textOf(file.bytes));
  if (!document.ok) {
    printReason(options.file + ": " + document.path + ": " + document.reason);
    return kExitUsage;
  }
  // An empty .vmc file is one the window and write refuse to open.
  if (document.image.empty()) {
    printReason(options.file + ": no units, and an empty .vmc file could not be opened");
    return kExitUsage;
  }
  std::string why;
  if (!writeImageFile(options.output, document.image, why)) return saveFailed(options.output, why);
  logSaved(options, options.output, document.image.size());
  return kExitOk;
}

int runDiff(CliHost& host, const Options& options) {
  const std::string* names[2] = {&options.file, &options.otherFile};
  std::vector<uint8_t> sides[2];
  // The files first: a bad one is known before the device is asked.
  for (int i = 0; i < 2; ++i)
    if (*names[i] != kDeviceSide && !loadConfiguration(*names[i], sides[i])) return kExitUsage;
  // Exit status 1 means "different": a device that fails is trouble, 2.
  for (int i = 0; i < 2; ++i)
    if (*names[i] == kDeviceSide && readDevice(host, options, sides[i]) != kExitOk) return kExitUsage;
  const ImageDifference difference = diffImages(sides[0], sides[1]);
  if (options.json) {
    printOut(diffJson(difference) + "\n");
  } else {
    std::string text;
    for (const std::string& line : diffLines(difference, DiffLanguage::English)) text += line + "\n";
    printOut(text);
  }
  return difference.empty() ? kExitOk : kExitDifferent;
}

int runCheck(CliHost& host, const Options& options) {
  std::vector<uint8_t> image;
  if (options.file == kDeviceSide) {
    // 1 means "errors found": a device that fails is trouble, 2.
    if (readDevice(host, options, image) != kExitOk) return kExitUsage;
  } else if (!loadConfiguration(options.file, image)) {
    return kExitUsage;
  }
  const std::vector<CheckFinding> findings = checkImage(image);
  if (options.json) {
    printOut(findingsJson(findings) + "\n");
  } else {
    std::string text;
    for (const CheckFinding& f : findings) text += findingLine(f, DiffLanguage::English) + "\n";
    printOut(text);
  }
  return hasErrors(findings) ? kExitCheckErrors : kExitOk;
}

int runAddress(CliHost& host, const Options& options) {
  DeviceRun run(host, options, gTraffic);
  if (run.connect()) {
    if (options.command == Command::GetAddress)
      run.session.startGetAddress();
    else
      run.session.startSetAddress(options.newAddress);
    run.waitForOutcome();
  }
  // Whatever the device reported is shown, also when it is not what was asked for.
  if (const int address = run.session.reportedAddress(); address >= 0)
    printOut(options.json ? addressJson(address) : strprintf("%d\n", address));
  return finishRun(run);
}

int runDump(const Options& options) {
  ImageFileRead file;
  if (!readFile(options.file, file)) return kExitUsage;
  printOut(options.json ? dumpJson(file.bytes) : dumpText(file.bytes));
  // The units that are there are listed all the same; a file that is not
  // whole units is still no configuration the device would take.
  if (const std::string why = partialUnitReason(file.bytes); !why.empty()) {
    printReason(options.file + ": " + why);
    return kExitUsage;
  }
  return kExitOk;
}

// Every reply block the socket hands over; each new sender printed once,
// at once as text, or all of them at the end as JSON.
int runScan(CliHost& host, const Options& options) {
  TcpConnectFailure failure = TcpConnectFailure::LookupFailed;
  const std::optional<std::string> target = host.lookUpIpv4(options.scanHost, failure);
  if (!target) {
    printReason(failure == TcpConnectFailure::LookupTimedOut
                    ? strprintf("--target: no answer for %s within %d ms", options.scanHost.c_str(), kTcpConnectLimitMs)
                    : "--target: no IPv4 address for " + options.scanHost);
    return kExitUsage;
  }
  FoundDevices found;
  const bool printEach = !options.json;
  std::unique_ptr<ScanSocket> socket = host.openScanSocket([&](const uint8_t* block, int32_t size) {
    const auto entry = scanReplyEntry(block, size);
    if (entry && found.add(*entry) && printEach) printOut(*entry + "\n");
  });
  if (!socket) {
    printReason("the scan socket could not be opened");
    return kExitDevice;
  }
  if (!socket->sendTo(kScanProbe.data(), static_cast<int32_t>(kScanProbe.size()), *target, options.scanPort)) {
    printReason("the probe could not be sent to " + options.scanHost + ":" + std::to_string(options.scanPort));
    return kExitDevice;
  }
  bool over = false;
  std::unique_ptr<CliPlatform> timers = host.makeTimers({}, [&](int) { over = true; });
  timers->startTimer(1, static_cast<int>(options.scanWaitSeconds * 1000.0));
  host.runUntil([&] { return over; });
  timers->stopTimer(1);
  // Replies read in the last pass are taken too.
  socket->close();
  if (options.json) printOut(scanJson(found.entries()));
  return kExitOk;
}

uint64_t epochUsNow() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

int runCommandRecorded(CliHost& host, const Options& options) {
  switch (options.command) {
    case Command::Read: return runRead(host, options);
    case Command::Write:
    case Command::Restore: return runWrite(host, options);
    case Command::GetAddress:
    case Command::SetAddress: return runAddress(host, options);
    case Command::Scan: return runScan(host, options);
    case Command::Dump: return runDump(options);
    case Command::Export: return runExport(options);
    case Command::Import: return runImport(options);
    case Command::Diff: return runDiff(host, options);
    case Command::Check: return runCheck(host, options);
    case Command::Apply: return runApply(host, options);
    case Command::Ports: return runPorts(host, options);
    case Command::Help:
      printOut(usageText());
      return kExitOk;
    case Command::Version:
      printOut("velmora-cli " VELMORA_VERSION "\n");
      return kExitOk;
    case Command::None: break;
  }
  printReason("no command given");
  return kExitUsage;
}

}  // namespace

int runCommand(CliHost& host, const Options& options) {
  if (!options.trace && options.traceFile.empty() && options.pcapFile.empty()) return runCommandRecorded(host, options);
  TrafficRecorder recorder(steadyUs(), epochUsNow());
  if (options.trace) recorder.traceTo(stderr);
  if (!options.traceFile.empty() && !recorder.openTraceFile(options.traceFile)) {
    printReason("--trace-file: cannot write " + options.traceFile + ": " + std::strerror(errno));
    return kExitUsage;
  }
  if (!options.pcapFile.empty() && !recorder.openPcap(options.pcapFile)) {
    printReason("--pcap: cannot write " + options.pcapFile + ": " + std::strerror(errno));
    return kExitUsage;
  }
  gTraffic = &recorder;
  int status = runCommandRecorded(host, options);
  gTraffic = nullptr;
  if (!recorder.finish()) {
    printReason("the trace or capture file could not be written completely");
    if (status == kExitOk) status = kExitUsage;
  }
  return status;
}

}  // namespace velmora::cli
