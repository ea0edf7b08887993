// Child processes for the tests that run the programs as built: output on
// pipes, every wait under a deadline, and velmora-devsim on top. POSIX and
// Linux only (PR_SET_PDEATHSIG, memfd); no Qt, so the plain and the window
// tests share it.
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

// A whole file; nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A started child, standard output on a pipe, standard error on a pipe or
// on a descriptor the caller keeps. It gets SIGTERM when the test process
// ends (a crashed test leaves nothing running); the destructor kills and
// reaps whatever still runs. A program that cannot be run exits with 127.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool spawn(const std::string& program, const std::vector<std::string>& args, int stderrFd = -1);
  // Collects into out and err until done(out) holds (true), both pipes end
  // or the deadline passes (false).
  bool collect(Clock::time_point deadline, const std::function<bool(const std::string&)>& done = {});
  // The exit status, or -1 when it did not exit normally by the deadline
  // (it is then killed); once ended, the same answer again.
  int reap(Clock::time_point deadline);
  void signal(int sig);
  bool running();

  std::string out, err;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  int out_ = -1;
  int err_ = -1;
};

struct RunResult {
  int exitCode = -1;  // -1: killed at the deadline or not started
  std::string out, err;
};

RunResult runToEnd(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds limit);

// velmora-devsim until stop() or the end of the object. start() waits for
// the line it prints for each --tcp, --udp and --pty it serves ("tcp
// 127.0.0.1:PORT", "pty /dev/pts/N", "udp 127.0.0.1:PORT"). Its standard
// error goes to an anonymous file, not a pipe: a --log run writes more than
// a pipe holds while nobody reads it.
class Devsim {
 public:
  explicit Devsim(std::string program) : program_(std::move(program)) {}
  ~Devsim();
  Devsim(const Devsim&) = delete;
  Devsim& operator=(const Devsim&) = delete;

  // False when it did not announce all its endpoints within limit.
  bool start(const std::vector<std::string>& args, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Sends sig and waits: the exit status, or -1 when it had to be killed.
  int stop(int sig = SIGTERM, std::chrono::milliseconds limit = std::chrono::seconds(10));
  bool running() { return child_.running(); }

  // Empty when that kind ("tcp", "pty", "udp") was not announced.
  std::string endpoint(const std::string& kind) const;
  // The port of a "host:port" endpoint; 0 when there was none.
  uint16_t port(const std::string& kind) const;
  // Its standard error so far (--log lines, refusals), for failure reports.
  std::string errorOutput() const;

 private:
  std::string program_;
  Child child_;
  int errFd_ = -1;
  std::map<std::string, std::string> endpoints_;
};

}  // namespace velmora::testing
