// Child programs for the process tests: velmora-cli run to its end with its
// output captured, and velmora-devsim kept running beside it. Every wait has
// a deadline; a child that overstays it is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace velmora::testing {

using Clock = std::chrono::steady_clock;

inline int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// A started child with its standard output and error on pipes.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {out_, err_})
      if (fd >= 0) ::close(fd);
  }

  bool spawn(const std::string& program, const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return false;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
      ::close(outPipe[0]);
      ::close(outPipe[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (rc != 0) pid_ = -1;
    return rc == 0;
  }

  // Collects output until both pipes end, done(out) holds, or the deadline.
  template <typename Done>
  bool collect(Clock::time_point deadline, Done done) {
    while (!done(out)) {
      std::vector<pollfd> fds;
      for (int fd : {out_, err_})
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
      if (fds.empty()) return done(out);
      const int r = ::poll(fds.data(), fds.size(), msLeft(deadline));
      if (r <= 0) return false;
      for (const pollfd& p : fds) {
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(p.fd, chunk, sizeof chunk);
        int& fd = p.fd == out_ ? out_ : err_;
        std::string& text = p.fd == out_ ? out : err;
        if (n > 0) {
          text.append(chunk, static_cast<size_t>(n));
        } else {
          ::close(fd);
          fd = -1;
        }
      }
    }
    return true;
  }

  // Waits for the exit; the exit status, or -1 when it did not exit normally
  // by the deadline (it is then killed).
  int reap(Clock::time_point deadline) {
    if (pid_ <= 0) return -1;
    int status = 0;
    for (;;) {
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) break;
      if (Clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return -1;
      }
      ::usleep(5'000);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }

  std::string out, err;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

struct RunResult {
  int exitCode = -1;  // -1: killed at the deadline or not started
  std::string out, err;
};

// Runs program to its end, within limit.
inline RunResult runToEnd(const std::string& program, const std::vector<std::string>& args,
                          std::chrono::milliseconds limit) {
  RunResult result;
  Child child;
  if (!child.spawn(program, args)) return result;
  const auto deadline = Clock::now() + limit;
  child.collect(deadline, [](const std::string&) { return false; });
  result.exitCode = child.reap(deadline);
  result.out = child.out;
  result.err = child.err;
  return result;
}

// velmora-devsim, running until the object goes. start() waits for the
// endpoint lines it prints ("tcp 127.0.0.1:PORT", "pty /dev/pts/N", ...).
class DevsimProcess {
 public:
  explicit DevsimProcess(std::string program) : program_(std::move(program)) {}
  ~DevsimProcess() { stop(); }

  bool start(const std::vector<std::string>& args, int expectLines) {
    if (!child_.spawn(program_, args)) return false;
    const auto lines = [expectLines](const std::string& b) {
      return std::count(b.begin(), b.end(), '\n') >= expectLines;
    };
    const bool ok = child_.collect(Clock::now() + std::chrono::seconds(10), lines);
    std::istringstream in(child_.out);
    std::string kind, where;
    while (in >> kind >> where) endpoints[kind] = where;
    return ok;
  }

  // SIGTERM, then the exit status (or -1).
  int stop() {
    child_.signal(SIGTERM);
    return child_.reap(Clock::now() + std::chrono::seconds(10));
  }

  std::string endpoint(const std::string& kind) const {
    const auto it = endpoints.find(kind);
    return it == endpoints.end() ? std::string() : it->second;
  }

  std::map<std::string, std::string> endpoints;

 private:
  std::string program_;
  Child child_;
};

}  // namespace velmora::testing
