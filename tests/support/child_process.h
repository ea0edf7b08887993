// Child processes for the tests that run the programs as built: output on
// pipes, every wait under a deadline. POSIX and Linux only; no Qt.
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

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Standard output on a pipe, standard error on a pipe or the caller's
// descriptor; SIGTERM when the test process ends, killed and reaped by the
// destructor. An unrunnable program exits with 127.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;

  bool spawn(const std::string& program, const std::vector<std::string>& args, int stderrFd = -1);
  // The next spawn runs the program as uid and gid, with no other groups
  // (the test runs as root); an identity it cannot take exits with 125.
  void runAs(uid_t uid, gid_t gid) { uid_ = uid, gid_ = gid, asUser_ = true; }
  // Reads until done(out), both pipes end (true / false) or the deadline (false).
  bool collect(Clock::time_point deadline, const std::function<bool(const std::string&)>& done = {});
  // The exit status; -1 when it did not exit normally by the deadline (then killed).
  int reap(Clock::time_point deadline);
  void signal(int sig) { if (pid_ > 0) ::kill(pid_, sig); }
  pid_t pid() const { return pid_; }
  // Waits until the child runs program (its command name is name, which the
  // system cuts to 15 bytes), not a copy of the test between fork and exec.
  bool waitForExec(const std::string& name, Clock::time_point deadline) const;

  std::string out, err;

 private:
  pid_t pid_ = -1;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  bool asUser_ = false;
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
// the line printed per --tcp, --udp and --pty ("tcp 127.0.0.1:PORT", "pty
// /dev/pts/N"), with --count N for N "tcp" lines. Standard error goes to an anonymous file: a --log run
// writes more than a pipe holds while nobody reads it.
class Devsim {
 public:
  explicit Devsim(std::string program) : program_(std::move(program)) {}
  ~Devsim();

  bool start(const std::vector<std::string>& args, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Sends sig and waits: the exit status, or -1 when it had to be killed.
  int stop(int sig = SIGTERM);

  // The index-th of that kind (device index of --count); empty (port 0)
  // when not announced.
  std::string endpoint(const std::string& kind, size_t index = 0) const;
  uint16_t port(const std::string& kind, size_t index = 0) const;
  // Standard error so far (--log lines, refusals), for failure reports.
  std::string errorOutput() const;

 private:
  std::string program_;
  Child child_;
  int errFd_ = -1;
  std::map<std::string, std::vector<std::string>> endpoints_;
};

}  // namespace velmora::testing
