#include "cli/cli_apply_qt.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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
#include "cli/cli_platform_qt.h"
#include "cli/cli_runner_qt.h"
#include "cli/cli_session.h"
#include "cli/fleet.h"
#include "config/provision_plan.h"
#include "link/link_channels_qt.h"

namespace velmora::cli {

namespace {

// How long the bench waits for the answer to one address query.
constexpr int kBenchAnswerMs = 1000;
// A timer of the attempt itself, beside the session's and the engine's.
constexpr int kAnswerLimitTimerId = 90;

void printError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

void printReason(const std::string& reason) { printError("velmora-cli: " + reason); }

// ---- SIGINT: a flag the event loop hears through a pipe ----

int gInterruptPipe[2] = {-1, -1};

extern "C" void onInterrupt(int) {
  const int saved = errno;
  const char byte = 1;
  if (gInterruptPipe[1] >= 0) (void)!write(gInterruptPipe[1], &byte, 1);
  errno = saved;
}

// Ctrl-C while apply runs ends the run cleanly: the report keeps what was
// done. The default comes back when the object goes.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> handler) {
    if (gInterruptPipe[0] < 0 && pipe2(gInterruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gInterruptPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this, handler] {
      char buffer[16];
      while (read(gInterruptPipe[0], buffer, sizeof buffer) > 0) {
      }
      interrupted_ = true;
      handler();
    });
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &previous_);
    installed_ = true;
  }
  ~InterruptWatch() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  bool interrupted() const { return interrupted_; }

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_ {};
  bool installed_ = false;
  bool interrupted_ = false;
};

// ---- one attempt at one device ----

struct AttemptTask {
  Options link;             // the target as velmora-cli's link options, the address to talk to
  bool probe = false;       // only ask the device for its address
  std::optional<uint8_t> setAddress;
  const std::vector<uint8_t>* image = nullptr;
  bool verify = false;
};

Options linkOptionsOf(const PlanTarget& t, uint8_t address) {
  Options o;
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
  o.address = address;
  o.verbose = false;
  return o;
}

// Connect, set the address, write, read back, compare, disconnect; or, as
// a probe, connect and ask the address. Ends once, through ended, posted
// to context so the owner may delete the attempt there.
class DeviceAttempt final : public QObject {
 public:
  using Ended = std::function<void(const AttemptResult&, int reportedAddress)>;

  DeviceAttempt(AttemptTask task, QObject* context, Ended ended)
      : task_(std::move(task)),
        context_(context),
        ended_(std::move(ended)),
        platform_({}, [this](int id) { timerFired(id); }),  // the sessions run quiet; the attempt says how they ended
        channels_(this),
        session_(task_.link, platform_, channels_.serial(), channels_.tcp()) {
    channels_.setPortLister([] { return std::vector<std::string>{}; });
    // A device that does not answer its connect must not hold up the others.
    channels_.setAsyncConnect(true);
    session_.setAsyncPacing(true);
  }
  ~DeviceAttempt() override { session_.finish(); }

  void start() {
    if (task_.probe) platform_.startTimer(kAnswerLimitTimerId, kBenchAnswerMs);
    if (session_.connect() || !session_.connecting()) next();
  }
  // Ends at once, without telling anyone.
  void stop() {
    over_ = true;
    session_.finish();
  }

 protected:
  void customEvent(QEvent* event) override {
    if (over_ || !channels_.dispatch(event, session_)) {
      QObject::customEvent(event);
      return;
    }
    advance();
  }

 private:
  enum class Step { Connect, SetAddress, Probe, Write, Over };

  void timerFired(int id) {
    if (over_) return;
    if (id == kAnswerLimitTimerId) {
      platform_.stopTimer(id);
      end(false, strprintf("no answer within %d ms", kBenchAnswerMs));
      return;
    }
    session_.timerFired(id);
    advance();
  }

  // Moves on once the running step has an outcome.
  void advance() {
    if (over_) return;
    if (step_ == Step::Connect) {
      if (!session_.connecting()) next();
      return;
    }
    if (session_.done()) next();
  }

  void next() {
    const Outcome& o = session_.outcome();
    if (o.state == RunState::Failed || (step_ == Step::Connect && !session_.linkUp())) {
      end(false, o.reason.empty() ? "the link did not come up" : o.reason);
      return;
    }
    switch (step_) {
      case Step::Connect:
        if (task_.probe) {
          step_ = Step::Probe;
          session_.startGetAddress();
        } else if (task_.setAddress) {
          step_ = Step::SetAddress;
          session_.startSetAddress(*task_.setAddress);
        } else {
          startWrite();
        }
        break;
      case Step::SetAddress:
        result_.addressChanged = true;
        session_.beginNext();
        startWrite();
        break;
      case Step::Probe:
        end(true, {});
        return;
      case Step::Write:
        if (task_.verify) {
          result_.readBack = session_.receivedImage();
          const std::string mismatch = verifyMismatch(*task_.image, result_.readBack);
          if (!mismatch.empty()) {
            end(false, mismatch);
            return;
          }
        }
        end(true, {});
        return;
      case Step::Over: return;
    }
    // A command refused at once has its outcome already.
    advance();
  }

  void startWrite() {
    step_ = Step::Write;
    session_.startWrite(*task_.image, task_.verify);
  }

  void end(bool ok, std::string reason) {
    if (over_) return;
    over_ = true;
    step_ = Step::Over;
    const int reported = session_.reportedAddress();
    session_.finish();
    result_.ok = ok;
    result_.reason = std::move(reason);
    QTimer::singleShot(0, context_, [self = QPointer<DeviceAttempt>(this), result = result_, reported] {
      if (!self) return;
      // The owner may delete the attempt in there: the callback must outlive it.
      const Ended ended = std::move(self->ended_);
      ended(result, reported);
    });
  }

  AttemptTask task_;
  QObject* context_;
  Ended ended_;
  QtPlatform platform_;
  QtLinkChannels channels_;
  CliSession session_;
  Step step_ = Step::Connect;
  bool over_ = false;
  AttemptResult result_;
};

// ---- what apply prints ----

long rssKb() {
  std::ifstream in("/proc/self/status");
  std::string key;
  long value = -1;
  while (in >> key) {
    if (key == "VmRSS:") {
      in >> value;
      break;
    }
    in.ignore(4096, '\n');
  }
  return value;
}

// Report lines into the file (or standard output), progress on standard
// error: one line per finished device, and on a terminal a bar under them.
class ApplyOutput {
 public:
  ApplyOutput(std::FILE* report, bool quiet) : report_(report), quiet_(quiet), bar_(!quiet && isatty(2) == 1) {}

  void finished(const DeviceReport& r, const FleetCounts& c) {
    std::fputs((reportLine(r) + "\n").c_str(), report_);
    std::fflush(report_);
    if (!quiet_ || !r.ok) line(progressLine(r, c));
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

 private:
  std::FILE* report_;
  bool quiet_;
  bool bar_;
  bool barShown_ = false;
};

// ---- the plan in parallel ----

class ParallelApply final : public AttemptStarter {
 public:
  ParallelApply(const std::vector<FleetDevice>& devices, const Options& options, ApplyOutput& output)
      : devices_(devices), options_(options), output_(output) {}

  // One run of the whole plan; its counts. Ctrl-C ends it: the attempts in
  // flight are reported as failed, the rows not reached are not reported.
  FleetCounts run(int runNumber) {
    QEventLoop loop;
    FleetScheduler scheduler(
        devices_, options_.jobs, *this, [] { return steadyMs(); },
        [this](const DeviceReport& r, const FleetCounts& c) { output_.finished(r, c); });
    scheduler.setRun(options_.runs > 1 ? runNumber : 0);
    scheduler_ = &scheduler;
    loop_ = &loop;
    InterruptWatch watch([&] {
      for (auto& entry : attempts_) entry.second->stop();
      attempts_.clear();
      scheduler.cancel("interrupted");
      loop.quit();
    });
    output_.showBar(scheduler.counts());
    scheduler.start();
    if (!scheduler.done()) loop.exec();
    interrupted_ = watch.interrupted();
    attempts_.clear();
    scheduler_ = nullptr;
    loop_ = nullptr;
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
    auto attempt = std::make_unique<DeviceAttempt>(
        std::move(task), &context_, [this, index](const AttemptResult& result, int) { ended(index, result); });
    DeviceAttempt* a = attempt.get();
    attempts_[index] = std::move(attempt);
    a->start();
  }

 private:
  void ended(size_t index, const AttemptResult& result) {
    attempts_.erase(index);
    if (scheduler_ == nullptr) return;
    scheduler_->attemptEnded(index, result);
    if (scheduler_->done() && loop_ != nullptr) loop_->quit();
  }

  const std::vector<FleetDevice>& devices_;
  const Options& options_;
  ApplyOutput& output_;
  QObject context_;  // where the attempts' endings are delivered
  std::map<size_t, std::unique_ptr<DeviceAttempt>> attempts_;
  FleetScheduler* scheduler_ = nullptr;
  QEventLoop* loop_ = nullptr;
  bool interrupted_ = false;
};

// ---- the serial commissioning bench ----

// Row after row on one port: wait for a device to answer the address
// query, configure and verify it (one retry), report it, ask for the next
// device and wait until this one has stopped answering.
class BenchApply {
 public:
  BenchApply(const std::vector<FleetDevice>& devices, const Options& options, ApplyOutput& output)
      : devices_(devices), options_(options), output_(output) {}

  // True when the last row was reached (not interrupted).
  bool run(FleetCounts& counts) {
    counts_.total = static_cast<int>(devices_.size());
    QEventLoop loop;
    loop_ = &loop;
    InterruptWatch watch([&] {
      interrupted_ = true;
      if (attempt_) attempt_->stop();
      attempt_.reset();
      pollTimer_.stop();
      if (phase_ == Phase::Configure) report(false, "interrupted", {});
      loop.quit();
    });
    pollTimer_.setSingleShot(true);
    QObject::connect(&pollTimer_, &QTimer::timeout, &context_, [this] { poll(); });
    beginRow(0);
    if (!finished_) loop.exec();
    counts = counts_;
    return !interrupted_;
  }

 private:
  enum class Phase { WaitDevice, Configure, WaitGone };

  Options portOptions(uint8_t address) const {
    Options o = options_;
    o.tcpHost.clear();
    o.serialDevice = options_.benchPort;
    o.address = address;
    o.verbose = false;
    return o;
  }

  void beginRow(size_t row) {
    row_ = row;
    if (row_ >= devices_.size()) {
      finish();
      return;
    }
    phase_ = Phase::WaitDevice;
    output_.line(strprintf("row %d: waiting for a device on %s", devices_[row_].row.row, options_.benchPort.c_str()));
    poll();
  }

  void finish() {
    finished_ = true;
    if (loop_ != nullptr) loop_->quit();
  }

  // One address query; its answer decides the phase's next step.
  void poll() {
    AttemptTask task;
    task.link = portOptions(1);
    task.probe = true;
    start(std::move(task), [this](const AttemptResult& result, int address) { polled(result.ok, address); });
  }

  void polled(bool answered, int address) {
    if (phase_ == Phase::WaitDevice && answered) {
      phase_ = Phase::Configure;
      startedMs_ = steadyMs();
      attempts_ = 0;
      addressChanged_ = false;
      talkTo_ = static_cast<uint8_t>(address);
      configure();
      return;
    }
    // Another address than the configured device's own is another device:
    // this one was swapped faster than a poll.
    if (phase_ == Phase::WaitGone && (!answered || address != configuredAddress_)) {
      beginRow(row_ + 1);
      return;
    }
    pollTimer_.start(options_.pollMs);
  }

  void configure() {
    const FleetDevice& device = devices_[row_];
    ++attempts_;
    AttemptTask task;
    // The device answers to what it reported; after a confirmed change, to that.
    task.link = portOptions(addressChanged_ && device.row.setAddress ? *device.row.setAddress : talkTo_);
    if (!addressChanged_) task.setAddress = device.row.setAddress;
    task.image = &device.image;
    task.verify = true;
    start(std::move(task), [this](const AttemptResult& result, int) {
      addressChanged_ = addressChanged_ || result.addressChanged;
      const std::optional<uint8_t>& wanted = devices_[row_].row.setAddress;
      configuredAddress_ = addressChanged_ && wanted ? *wanted : talkTo_;
      if (!result.ok && attempts_ < kAttemptsPerDevice) {
        configure();
        return;
      }
      report(result.ok, result.reason, result.readBack);
      if (row_ + 1 >= devices_.size()) {
        finish();
        return;
      }
      output_.line("next device");
      phase_ = Phase::WaitGone;
      pollTimer_.start(options_.pollMs);
    });
  }

  void report(bool ok, const std::string& reason, const std::vector<uint8_t>& readBack) {
    const FleetDevice& device = devices_[row_];
    (ok ? counts_.ok : counts_.failed) += 1;
    DeviceReport r;
    r.row = device.row.row;
    r.target = options_.benchPort;
    r.ok = ok;
    r.reason = reason;
    r.seconds = static_cast<double>(steadyMs() - startedMs_) / 1000.0;
    r.attempts = attempts_;
    if (!readBack.empty()) r.serial = serialNumberOf(readBack);
    output_.finished(r, counts_);
  }

  void start(AttemptTask task, DeviceAttempt::Ended then) {
    attempt_ = std::make_unique<DeviceAttempt>(std::move(task), &context_,
                                               [this, then](const AttemptResult& result, int address) {
                                                 attempt_.reset();
                                                 if (!interrupted_) then(result, address);
                                               });
    attempt_->start();
  }

  const std::vector<FleetDevice>& devices_;
  const Options& options_;
  ApplyOutput& output_;
  QObject context_;
  QTimer pollTimer_;
  QEventLoop* loop_ = nullptr;
  std::unique_ptr<DeviceAttempt> attempt_;
  FleetCounts counts_;
  Phase phase_ = Phase::WaitDevice;
  size_t row_ = 0;
  int attempts_ = 0;
  bool addressChanged_ = false;
  uint8_t talkTo_ = 1;
  int configuredAddress_ = 1;  // what the configured device answers to
  uint64_t startedMs_ = 0;
  bool interrupted_ = false;
  bool finished_ = false;
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

// Each connection takes a descriptor (a serial port two, with its wake-up
// pipe); the usual soft limit of 1024 is below what --jobs allows.
void raiseDescriptorLimit(int jobs) {
  const rlim_t wanted = static_cast<rlim_t>(jobs) * 4 + 64;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int runApply(const Options& options) {
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
  raiseDescriptorLimit(options.jobs);
  ApplyOutput output(report, !options.verbose);
  const uint64_t started = steadyMs();
  FleetCounts counts;
  bool complete = true;
  bool allOk = true;  // every device of every run
  if (!options.benchPort.empty()) {
    BenchApply bench(devices, options, output);
    complete = bench.run(counts);
  } else {
    ParallelApply apply(devices, options, output);
    for (int run = 1; run <= options.runs && complete; ++run) {
      counts = apply.run(run);
      complete = !apply.interrupted();
      allOk = allOk && counts.ok == counts.total;
      output.endBar();
      if (options.runs > 1)
        output.line(strprintf("run %d of %d: ok %d, failed %d, not reached %d, RSS %ld kB", run, options.runs,
                              counts.ok, counts.failed, counts.remaining(), rssKb()));
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
  return allOk && counts.ok == counts.total ? kExitOk : kExitDevice;
}

}  // namespace velmora::cli
