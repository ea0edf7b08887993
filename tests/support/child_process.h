// Child processes for the tests that run the programs as built: one way to
// start a child, with its output on pipes and every wait under a deadline,
// and velmora-devsim on top of it. POSIX and Linux only (PR_SET_PDEATHSIG,
// memfd); no Qt, so the plain and the window tests share it.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::testing {

using Clock = std::chrono::steady_clock;

// What is left until deadline, for poll(); 0 once it has passed.
int msLeft(Clock::time_point deadline);

// Reads a whole file; nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path);

// A started child with its standard output on a pipe and its standard error
// on a pipe or in a file the caller gives. It is sent SIGTERM when the test
// process ends (a crashed test leaves nothing running), and the destructor
// kills and reaps whatever is still running.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // With stderrFd >= 0 the child writes its standard error there (the caller
  // keeps the descriptor) instead of into err. False when the program could
  // not be run; nothing is left running then.
  bool spawn(const std::string& program, const std::vector<std::string>& args, int stderrFd = -1);

  // Collects output into out and err until done(out) holds (then true), both
  // pipes end or the deadline passes (then false). Without done, it collects
  // until the pipes end or the deadline.
  bool collect(Clock::time_point deadline, const std::function<bool(const std::string&)>& done = {});

  // Waits for the exit: the exit status, or -1 when it did not exit normally
  // by the deadline (it is then killed) or was not started. Once it has
  // ended, the same answer again.
  int reap(Clock::time_point deadline);

  void signal(int sig);

  // False once it has ended; a later reap() still gives its status.
  bool running();

  std::string out, err;

 private:
  void closePipes();

  pid_t pid_ = -1;
  int status_ = -1;  // what reap() answers once the child has ended
  int out_ = -1;
  int err_ = -1;
};

struct RunResult {
  int exitCode = -1;  // -1: killed at the deadline or not started
  std::string out, err;
};

// Runs program to its end, within limit.
RunResult runToEnd(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds limit);

// velmora-devsim, running until stop() or the end of the object. start()
// waits for the line it prints for each endpoint it serves ("tcp
// 127.0.0.1:PORT", "pty /dev/pts/N", "udp 127.0.0.1:PORT"): one for each
// --tcp, --udp and --pty among the arguments.
class Devsim {
 public:
  // workDir, when given, holds the --save file, the files writeFile() makes
  // and the program's standard error (devsim.stderr, kept for a look after a
  // failure); without one its standard error goes to an anonymous file. A
  // file, not a pipe: a --log run writes more than a pipe holds while nobody
  // reads it.
  explicit Devsim(std::string program, std::string workDir = {});
  ~Devsim();
  Devsim(const Devsim&) = delete;
  Devsim& operator=(const Devsim&) = delete;

  // False when the program could not be run or did not announce all its
  // endpoints within limit. A child that did start is left to reap() or
  // stop(), so a refusal's exit status can still be checked.
  bool start(const std::vector<std::string>& args, std::chrono::milliseconds limit = std::chrono::seconds(10));

  // Sends sig and waits for the exit: the exit status, or -1 when it had to
  // be killed after limit or was never started.
  int stop(int sig = SIGTERM, std::chrono::milliseconds limit = std::chrono::seconds(10));
  int reap(Clock::time_point deadline) { return child_.reap(deadline); }
  bool running() { return child_.running(); }

  // The announced endpoints by kind ("tcp", "pty", "udp").
  const std::map<std::string, std::string>& endpoints() const { return endpoints_; }
  // Empty when that kind was not announced.
  std::string endpoint(const std::string& kind) const;
  // The port of a "host:port" endpoint; 0 when there was none.
  uint16_t port(const std::string& kind) const;
  uint16_t tcpPort() const { return port("tcp"); }
  std::string ptyPath() const { return endpoint("pty"); }

  // What the program wrote on standard error so far (its --log lines and
  // refusals), for failure reports.
  std::string errorOutput() const;

  // The file --save writes, in the work directory; the test passes saveArg()
  // among the arguments.
  std::string savePath() const { return workDir_ + "/saved.vmc"; }
  std::vector<std::string> saveArg() const { return {"--save", savePath()}; }
  // The bytes the device saved, or nothing when it has not saved yet.
  std::optional<std::vector<uint8_t>> savedImage() const { return readWholeFile(savePath()); }
  // Writes bytes into the work directory and returns the full path.
  std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string program_;
  std::string workDir_;
  Child child_;
  int errFd_ = -1;
  std::map<std::string, std::string> endpoints_;
};

}  // namespace velmora::testing
