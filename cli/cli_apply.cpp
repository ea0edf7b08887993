#include "cli/cli_apply.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#include "base/clock.h"
#include "base/text.h"
#include "cli/cli_files.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/safe_change.h"
#include "config/image_diff.h"
#include "fleet/commissioning_bench.h"
#include "fleet/fleet.h"
#include "fleet/provision_plan.h"

namespace velmora::cli {

namespace {

// How long the bench waits for the answer to one address query.
constexpr int kBenchAnswerMs = 1000;
// A timer of the attempt itself, beside the session's and the engine's.
constexpr int kAnswerLimitTimerId = 90;

// ---- one attempt at one device ----

struct AttemptTask {
  Options link;             // the target as velmora-cli's link options, the address to talk to
  bool probe = false;       // only ask the device for its address
  std::optional<uint8_t> setAddress;
  const std::vector<uint8_t>* image = nullptr;
  bool verify = false;
  // Read the device first and write only what differs; with dryRun, only
  // say what would. The backup of what it held goes into backupFolder,
  // named by its serial number or else target.
  bool readFirst = false;
  bool dryRun = false;
  std::string backupFolder;
  std::string target;
};

Options linkOptionsOf(const PlanTarget& t, uint8_t address) {
  Options o;
  setLink(o, t);
  o.address = address;
  o.verbose = false;
  return o;
}

// Connect, set the address, read first, keep a backup, write, read back,
// compare, roll back what did not verify, disconnect; or, as a probe,
// connect and ask the address. Ends once, through ended, posted to the
// loop so the owner may delete the attempt there.
class DeviceAttempt final : private LinkEventSink {
 public:
  using Ended = std::function<void(const AttemptResult&, int reportedAddress)>;

  DeviceAttempt(CliHost& host, AttemptTask task, Ended ended)
      : host_(host),
        task_(std::move(task)),
        ended_(std::move(ended)),
        // A device that does not answer its connect must not hold up the others.
        channels_(host.makeChannels(true)),
        // The sessions run quiet; the attempt says how they ended.
        timers_(host.makeTimers({}, [this](int id) { timerFired(id); })) {
    newSession();
    channels_->setSink(this);
  }
  ~DeviceAttempt() override {
    *alive_ = false;
    session_->finish();
    channels_->setSink(nullptr);
  }
  DeviceAttempt(const DeviceAttempt&) = delete;
  DeviceAttempt& operator=(const DeviceAttempt&) = delete;

  void start() {
    if (task_.probe) timers_->startTimer(kAnswerLimitTimerId, kBenchAnswerMs);
    if (session_->connect() || !session_->connecting()) next();
  }
  // Ends at once, without telling anyone.
  void stop() {
    over_ = true;
    session_->finish();
  }

 private:
  enum class Step { Connect, SetAddress, Probe, ReadFirst, Write, RollbackConnect, Rollback, Over };

  void newSession() {
    if (session_) session_->finish();
    session_ = std::make_unique<CliSession>(task_.link, *timers_, channels_->serial(), channels_->tcp());
    session_->setAsyncPacing(true);
  }

  // Each notification moves the session, then perhaps the attempt, on.
  void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) override {
    if (over_) return;
    session_->onTcpConnectEvent(failedFlag, errorCode);
    advance();
  }
  void onTcpReceive(const uint8_t* block, int32_t count) override {
    if (over_) return;
    session_->onTcpReceive(block, count);
    advance();
  }
  void onTcpClose(int32_t errorCode) override {
    if (over_) return;
    session_->onTcpClose(errorCode);
    advance();
  }
  void onSerialByte(uint8_t byte) override {
    if (over_) return;
    session_->onSerialByte(byte);
    advance();
  }
  void onSerialLost(std::error_code reason) override {
    if (over_) return;
    session_->onSerialLost(reason);
    advance();
  }
  void onArrival(uint64_t steadyUs) override {
    if (!over_) session_->onArrival(steadyUs);
  }

  void timerFired(int id) {
    if (over_) return;
    if (id == kAnswerLimitTimerId) {
      timers_->stopTimer(id);
      end(false, strprintf("no answer within %d ms", kBenchAnswerMs));
      return;
    }
    session_->timerFired(id);
    advance();
  }

  // Moves on once the running step has an outcome.
  void advance() {
    if (over_) return;
    if (step_ == Step::Connect || step_ == Step::RollbackConnect) {
      if (!session_->connecting()) next();
      return;
    }
    if (session_->done()) next();
  }

  void next() {
    const Outcome& o = session_->outcome();
    const bool connecting = step_ == Step::Connect || step_ == Step::RollbackConnect;
    if (o.state == RunState::Failed || (connecting && !session_->linkUp())) {
      const std::string reason = o.reason.empty() ? "the link did not come up" : o.reason;
      // A write that may have reached the device, with verify: put back what it held.
      if (step_ == Step::Write && task_.verify && session_->writeSent() && !before_.empty()) {
        rollBack(reason);
        return;
      }
      if (step_ == Step::RollbackConnect || step_ == Step::Rollback) {
        rollbackFailed(reason);
        return;
      }
      end(false, reason);
      return;
    }
    switch (step_) {
      case Step::Connect:
        if (task_.probe) {
          step_ = Step::Probe;
          session_->startGetAddress();
        } else if (task_.setAddress) {
          step_ = Step::SetAddress;
          session_->startSetAddress(*task_.setAddress);
        } else {
          startWriteOrRead();
        }
        break;
      case Step::SetAddress:
        result_.addressChanged = true;
        talkTo_ = *task_.setAddress;
        session_->beginNext();
        startWriteOrRead();
        break;
      case Step::Probe:
        end(true, {});
        return;
      case Step::ReadFirst:
        if (!decide()) return;
        break;
      case Step::Write:
        if (task_.verify) {
          result_.readBack = session_->receivedImage();
          const std::string mismatch = verifyMismatch(*task_.image, result_.readBack);
          if (!mismatch.empty()) {
            if (!before_.empty()) {
              rollBack(mismatch);
              return;
            }
            end(false, mismatch);
            return;
          }
        }
        end(true, {});
        return;
      case Step::RollbackConnect:
        step_ = Step::Rollback;
        session_->startWrite(before_, true);
        break;
      case Step::Rollback:
        if (session_->receivedImage() != before_) {
          rollbackFailed(verifyMismatch(before_, session_->receivedImage()));
          return;
        }
        change().result = "rolled_back";
        change().changed = false;
        end(false, "rolled back: " + rollbackReason_);
        return;
      case Step::Over: return;
    }
    // A command refused at once has its outcome already.
    advance();
  }

  ChangeReport& change() {
    if (!result_.change) result_.change.emplace();
    return *result_.change;
  }

  void startWriteOrRead() {
    if (!task_.readFirst) {
      startWrite();
      return;
    }
    step_ = Step::ReadFirst;
    session_->startRead();
  }

  // What the device holds decides: nothing to do, only say so, or write
  // after keeping a backup. False when the attempt has ended.
  bool decide() {
    before_ = session_->receivedImage();
    ChangeReport& c = change();
    const ImageDifference difference = diffImages(before_, *task_.image);
    c.diff = diffJson(difference);
    c.diffLines = diffLines(difference, DiffLanguage::English);
    if (before_ == *task_.image) {
      c.result = "unchanged";
      end(true, {});
      return false;
    }
    c.changed = true;
    if (task_.dryRun) {
      c.result = "would_change";
      end(true, {});
      return false;
    }
    std::string why;
    c.backup = saveBackup(task_.backupFolder, before_, task_.target, why);
    if (c.backup.empty()) {
      c.changed = false;
      before_.clear();
      end(false, "the backup could not be written (" + why + "); nothing was written");
      return false;
    }
    session_->beginNext();
    startWrite();
    return true;
  }

  void startWrite() {
    step_ = Step::Write;
    session_->startWrite(*task_.image, task_.verify);
  }

  // A new session on the same channels, to the address the device answers
  // to now, writes back what it held.
  void rollBack(const std::string& why) {
    rollbackReason_ = why;
    task_.link.address = talkTo_;
    newSession();
    step_ = Step::RollbackConnect;
    if (session_->connect() || !session_->connecting()) next();
  }

  void rollbackFailed(const std::string& why) {
    change().result = "failed";
    end(false, rollbackReason_ + "; ROLLBACK FAILED (" + why + "): restore " + change().backup + " by hand");
  }

  void end(bool ok, std::string reason) {
    if (over_) return;
    over_ = true;
    step_ = Step::Over;
    const int reported = session_->reportedAddress();
    session_->finish();
    result_.ok = ok;
    result_.reason = std::move(reason);
    host_.post([this, alive = alive_, result = result_, reported] {
      if (!*alive) return;
      // The owner may delete the attempt in there: the callback must outlive it.
      const Ended ended = std::move(ended_);
      ended(result, reported);
    });
  }

  CliHost& host_;
  AttemptTask task_;
  Ended ended_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<SessionChannels> channels_;
  std::unique_ptr<CliPlatform> timers_;
  std::unique_ptr<CliSession> session_;
  Step step_ = Step::Connect;
  bool over_ = false;
  uint8_t talkTo_ = task_.link.address;
  std::vector<uint8_t> before_;  // what the device held before the write
  std::string rollbackReason_;
  AttemptResult result_;
};

// The read first, the dry run and the backup folder, as the options ask.
void safeChange(AttemptTask& task, const Options& options, const PlanTarget& target) {
  task.readFirst = options.readFirst;
  task.dryRun = options.dryRun;
  task.backupFolder = backupFolder(options.backupDir);
  task.target = targetText(target);
  // A dry run changes nothing, the bus address included.
  if (options.dryRun) task.setAddress.reset();
}

// ---- what apply prints ----

// Report lines into the file (or standard output), progress on standard
// error: one line per finished device, and on a terminal a bar under them.
class ApplyOutput {
 public:
  ApplyOutput(std::FILE* report, bool quiet, bool terminal) : report_(report), quiet_(quiet), bar_(!quiet && terminal) {}

  void finished(const DeviceReport& r, const FleetCounts& c) {
    std::fputs((reportLine(r) + "\n").c_str(), report_);
    std::fflush(report_);
    if (!quiet_ || !r.ok) line(progressLine(r, c));
    if (r.change && r.change->result == "would_change") {
      ++wouldChange_;
      for (const std::string& change : r.change->diffLines) line("  row " + std::to_string(r.row) + ": " + change);
    }
    showBar(c);
  }
  void line(const std::string& text) {
    if (barShown_) std::fputs("\r\033[K", stderr);
    barShown_ = false;
    printError(text);
  }
  void showBar(const FleetCounts& c) {
    if (!bar_) return;
    std::fputs(("\r\033[K" + progressBar(c)).c_str(), stderr);
    std::fflush(stderr);
    barShown_ = true;
  }
  void endBar() {
    if (barShown_) std::fputs("\n", stderr);
    barShown_ = false;
  }
  bool reportOk() const { return std::ferror(report_) == 0; }
  int wouldChange() const { return wouldChange_; }

 private:
  int wouldChange_ = 0;
  std::FILE* report_;
  bool quiet_;
  bool bar_;
  bool barShown_ = false;
};

// ---- the plan in parallel ----

class ParallelApply final : public AttemptStarter {
 public:
  ParallelApply(CliHost& host, const std::vector<FleetDevice>& devices, const Options& options, ApplyOutput& output)
      : host_(host), devices_(devices), options_(options), output_(output) {}

  // One run of the whole plan; its counts. Ctrl-C ends it: the attempts in
  // flight are reported as failed, the rows not reached are not reported.
  FleetCounts run(int runNumber) {
    FleetScheduler scheduler(
        devices_, options_.jobs, *this, [] { return steadyMs(); },
        [this](const DeviceReport& r, const FleetCounts& c) { output_.finished(r, c); });
    scheduler.setRun(options_.runs > 1 ? runNumber : 0);
    scheduler_ = &scheduler;
    const std::unique_ptr<InterruptWatch> watch = host_.watchInterrupt([&] {
      attempts_.clear();
      scheduler.cancel("interrupted");
    });
    output_.showBar(scheduler.counts());
    scheduler.start();
    host_.runUntil([&] { return scheduler.done(); });
    interrupted_ = watch->interrupted();
    attempts_.clear();
    scheduler_ = nullptr;
    return scheduler.counts();
  }
  bool interrupted() const { return interrupted_; }

  void startAttempt(size_t index, uint8_t talkTo, bool setAddress) override {
    const FleetDevice& device = devices_[index];
    AttemptTask task;
    task.link = linkOptionsOf(device.row.target, talkTo);
    if (setAddress) task.setAddress = device.row.setAddress;
    task.image = &device.image;
    task.verify = options_.verify;
    safeChange(task, options_, device.row.target);
    auto attempt = std::make_unique<DeviceAttempt>(host_, std::move(task),
                                                   [this, index](const AttemptResult& result, int) { ended(index, result); });
    DeviceAttempt* a = attempt.get();
    attempts_[index] = std::move(attempt);
    a->start();
  }

 private:
  void ended(size_t index, const AttemptResult& result) {
    attempts_.erase(index);
    if (scheduler_ != nullptr) scheduler_->attemptEnded(index, result);
  }

  CliHost& host_;
  const std::vector<FleetDevice>& devices_;
  const Options& options_;
  ApplyOutput& output_;
  std::map<size_t, std::unique_ptr<DeviceAttempt>> attempts_;
  FleetScheduler* scheduler_ = nullptr;
  bool interrupted_ = false;
};

// ---- the serial commissioning bench ----

// The bench's queries and attempts on the real port, one at a time.
class BenchApply final : public BenchPort {
 public:
  BenchApply(CliHost& host, const std::vector<FleetDevice>& devices, const Options& options, ApplyOutput& output)
      : host_(host),
        options_(options),
        output_(output),
        bench_(devices, options.benchPort, options.pollMs, *this, [] { return steadyMs(); }),
        pollTimer_(host.makeTimers({}, [this](int) {
          pollTimer_->stopTimer(kPollTimerId);
          bench_.pollDue();
        })) {}

  // True when the last row was reached (not interrupted).
  bool run(FleetCounts& counts) {
    const std::unique_ptr<InterruptWatch> watch = host_.watchInterrupt([this] {
      attempt_.reset();
      pollTimer_->stopTimer(kPollTimerId);
      bench_.interrupt();
    });
    bench_.start();
    host_.runUntil([this] { return bench_.done(); });
    attempt_.reset();
    pollTimer_->stopTimer(kPollTimerId);
    counts = bench_.counts();
    return !bench_.interrupted();
  }

  void startProbe() override {
    AttemptTask task;
    task.link = portOptions(1);
    task.probe = true;
    start(std::move(task), [this](const AttemptResult& result, int address) { bench_.probeEnded(result.ok, address); });
  }
  void startConfigure(const FleetDevice& device, uint8_t talkTo, bool setAddress) override {
    AttemptTask task;
    task.link = portOptions(talkTo);
    if (setAddress) task.setAddress = device.row.setAddress;
    task.image = &device.image;
    task.verify = true;
    safeChange(task, options_, device.row.target);
    start(std::move(task), [this](const AttemptResult& result, int) { bench_.configureEnded(result); });
  }
  void startPollWait(int ms) override { pollTimer_->startTimer(kPollTimerId, ms); }
  void say(const std::string& line) override { output_.line(line); }
  void finished(const DeviceReport& report, const FleetCounts& counts) override { output_.finished(report, counts); }

 private:
  static constexpr int kPollTimerId = 1;

  Options portOptions(uint8_t address) const {
    Options o = options_;
    o.tcpHost.clear();
    o.serialDevice = options_.benchPort;
    o.address = address;
    o.verbose = false;
    return o;
  }

  void start(AttemptTask task, DeviceAttempt::Ended then) {
    attempt_ = std::make_unique<DeviceAttempt>(host_, std::move(task),
                                               [this, then](const AttemptResult& result, int address) {
                                                 attempt_.reset();
                                                 then(result, address);
                                               });
    attempt_->start();
  }

  CliHost& host_;
  const Options& options_;
  ApplyOutput& output_;
  CommissioningBench bench_;
  std::unique_ptr<CliPlatform> pollTimer_;
  std::unique_ptr<DeviceAttempt> attempt_;
};

// ---- the plan ----

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Every device's image, or false with the reason printed: nothing is
// reached before the whole plan has passed.
bool loadPlan(const Options& options, std::vector<FleetDevice>& devices) {
  std::string csv;
  if (!readText(options.file, csv)) {
    printReason("cannot read the plan " + options.file + ": " + std::strerror(errno));
    return false;
  }
  const ParsedPlan plan = parsePlan(csv);
  if (!plan.ok) {
    printReason(options.file + ": " + plan.error.text());
    return false;
  }
  std::vector<uint8_t> templateImage;
  if (!loadConfiguration(options.templateFile, templateImage)) return false;
  if (templateImage.empty()) {
    printReason(options.templateFile + ": no units to write");
    return false;
  }
  for (const PlanRow& row : plan.rows) {
    DeviceImage image = deviceImage(templateImage, row);
    if (!image.ok) {
      printReason(options.file + ": " + image.error.text());
      return false;
    }
    devices.push_back(FleetDevice{row, std::move(image.image)});
  }
  return true;
}

}  // namespace

int runApply(CliHost& host, const Options& options) {
  std::vector<FleetDevice> devices;
  if (!loadPlan(options, devices)) return kExitUsage;
  std::FILE* report = stdout;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> reportFile(nullptr, &std::fclose);
  if (!options.reportFile.empty()) {
    reportFile.reset(std::fopen(options.reportFile.c_str(), "w"));
    if (!reportFile) {
      printReason("--report: cannot write " + options.reportFile + ": " + std::strerror(errno));
      return kExitUsage;
    }
    report = reportFile.get();
  }
  // Each connection takes descriptors; the usual limits are below what --jobs allows.
  host.reserveConnections(options.jobs);
  ApplyOutput output(report, !options.verbose, host.errorIsTerminal());
  const uint64_t started = steadyMs();
  FleetCounts counts;
  bool complete = true;
  bool allOk = true;  // every device of every run
  if (!options.benchPort.empty()) {
    BenchApply bench(host, devices, options, output);
    complete = bench.run(counts);
  } else {
    ParallelApply apply(host, devices, options, output);
    for (int run = 1; run <= options.runs && complete; ++run) {
      counts = apply.run(run);
      complete = !apply.interrupted();
      allOk = allOk && counts.ok == counts.total;
      output.endBar();
      if (options.runs > 1)
        output.line(strprintf("run %d of %d: ok %d, failed %d, not reached %d, RSS %ld kB", run, options.runs,
                              counts.ok, counts.failed, counts.remaining(), host.residentKb()));
    }
  }
  output.endBar();
  output.line(strprintf("apply: ok %d, failed %d, not reached %d of %d devices in %.1f s%s", counts.ok,
                        counts.failed, counts.remaining(), counts.total,
                        static_cast<double>(steadyMs() - started) / 1000.0, complete ? "" : " (interrupted)"));
  if (!output.reportOk()) {
    printReason("the report could not be written completely");
    return kExitUsage;
  }
  const bool everyOk = allOk && counts.ok == counts.total;
  // A dry run exits as diff does: 0 nothing to change, 1 something would, 2 trouble.
  if (options.dryRun) return !everyOk ? kExitUsage : output.wouldChange() > 0 ? kExitDifferent : kExitOk;
  return everyOk ? kExitOk : kExitDevice;
}

}  // namespace velmora::cli
