#include "cli/cli_runner_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "base/clock.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "cli/cli_apply_qt.h"
#include "cli/cli_files.h"
#include "cli/cli_platform_qt.h"
#include "cli/cli_ports.h"
#include "cli/cli_session.h"
#include "cli/cli_trace.h"
#include "config/image_check.h"
#include "config/image_diff.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
#include "config/image_rules.h"
#include "link/host_lookup_qt.h"
#include "link/link_channels_qt.h"
#include "link/link_events_qt.h"
#include "link/scan_logic.h"
#include "link/udp_socket_qt.h"

namespace velmora::cli {

namespace {

// The run's traffic recorder, when --trace, --trace-file or --pcap asked
// for one; every link the run opens (diff and --verify open more than one
// session) feeds it.
FrameObserver* gTraffic = nullptr;

void printOut(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void printError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

void printReason(const std::string& reason) { printError("velmora-cli: " + reason); }

// Takes what the channels post and hands it to the session, in order; what
// a closed link left in the queue goes nowhere, as in the window.
class SessionEvents final : public QObject {
 public:
  void setSession(CliSession* session, const QtLinkChannels* channels) {
    session_ = session;
    channels_ = channels;
  }

 protected:
  void customEvent(QEvent* event) override {
    if (session_ == nullptr || channels_ == nullptr) return;
    if (!channels_->dispatch(event, *session_)) QObject::customEvent(event);
  }

 private:
  CliSession* session_ = nullptr;
  const QtLinkChannels* channels_ = nullptr;
};

// One session over a real link; destroyed in the order that keeps every
// pointer valid: the session first, the channels (which post to the event
// object) before the event object.
struct DeviceRun {
  explicit DeviceRun(const Options& options)
      : channels(&events), session(options, platform, channels.serial(), channels.tcp()) {
    // The command line names its device: no port is probed.
    channels.setPortLister([] { return std::vector<std::string>{}; });
    events.setSession(&session, &channels);
    platform.setFired([this](int id) { session.timerFired(id); });
    session.setFrameObserver(gTraffic);
  }
  ~DeviceRun() {
    events.setSession(nullptr, nullptr);
    platform.setFired({});
  }

  // Opens the link; a host name's lookup and connect answer through the
  // event loop, each within its limit, so this ends.
  bool connect() {
    if (session.connect()) return true;
    while (session.connecting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return session.linkUp() && !session.done();
  }

  // Lets events and timers move the session on until it has an outcome.
  // Every running state has a timer pending (a watchdog or the address
  // wait), so this ends.
  void waitForOutcome() {
    while (!session.done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }

  SessionEvents events;
  QtLinkChannels channels;
  QtPlatform platform{printError};
  CliSession session;
};

void logLine(const Options& options, const std::string& text) {
  if (options.verbose) printError(terminalLogLine(localTimeNow(), text));
}

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
  logLine(options, strprintf(trText("MainDialog", "保存文件: %s (%d 字节)"),
                             QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString().c_str(),
                             static_cast<int>(bytes)));
}

// The device's configuration, read as read reads it. The run's status, its
// failure already printed.
int readDevice(const Options& options, std::vector<uint8_t>& image) {
  DeviceRun run(options);
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

}  // namespace

bool loadConfiguration(const std::string& path, std::vector<uint8_t>& image) {
  ImageFileRead file = readImageFile(path);
  if (!file.ok()) {
    printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), path.c_str()));
    return false;
  }
  if (!isJsonDocument(path, file.bytes)) {
    image = std::move(file.bytes);
    return true;
  }
  ImageJsonImport document = importImageJson(textOf(file.bytes));
  if (!document.ok) {
    printReason(path + ": " + document.path + ": " + document.reason);
    return false;
  }
  image = std::move(document.image);
  return true;
}

namespace {

int runRead(const Options& options) {
  // Refused before the device is asked: a read that cannot be kept is wasted.
  const QFileInfo target(QString::fromStdString(options.file));
  const QFileInfo directory(target.absolutePath());
  if (target.isDir() || !directory.isDir() || !directory.isWritable()) {
    printReason(strprintf(trText("MainDialog", "保存文件失败: %s"), options.file.c_str()));
    return kExitUsage;
  }
  std::vector<uint8_t> image;
  if (const int status = readDevice(options, image); status != kExitOk) return status;
  std::string why;
  if (!writeImageFile(options.file, image, why)) return saveFailed(options.file, why);
  logSaved(options, options.file, image.size());
  return kExitOk;
}

// What the device returned after a write against what was sent: their
// settings first, then, with the same settings, their bytes (a byte no
// setting shows is still not what was written).
int verifyReadBack(const Options& options, const std::vector<uint8_t>& written, const std::vector<uint8_t>& read) {
  const ImageDifference difference = diffImages(written, read);
  if (!difference.empty()) {
    for (const std::string& line : diffLines(difference, DiffLanguage::English)) printError(line);
    printReason("the device holds another configuration than was written (written → read above)");
    return kExitDevice;
  }
  if (const std::string where = firstByteDifference(written, read); !where.empty()) {
    printReason("the device holds other bytes with the same settings (" + where + ")");
    return kExitDevice;
  }
  logLine(options, trText("MainDialog", "校验完成，设备配置与下发一致"));
  return kExitOk;
}

int runWrite(const Options& options) {
  std::vector<uint8_t> image;
  if (!loadConfiguration(options.file, image)) return kExitUsage;
  // As an empty .vmc file is refused: it would wipe the device's configuration.
  if (image.empty()) {
    printReason(options.file + ": no units to write");
    return kExitUsage;
  }
  logLine(options, strprintf(trText("MainDialog", "打开文件: %s (%llu 字节)"),
                             QFileInfo(QString::fromStdString(options.file)).absoluteFilePath().toStdString().c_str(),
                             static_cast<unsigned long long>(image.size())));
  // Said before the transfer, so a refused or failed one still leaves them on
  // the screen; the bytes go as they are, unless --check refuses them.
  const std::vector<CheckFinding> findings = checkImage(image);
  for (const CheckFinding& f : findings) printError(findingLine(f, DiffLanguage::English));
  if (options.check && hasErrors(findings)) {
    printReason(options.file + ": the check found errors, nothing was sent");
    return kExitCheckErrors;
  }
  DeviceRun run(options);
  if (run.connect()) {
    run.session.startWrite(image, options.verify);
    run.waitForOutcome();
  }
  const int status = finishRun(run);
  if (status != kExitOk || !options.verify) return status;
  return verifyReadBack(options, image, run.session.receivedImage());
}

int runExport(const Options& options) {
  const ImageFileRead file = readImageFile(options.file);
  if (!file.ok()) {
    printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), options.file.c_str()));
    return kExitUsage;
  }
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
  const ImageFileRead file = readImageFile(options.file);
  if (!file.ok()) {
    printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), options.file.c_str()));
    return kExitUsage;
  }
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

int runDiff(const Options& options) {
  const std::string* names[2] = {&options.file, &options.otherFile};
  std::vector<uint8_t> sides[2];
  // The files first: a bad one is known before the device is asked.
  for (int i = 0; i < 2; ++i)
    if (*names[i] != kDeviceSide && !loadConfiguration(*names[i], sides[i])) return kExitUsage;
  // Exit status 1 means "different": a device that fails is trouble, 2.
  for (int i = 0; i < 2; ++i)
    if (*names[i] == kDeviceSide && readDevice(options, sides[i]) != kExitOk) return kExitUsage;
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

int runCheck(const Options& options) {
  std::vector<uint8_t> image;
  if (options.file == kDeviceSide) {
    // 1 means "errors found": a device that fails is trouble, 2.
    if (readDevice(options, image) != kExitOk) return kExitUsage;
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

int runAddress(const Options& options) {
  DeviceRun run(options);
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
  const ImageFileRead file = readImageFile(options.file);
  if (!file.ok()) {
    printReason(strprintf("%s: %s", trText("ImageRules", file.error.c_str()), options.file.c_str()));
    return kExitUsage;
  }
  printOut(options.json ? dumpJson(file.bytes) : dumpText(file.bytes));
  // The units that are there are listed all the same; a file that is not
  // whole units is still no configuration the device would take.
  if (const std::string why = partialUnitReason(file.bytes); !why.empty()) {
    printReason(options.file + ": " + why);
    return kExitUsage;
  }
  return kExitOk;
}

// Takes every reply block the socket posts and prints each new sender once,
// at once as text, or all of them at the end as JSON.
class ScanEvents final : public QObject {
 public:
  explicit ScanEvents(bool printEach) : printEach_(printEach) {}
  const std::vector<std::string>& found() const { return found_.entries(); }

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != ScanReplyEvent::kType) {
      QObject::customEvent(event);
      return;
    }
    const auto* e = static_cast<ScanReplyEvent*>(event);
    const auto entry = scanReplyEntry(e->block.data(), static_cast<int32_t>(e->block.size()));
    if (entry && found_.add(*entry) && printEach_) printOut(*entry + "\n");
  }

 private:
  bool printEach_;
  FoundDevices found_;
};

// The IPv4 address host stands for: a dotted address as it is, a name as
// the resolver answers within the connect limit. Null when there is none.
QHostAddress lookUpIpv4(const std::string& host, TcpConnectFailure& failure) {
  const QString name = QString::fromStdString(host);
  QHostAddress literal;
  if (literal.setAddress(name)) {
    failure = TcpConnectFailure::NoIpv4Address;
    return literal.protocol() == QAbstractSocket::IPv4Protocol ? literal : QHostAddress();
  }
  QHostAddress found;
  bool answered = false;
  QEventLoop loop;
  HostLookup lookup;
  lookup.start(name, kTcpConnectLimitMs, [&](const QHostAddress& address, TcpConnectFailure why) {
    found = address;
    failure = why;
    answered = true;
    loop.quit();
  });
  if (!answered) loop.exec();
  return found;
}

int runScan(const Options& options) {
  TcpConnectFailure failure = TcpConnectFailure::LookupFailed;
  const QHostAddress target = lookUpIpv4(options.scanHost, failure);
  if (target.isNull()) {
    printReason(failure == TcpConnectFailure::LookupTimedOut
                    ? strprintf("--target: no answer for %s within %d ms", options.scanHost.c_str(), kTcpConnectLimitMs)
                    : "--target: no IPv4 address for " + options.scanHost);
    return kExitUsage;
  }
  ScanEvents events(!options.json);
  UdpSocket socket;
  if (!socket.open(&events)) {
    printReason("the scan socket could not be opened");
    return kExitDevice;
  }
  if (!socket.sendTo(kScanProbe.data(), static_cast<int32_t>(kScanProbe.size()), target, options.scanPort)) {
    printReason("the probe could not be sent to " + options.scanHost + ":" + std::to_string(options.scanPort));
    return kExitDevice;
  }
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(options.scanWaitSeconds * 1000.0), &loop, &QEventLoop::quit);
  loop.exec();
  // Replies the socket read in the last pass are still posted: take them too.
  QCoreApplication::sendPostedEvents(&events);
  socket.Close();
  if (options.json) printOut(scanJson(events.found()));
  return kExitOk;
}

}  // namespace

namespace {
int runCommandRecorded(const Options& options);

uint64_t epochUsNow() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}
}  // namespace

int runCommand(const Options& options) {
  if (!options.trace && options.traceFile.empty() && options.pcapFile.empty()) return runCommandRecorded(options);
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
  int status = runCommandRecorded(options);
  gTraffic = nullptr;
  if (!recorder.finish()) {
    printReason("the trace or capture file could not be written completely");
    if (status == kExitOk) status = kExitUsage;
  }
  return status;
}

namespace {
int runCommandRecorded(const Options& options) {
  switch (options.command) {
    case Command::Read: return runRead(options);
    case Command::Write: return runWrite(options);
    case Command::GetAddress:
    case Command::SetAddress: return runAddress(options);
    case Command::Scan: return runScan(options);
    case Command::Dump: return runDump(options);
    case Command::Export: return runExport(options);
    case Command::Import: return runImport(options);
    case Command::Diff: return runDiff(options);
    case Command::Check: return runCheck(options);
    case Command::Apply: return runApply(options);
    case Command::Ports: return runPorts(options);
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

}  // namespace velmora::cli
